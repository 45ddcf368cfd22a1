#pragma once

#include <QString>

namespace quorvane {

// The reasons a document is not counted, worded once for every reader: the report lists
// them beside the file, and people search for the words they see there.
namespace DocumentErrors {

// A file whose bytes do not hold together as the document it is.
inline QString damaged(const QString& what) {
    return QStringLiteral("damaged document: ") + what;
}

// The same where nothing more can be said (a library failed without a reason).
inline QString damaged() {
    return QStringLiteral("damaged document");
}

// A fault inside one named part of a document (an archive entry, an XML part).
inline QString damagedPart(const QString& part, const QString& what) {
    return damaged(part + QStringLiteral(": ") + what);
}

// A fault that names the part it was found in after it, in brackets.
inline QString damagedIn(const QString& what, const QString& part) {
    return damaged(QStringLiteral("%1 (%2)").arg(what, part));
}

// An XML part that declares entities, which would be expanded in memory.
inline QString declaresEntities(const QString& part) {
    return damagedIn(QStringLiteral("declares entities"), part);
}

// A library's message, set after a colon: its first letter in lower case.
inline QString fromLibrary(const char* message) {
    QString s = QString::fromUtf8(message);
    if (!s.isEmpty()) {
        s[0] = s[0].toLower();
    }
    return s;
}

// A document that needs a password to be read.
inline QString encrypted() {
    return QStringLiteral("encrypted document");
}

// A document of a kind, or of a variant of one, that no reader here reads.
inline QString unsupported(const QString& what) {
    return QStringLiteral("unsupported document: ") + what;
}

}  // namespace DocumentErrors

}  // namespace quorvane
