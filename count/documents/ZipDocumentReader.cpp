#include "ZipDocumentReader.h"

#include <QDir>
#include <QHash>
#include <QUrl>
#include <QXmlStreamReader>

#include <functional>

#include "HtmlTextReader.h"
#include "OpenDocumentRules.h"
#include "PresentationRules.h"
#include "TextSink.h"
#include "WordprocessingRules.h"
#include "XmlPartReader.h"

namespace quorvane {

namespace {

QString damaged(const QString& what) {
    return QStringLiteral("damaged document: ") + what;
}

struct Relationship {
    QString id;
    QString type;
    QString target;  // the part it names, from the archive's root
};

// A part named from another part: relative to that part's folder, percent-encoded.
QString resolvePart(const QString& fromPart, const QString& target) {
    const QString decoded = QUrl::fromPercentEncoding(target.toUtf8());
    const QString folder = fromPart.left(fromPart.lastIndexOf(u'/') + 1);
    QString path = QDir::cleanPath(decoded.startsWith(u'/') ? decoded : folder + decoded);
    while (path.startsWith(u'/')) {
        path.remove(0, 1);
    }
    return path;
}

// Reads a small XML part, telling `onStart` each element as it opens.
bool parseSmall(ZipArchive& archive, const QString& name,
                const std::function<void(const QXmlStreamReader&)>& onStart, QString& error) {
    QByteArray data;
    if (!archive.readSmall(name, data)) {
        error = archive.errorString();
        return false;
    }
    QXmlStreamReader xml(data);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            onStart(xml);
        }
    }
    if (xml.hasError()) {
        error = damaged(name + QStringLiteral(": ") + xml.errorString());
        return false;
    }
    return true;
}

QString attribute(const QXmlStreamReader& xml, QStringView localName) {
    for (const QXmlStreamAttribute& a : xml.attributes()) {
        if (a.name() == localName) {
            return a.value().toString();
        }
    }
    return {};
}

// The r:id of an element that names a part (a slide, a sheet): the "id" attribute in a
// namespace, beside which a slide has a plain "id" of its own.
QString relationshipId(const QXmlStreamReader& xml) {
    for (const QXmlStreamAttribute& a : xml.attributes()) {
        if (a.name() == u"id" && !a.namespaceUri().isEmpty()) {
            return a.value().toString();
        }
    }
    return {};
}

// The relationships of a part (an empty list where it has none).
bool relationshipsOf(ZipArchive& archive, const QString& part, QList<Relationship>& out,
                     QString& error) {
    out.clear();
    const qsizetype slash = part.lastIndexOf(u'/');
    const QString relsName = part.left(slash + 1) + QStringLiteral("_rels/") +
                             part.mid(slash + 1) + QStringLiteral(".rels");
    if (!archive.contains(relsName)) {
        return true;
    }
    return parseSmall(
        archive, relsName,
        [&](const QXmlStreamReader& xml) {
            if (xml.name() == u"Relationship" &&
                attribute(xml, u"TargetMode").compare(u"External", Qt::CaseInsensitive) != 0) {
                out.append({attribute(xml, u"Id"), attribute(xml, u"Type"),
                            resolvePart(part, attribute(xml, u"Target"))});
            }
        },
        error);
}

QString targetOfType(const QList<Relationship>& relationships, QStringView typeEnd) {
    for (const Relationship& r : relationships) {
        if (r.type.endsWith(typeEnd)) {
            return r.target;
        }
    }
    return {};
}

QString targetOfId(const QList<Relationship>& relationships, const QString& id) {
    for (const Relationship& r : relationships) {
        if (r.id == id) {
            return r.target;
        }
    }
    return {};
}

}  // namespace

ZipDocumentReader::ZipDocumentReader(DocumentFile& file) : file_(file) {}

ZipDocumentReader::~ZipDocumentReader() = default;

bool ZipDocumentReader::start() {
    if (!archive_.open(file_)) {
        archiveUnreadable_ = true;
        return failStart(archive_.errorString());
    }
    if (archive_.contains(QStringLiteral("mimetype"))) {
        QByteArray mimetype;
        if (!archive_.readSmall(QStringLiteral("mimetype"), mimetype, 256)) {
            return failStart(archive_.errorString());
        }
        mimetype = mimetype.trimmed();
        if (mimetype == "application/epub+zip") {
            return startEpub();
        }
        if (mimetype.startsWith("application/vnd.oasis.opendocument.")) {
            return startOpenDocument();
        }
    } else if (archive_.contains(QStringLiteral("[Content_Types].xml"))) {
        return startOffice();
    }
    plainArchive_ = true;
    return failStart(QStringLiteral("not a document"));
}

