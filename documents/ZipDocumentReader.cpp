#include "documents/ZipDocumentReader.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <QUrl>
#include <QXmlStreamReader>

#include <functional>

#include "documents/HtmlTextReader.h"
#include "documents/OpenDocumentRules.h"
#include "documents/PresentationRules.h"
#include "documents/TextSink.h"
#include "documents/WordprocessingRules.h"
#include "documents/XmlPartReader.h"

namespace quorvane {

struct Relationship {
    QString id;
    QString type;
    QString target;  // the part it names, from the archive's root
};

// The relationships of a part that the readers follow, by id (none where it has none):
// the others (images, hyperlinks, styles) are not kept, however many a document holds.
struct Relationships {
    QHash<QString, Relationship> byId;
    QList<Relationship> inOrder;

    QString targetOfType(QStringView typeEnd) const {
        for (const Relationship& r : inOrder) {
            if (r.type.endsWith(typeEnd)) {
                return r.target;
            }
        }
        return {};
    }
    QString targetOfId(const QString& id) const { return byId.value(id).target; }
};

namespace {

QString damaged(const QString& what) {
    return QStringLiteral("damaged document: ") + what;
}

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

// No office part or book index declares entities, which would be expanded in memory;
// a DOCTYPE that names an outside DTD only is harmless, as none is ever loaded.
bool declaresEntities(const QByteArray& data) {
    if (data.contains("<!ENTITY")) {
        return true;
    }
    const qsizetype doctype = data.indexOf("<!DOCTYPE");
    if (doctype < 0) {
        return false;
    }
    const qsizetype close = data.indexOf('>', doctype);
    const qsizetype subset = data.indexOf('[', doctype);
    return subset >= 0 && (close < 0 || subset < close);
}

// Reads a small XML part, telling `onStart` each element as it opens.
bool parseSmall(ZipArchive& archive, const QString& name,
                const std::function<void(const QXmlStreamReader&)>& onStart, QString& error) {
    QByteArray data;
    if (!archive.readSmall(name, data)) {
        error = archive.errorString();
        return false;
    }
    if (declaresEntities(data)) {
        error = QStringLiteral("damaged document: declares entities (%1)").arg(name);
        return false;
    }
    QXmlStreamReader xml(data);
    xml.setEntityExpansionLimit(0);
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            onStart(xml);
        } else if (token == QXmlStreamReader::DTD && !xml.entityDeclarations().isEmpty()) {
            error = QStringLiteral("damaged document: declares entities (%1)").arg(name);
            return false;
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

bool isFollowed(QStringView type) {
    for (const QStringView end : {u"/officeDocument", u"/footnotes", u"/endnotes",
                                  u"/sharedStrings", u"/slide", u"/worksheet"}) {
        if (type.endsWith(end)) {
            return true;
        }
    }
    return false;
}

bool relationshipsOf(ZipArchive& archive, const QString& part, Relationships& out,
                     QString& error) {
    out = {};
    const qsizetype slash = part.lastIndexOf(u'/');
    const QString relsName = part.left(slash + 1) + QStringLiteral("_rels/") +
                             part.mid(slash + 1) + QStringLiteral(".rels");
    if (!archive.contains(relsName)) {
        return true;
    }
    return parseSmall(
        archive, relsName,
        [&](const QXmlStreamReader& xml) {
            if (xml.name() != u"Relationship" ||
                attribute(xml, u"TargetMode").compare(u"External", Qt::CaseInsensitive) == 0) {
                return;
            }
            const QString type = attribute(xml, u"Type");
            if (!isFollowed(type)) {
                return;
            }
            const Relationship r{attribute(xml, u"Id"), type,
                                 resolvePart(part, attribute(xml, u"Target"))};
            if (!out.byId.contains(r.id)) {
                out.byId.insert(r.id, r);
                if (!type.endsWith(u"/slide") && !type.endsWith(u"/worksheet")) {
                    out.inOrder.append(r);
                }
            }
        },
        error);
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
    } else if (archive_.contains(QStringLiteral("_rels/.rels"))) {
        // A package without its list of content types: Word, Excel and PowerPoint refuse one.
        return failStart(damaged(QStringLiteral("[Content_Types].xml is missing")));
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
    QHash<QString, QString> manifest;  // id: the page it names, empty for other items
    QStringList spine;
    if (!parseSmall(archive_, packagePath,
                    [&](const QXmlStreamReader& xml) {
                        if (xml.name() == u"item") {
                            const QString type = attribute(xml, u"media-type");
                            manifest.insert(attribute(xml, u"id"),
                                            type.contains(u"html")
                                                ? resolvePart(packagePath, attribute(xml, u"href"))
                                                : QString());
                        } else if (xml.name() == u"itemref") {
                            spine.append(attribute(xml, u"idref"));
                        }
                    },
                    error)) {
        return failStart(error);
    }
    // Books sold with copy protection list their encrypted pages here (fonts are listed
    // too, and those do not matter).
    QSet<QString> encrypted;  // in lower case
    const QString encryption = QStringLiteral("META-INF/encryption.xml");
    if (archive_.contains(encryption) &&
        !parseSmall(archive_, encryption,
                    [&](const QXmlStreamReader& xml) {
                        if (xml.name() == u"CipherReference") {
                            encrypted.insert(resolvePart(QString(), attribute(xml, u"URI")).toLower());
                        }
                    },
                    error)) {
        return failStart(error);
    }
    // A page the spine names again is read once, where it first comes: books list each
    // page once, and a spine of one page many times over would cost time without end.
    QSet<QString> listed;
    for (const QString& id : spine) {
        const auto it = manifest.constFind(id);
        if (it == manifest.constEnd()) {
            return failStart(damaged(QStringLiteral("the spine names \"%1\", which the book does not hold").arg(id)));
        }
        if (it->isEmpty() || listed.contains(it->toLower())) {
            continue;  // an image or other item that is no page, or a page read already
        }
        if (!archive_.contains(*it)) {
            return failStart(damaged(*it + QStringLiteral(" is missing")));
        }
        if (encrypted.contains(it->toLower())) {
            return failStart(QStringLiteral("encrypted document"));
        }
        listed.insert(it->toLower());
        parts_.append({*it, PartKind::Page});
    }
    return true;
}

// The parts that the ids in a main part name (sheets, slides), in its order, each once:
// an id that names no part is a damaged document, as the office programs take it.
bool ZipDocumentReader::addNamedParts(const QString& main, const Relationships& relationships,
                                      QStringView element, PartKind kind) {
    QStringList ids;
    QString error;
    if (!parseSmall(archive_, main,
                    [&](const QXmlStreamReader& xml) {
                        if (xml.name() == element) {
                            ids.append(relationshipId(xml));
                        }
                    },
                    error)) {
        return failStart(error);
    }
    QSet<QString> listed;
    for (const QString& id : ids) {
        const QString part = relationships.targetOfId(id);
        if (part.isEmpty()) {
            return failStart(damaged(QStringLiteral("%1 names %2 \"%3\", which is not there")
                                         .arg(main, element.toString(), id)));
        }
        if (!archive_.contains(part)) {
            return failStart(damaged(part + QStringLiteral(" is missing")));
        }
        if (!listed.contains(part.toLower())) {
            listed.insert(part.toLower());
            parts_.append({part, kind});
        }
    }
    return true;
}

// The main part's content type, which tells the program that wrote it.
bool ZipDocumentReader::contentTypeOf(const QString& main, QString& contentType) {
    QString error;
    const QString extension = main.mid(main.lastIndexOf(u'.') + 1);
    QString byExtension;
    if (!parseSmall(archive_, QStringLiteral("[Content_Types].xml"),
                    [&](const QXmlStreamReader& xml) {
                        if (xml.name() == u"Override" &&
                            resolvePart(QString(), attribute(xml, u"PartName"))
                                    .compare(main, Qt::CaseInsensitive) == 0) {
                            contentType = attribute(xml, u"ContentType");
                        } else if (xml.name() == u"Default" && byExtension.isEmpty() &&
                                   attribute(xml, u"Extension")
                                           .compare(extension, Qt::CaseInsensitive) == 0) {
                            byExtension = attribute(xml, u"ContentType");
                        }
                    },
                    error)) {
        return failStart(error);
    }
    if (contentType.isEmpty()) {
        contentType = byExtension;
    }
    return true;
}

bool ZipDocumentReader::startOffice() {
    QString error;
    Relationships relationships;
    if (!relationshipsOf(archive_, QString(), relationships, error)) {
        return failStart(error);
    }
    const QString main = relationships.targetOfType(u"/officeDocument");
    if (main.isEmpty()) {
        // Other packages of the same make (XPS, 3D models) hold no office document.
        plainArchive_ = true;
        return failStart(QStringLiteral("not a document"));
    }
    if (!archive_.contains(main)) {
        return failStart(damaged(main + QStringLiteral(" is missing")));
    }
    QString contentType;
    if (!contentTypeOf(main, contentType)) {
        return false;
    }
    Relationships mainRelationships;
    if (!relationshipsOf(archive_, main, mainRelationships, error)) {
        return failStart(error);
    }
    if (contentType.contains(u"wordprocessingml") || contentType.contains(u"ms-word")) {
        parts_.append({main, PartKind::Word});
        for (const QStringView type : {u"/footnotes", u"/endnotes"}) {
            const QString notes = mainRelationships.targetOfType(type);
            if (!notes.isEmpty() && archive_.contains(notes)) {
                parts_.append({notes, PartKind::Word});
            }
        }
        return true;
    }
    if (contentType.contains(u"presentationml") || contentType.contains(u"ms-powerpoint")) {
        return addNamedParts(main, mainRelationships, u"sldId", PartKind::Slide);
    }
    if (contentType.contains(u"spreadsheetml") || contentType.contains(u"ms-excel")) {
        const QString strings = mainRelationships.targetOfType(u"/sharedStrings");
        if (!strings.isEmpty() && archive_.contains(strings)) {
            const qint64 size = archive_.entrySize(strings);
            strings_.countedInPlace = size > SpreadsheetRules::kKeptStringsLimit;
            if (!strings_.countedInPlace) {
                strings_.text.reserve(size);  // the text is never larger than its part
            }
            parts_.append({strings, PartKind::SharedStrings});
        }
        return addNamedParts(main, mainRelationships, u"sheet", PartKind::Sheet);
    }
    if (contentType.isEmpty()) {
        return failStart(damaged(QStringLiteral("[Content_Types].xml gives no type for ") + main));
    }
    return failStart(QStringLiteral("unsupported document: its main part is ") + contentType);
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
