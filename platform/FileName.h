#pragma once

#include <QByteArray>
#include <QString>

namespace quorvane {

// File names as the system hands them over, kept whole in a QString.
//
// On Linux a name is a string of bytes that need not be valid in the system's encoding
// (a Latin-1 "caf\xe9.txt" on a UTF-8 system). Decoding such a name the usual way loses
// the byte, and the file can no longer be opened by the name shown. Here every byte that
// does not decode is held as the lone surrogate U+DC80 + (byte - 0x80), so that
// toNative(fromNative(bytes)) == bytes for every name. Such a QString must never be
// shown as it is: display() turns the held bytes into U+FFFD for lists, reports and
// messages. Qt's own file classes do not know the held bytes; whatever opens, lists or
// examines a path with held bytes goes through toNative().
class FileName {
public:
    static QString fromNative(const QByteArray& bytes);
    static QByteArray toNative(const QString& name);
    // The name as a person reads it: held bytes become U+FFFD.
    static QString display(const QString& name);
    // True when the name holds bytes that did not decode.
    static bool holdsBytes(const QString& name);
};

}  // namespace quorvane