bool ZipDocumentReader::startOpenDocument() {
    const QString manifest = QStringLiteral("META-INF/manifest.xml");
    if (archive_.contains(manifest)) {
        bool encrypted = false;
        QString error;
        if (!parseSmall(archive_, manifest,
                        [&](const QXmlStreamReader& xml) {
                            encrypted = encrypted || xml.name() == u"encryption-data";
                        },
                        error)) {
            return failStart(error);
        }
        if (encrypted) {
            return failStart(QStringLiteral("encrypted document"));
        }
    }
    parts_.append({QStringLiteral("content.xml"), PartKind::OpenDocument});
    return true;
}

bool ZipDocumentReader::startEpub() {
    QString error;
    QString packagePath;
    if (!parseSmall(archive_, QStringLiteral("META-INF/container.xml"),
                    [&](const QXmlStreamReader& xml) {
                        if (packagePath.isEmpty() && xml.name() == u"rootfile") {
                            packagePath = resolvePart(QString(), attribute(xml, u"full-path"));
                        }
                    },
                    error)) {
        return failStart(error);
    }
    if (packagePath.isEmpty()) {
        return failStart(damaged(QStringLiteral("the book names no package")));
    }
    QHash<QString, QString> manifest;  // id: the page it names
    QStringList spine;
    if (!parseSmall(archive_, packagePath,
                    [&](const QXmlStreamReader& xml) {
                        if (xml.name() == u"item") {
                            const QString type = attribute(xml, u"media-type");
                            if (type.contains(u"html")) {
                                manifest.insert(attribute(xml, u"id"),
                                                resolvePart(packagePath, attribute(xml, u"href")));
                            }
                        } else if (xml.name() == u"itemref") {
                            spine.append(attribute(xml, u"idref"));
                        }
                    },
                    error)) {
        return failStart(error);
    }
    // Books sold with copy protection list their encrypted pages here (fonts are listed
    // too, and those do not matter).
    QStringList encrypted;
    const QString encryption = QStringLiteral("META-INF/encryption.xml");
    if (archive_.contains(encryption) &&
        !parseSmall(archive_, encryption,
                    [&](const QXmlStreamReader& xml) {
                        if (xml.name() == u"CipherReference") {
                            encrypted.append(resolvePart(QString(), attribute(xml, u"URI")));
                        }
                    },
                    error)) {
        return failStart(error);
    }
    for (const QString& id : spine) {
        const auto it = manifest.constFind(id);
        if (it == manifest.constEnd()) {
            continue;
        }
        if (encrypted.contains(*it, Qt::CaseInsensitive)) {
            return failStart(QStringLiteral("encrypted document"));
        }
        parts_.append({*it, PartKind::Page});
    }
    return true;
}

bool ZipDocumentReader::startOffice() {
    QString error;
    QList<Relationship> relationships;
    if (!relationshipsOf(archive_, QString(), relationships, error)) {
        return failStart(error);
    }
    const QString main = targetOfType(relationships, u"/officeDocument");
    if (main.isEmpty()) {
        // Other packages of the same make (XPS, 3D models) hold no office document.
        plainArchive_ = true;
        return failStart(QStringLiteral("not a document"));
    }
    if (!archive_.contains(main)) {
        return failStart(damaged(main + QStringLiteral(" is missing")));
    }
    // The main part's content type tells the program that wrote it.
    QString contentType;
    const QString extension = main.mid(main.lastIndexOf(u'.') + 1);
    if (!parseSmall(archive_, QStringLiteral("[Content_Types].xml"),
                    [&](const QXmlStreamReader& xml) {
                        if (xml.name() == u"Override" &&
                            resolvePart(QString(), attribute(xml, u"PartName"))
                                    .compare(main, Qt::CaseInsensitive) == 0) {
                            contentType = attribute(xml, u"ContentType");
                        } else if (xml.name() == u"Default" && contentType.isEmpty() &&
                                   attribute(xml, u"Extension")
                                           .compare(extension, Qt::CaseInsensitive) == 0) {
                            contentType = attribute(xml, u"ContentType");
                        }
                    },
                    error)) {
        return failStart(error);
    }
    QList<Relationship> mainRelationships;
    if (!relationshipsOf(archive_, main, mainRelationships, error)) {
        return failStart(error);
    }
    if (contentType.contains(u"wordprocessingml") || contentType.contains(u"ms-word")) {
        parts_.append({main, PartKind::Word});
        for (const QStringView type : {u"/footnotes", u"/endnotes"}) {
            const QString notes = targetOfType(mainRelationships, type);
            if (!notes.isEmpty() && archive_.contains(notes)) {
                parts_.append({notes, PartKind::Word});
            }
        }
        return true;
    }
    if (contentType.contains(u"presentationml") || contentType.contains(u"ms-powerpoint")) {
        QStringList ids;
        if (!parseSmall(archive_, main,
                        [&](const QXmlStreamReader& xml) {
                            if (xml.name() == u"sldId") {
                                ids.append(relationshipId(xml));
                            }
                        },
                        error)) {
            return failStart(error);
        }
        for (const QString& id : ids) {
            const QString slide = targetOfId(mainRelationships, id);
            if (!slide.isEmpty() && archive_.contains(slide)) {
                parts_.append({slide, PartKind::Slide});
            }
        }
        return true;
    }
    if (contentType.contains(u"spreadsheetml") || contentType.contains(u"ms-excel")) {
        const QString strings = targetOfType(mainRelationships, u"/sharedStrings");
        if (!strings.isEmpty() && archive_.contains(strings)) {
            strings_.countedInPlace =
                archive_.entrySize(strings) > SpreadsheetRules::kKeptStringsLimit;
            parts_.append({strings, PartKind::SharedStrings});
        }
        QStringList ids;
        if (!parseSmall(archive_, main,
                        [&](const QXmlStreamReader& xml) {
                            if (xml.name() == u"sheet") {
                                ids.append(relationshipId(xml));
                            }
                        },
                        error)) {
            return failStart(error);
        }
        for (const QString& id : ids) {
            const QString sheet = targetOfId(mainRelationships, id);
            if (!sheet.isEmpty() && archive_.contains(sheet)) {
                parts_.append({sheet, PartKind::Sheet});
            }
        }
        return true;
    }
    plainArchive_ = true;
    return failStart(QStringLiteral("not a document"));
}

bool ZipDocumentReader::openNextPart() {
    const Part& part = parts_[next_];
    std::unique_ptr<ZipArchive::Entry> entry = archive_.openEntry(part.name);
    if (!entry) {
        error_ = archive_.errorString();
        return false;
    }
    if (part.kind == PartKind::Page) {
        page_ = std::make_unique<HtmlTextReader>(std::move(entry), part.name);
        if (!page_->start()) {
            error_ = page_->errorString();
            return false;
        }
        return true;
    }
    switch (part.kind) {
        case PartKind::Word:
            rules_ = std::make_unique<WordprocessingRules>();
            break;
        case PartKind::OpenDocument:
            rules_ = std::make_unique<OpenDocumentRules>();
            break;
        case PartKind::Slide:
            rules_ = std::make_unique<PresentationRules>();
            break;
        case PartKind::SharedStrings:
            rules_ = std::make_unique<SpreadsheetRules>(SpreadsheetRules::Part::SharedStrings,
                                                        strings_);
            break;
        case PartKind::Sheet:
        case PartKind::Page:
            rules_ = std::make_unique<SpreadsheetRules>(SpreadsheetRules::Part::Sheet, strings_);
            break;
    }
    xmlPart_ = std::make_unique<XmlPartReader>(part.name, std::move(entry), *rules_);
    return true;
}

DocumentReader::Step ZipDocumentReader::step(TextSink& sink) {
    if (!xmlPart_ && !page_) {
        if (next_ >= parts_.size()) {
            return Step::Done;
        }
        if (!openNextPart()) {
            return Step::Failed;
        }
        sink.gap();
    }
    const Step step = xmlPart_ ? xmlPart_->step(sink) : page_->step(sink);
    if (step == Step::Failed) {
        return fail(xmlPart_ ? xmlPart_->errorString() : page_->errorString());
    }
    if (step == Step::Done) {
        xmlPart_.reset();
        rules_.reset();
        page_.reset();
        ++next_;
        sink.gap();
    }
    return Step::More;
}

}  // namespace quorvane
