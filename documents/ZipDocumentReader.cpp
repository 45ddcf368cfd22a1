#include "documents/ZipDocumentReader.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <QUrl>
#include <QXmlStreamReader>

#include <functional>

#include "documents/DocumentErrors.h"
#include "documents/HtmlTextReader.h"
#include "documents/OfficeNames.h"
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

using DocumentErrors::damaged;

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
        error = DocumentErrors::declaresEntities(name);
        return false;
    }
    QXmlStreamReader xml(data);
    xml.setEntityExpansionLimit(0);
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            onStart(xml);
        } else if (token == QXmlStreamReader::DTD && !xml.entityDeclarations().isEmpty()) {
            error = DocumentErrors::declaresEntities(name);
            return false;
        }
    }
    if (xml.hasError()) {
        error = DocumentErrors::damagedPart(name, xml.errorString());
        return false;
    }
    return true;
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
                OfficeNames::attribute(xml, u"TargetMode").compare(u"External", Qt::CaseInsensitive) == 0) {
                return;
            }
            const QString type = OfficeNames::attribute(xml, u"Type");
            if (!isFollowed(type)) {
                return;
            }
            const Relationship r{OfficeNames::attribute(xml, u"Id"), type,
                                 resolvePart(part, OfficeNames::attribute(xml, u"Target"))};
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

struct ZipDocumentReader::Book {
    QString package;                   // the part that lists the pages
    QHash<QString, QString> manifest;  // id: the page it names, empty for other items
    QStringList spine;                 // the ids of the pages in reading order
    QSet<QString> encrypted;           // the parts sold encrypted, in lower case
};

ZipDocumentReader::ZipDocumentReader(DocumentFile& file, bool claimsDocument)
    : file_(file), claimsDocument_(claimsDocument) {}

ZipDocumentReader::~ZipDocumentReader() = default;

DocumentReader::Start ZipDocumentReader::start() {
    if (!archive_.open(file_)) {
        // A file that only begins the way a ZIP file does is counted as its bytes, unless
        // its first entry or its name says it is a document.
        return claimsDocument_ ? failStart(archive_.errorString()) : Start::NotADocument;
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
    return Start::NotADocument;  // a plain ZIP file
}

bool ZipDocumentReader::parse(const QString& name,
                              const std::function<void(const QXmlStreamReader&)>& onStart) {
    QString error;
    return parseSmall(archive_, name, onStart, error) || failCheck(error);
}

DocumentReader::Start ZipDocumentReader::startOpenDocument() {
    const QString manifest = QStringLiteral("META-INF/manifest.xml");
    if (archive_.contains(manifest)) {
        bool encrypted = false;
        if (!parse(manifest, [&](const QXmlStreamReader& xml) {
                encrypted = encrypted || xml.name() == u"encryption-data";
            })) {
            return Start::Failed;
        }
        if (encrypted) {
            return failStart(DocumentErrors::encrypted());
        }
    }
    parts_.append({QStringLiteral("content.xml"), PartKind::OpenDocument});
    return Start::Document;
}

DocumentReader::Start ZipDocumentReader::startEpub() {
    Book book;
    if (!findPackage(book) || !readPackage(book) || !readEncryptedParts(book)) {
        return Start::Failed;
    }
    return addPages(book);
}

// The package, where the book lists its pages, as its container names it.
bool ZipDocumentReader::findPackage(Book& book) {
    if (!parse(QStringLiteral("META-INF/container.xml"), [&](const QXmlStreamReader& xml) {
            if (book.package.isEmpty() && xml.name() == u"rootfile") {
                book.package =
                    resolvePart(QString(), OfficeNames::attribute(xml, u"full-path"));
            }
        })) {
        return false;
    }
    return !book.package.isEmpty() ||
           failCheck(damaged(QStringLiteral("the book names no package")));
}

bool ZipDocumentReader::readPackage(Book& book) {
    return parse(book.package, [&](const QXmlStreamReader& xml) {
        if (xml.name() == u"item") {
            const bool page = OfficeNames::attribute(xml, u"media-type").contains(u"html");
            const QString href = OfficeNames::attribute(xml, u"href");
            book.manifest.insert(OfficeNames::attribute(xml, u"id"),
                                 page ? resolvePart(book.package, href) : QString());
        } else if (xml.name() == u"itemref") {
            book.spine.append(OfficeNames::attribute(xml, u"idref"));
        }
    });
}

// Books sold with copy protection list their encrypted pages in META-INF/encryption.xml
// (fonts are listed too, and those do not matter).
bool ZipDocumentReader::readEncryptedParts(Book& book) {
    const QString encryption = QStringLiteral("META-INF/encryption.xml");
    return !archive_.contains(encryption) ||
           parse(encryption, [&](const QXmlStreamReader& xml) {
               if (xml.name() == u"CipherReference") {
                   const QString uri = OfficeNames::attribute(xml, u"URI");
                   book.encrypted.insert(resolvePart(QString(), uri).toLower());
               }
           });
}

// The pages in the order of the spine. A page the spine names again is read once, where
// it first comes: books list each page once, and a spine of one page many times over
// would cost time without end.
DocumentReader::Start ZipDocumentReader::addPages(const Book& book) {
    QSet<QString> listed;
    for (const QString& id : book.spine) {
        const auto it = book.manifest.constFind(id);
        if (it == book.manifest.constEnd()) {
            return failStart(damaged(
                QStringLiteral("the spine names \"%1\", which the book does not hold").arg(id)));
        }
        if (it->isEmpty() || listed.contains(it->toLower())) {
            continue;  // an image or other item that is no page, or a page read already
        }
        if (!archive_.contains(*it)) {
            return failStart(damaged(*it + QStringLiteral(" is missing")));
        }
        if (book.encrypted.contains(it->toLower())) {
            return failStart(DocumentErrors::encrypted());
        }
        listed.insert(it->toLower());
        parts_.append({*it, PartKind::Page});
    }
    return Start::Document;
}

// The parts that the ids in a main part name (sheets, slides), in its order, each once:
// an id that names no part is a damaged document, as the office programs take it.
DocumentReader::Start ZipDocumentReader::addNamedParts(const QString& main,
                                                       const Relationships& relationships,
                                                       QStringView element, PartKind kind) {
    QStringList ids;
    if (!parse(main, [&](const QXmlStreamReader& xml) {
            if (xml.name() == element) {
                ids.append(relationshipId(xml));
            }
        })) {
        return Start::Failed;
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
    return Start::Document;
}

// The main part's content type, which tells the program that wrote it.
bool ZipDocumentReader::contentTypeOf(const QString& main, QString& contentType) {
    const QString extension = main.mid(main.lastIndexOf(u'.') + 1);
    QString byExtension;
    if (!parse(QStringLiteral("[Content_Types].xml"), [&](const QXmlStreamReader& xml) {
            if (xml.name() == u"Override" &&
                resolvePart(QString(), OfficeNames::attribute(xml, u"PartName"))
                        .compare(main, Qt::CaseInsensitive) == 0) {
                contentType = OfficeNames::attribute(xml, u"ContentType");
            } else if (xml.name() == u"Default" && byExtension.isEmpty() &&
                       OfficeNames::attribute(xml, u"Extension")
                               .compare(extension, Qt::CaseInsensitive) == 0) {
                byExtension = OfficeNames::attribute(xml, u"ContentType");
            }
        })) {
        return false;
    }
    if (contentType.isEmpty()) {
        contentType = byExtension;
    }
    return true;
}

DocumentReader::Start ZipDocumentReader::startOffice() {
    QString error;
    Relationships relationships;
    if (!relationshipsOf(archive_, QString(), relationships, error)) {
        return failStart(error);
    }
    const QString main = relationships.targetOfType(u"/officeDocument");
    if (main.isEmpty()) {
        // Other packages of the same make (XPS, 3D models) hold no office document.
        return Start::NotADocument;
    }
    if (!archive_.contains(main)) {
        return failStart(damaged(main + QStringLiteral(" is missing")));
    }
    QString contentType;
    if (!contentTypeOf(main, contentType)) {
        return Start::Failed;
    }
    Relationships mainRelationships;
    if (!relationshipsOf(archive_, main, mainRelationships, error)) {
        return failStart(error);
    }
    if (contentType.contains(u"wordprocessingml") || contentType.contains(u"ms-word")) {
        return addWordParts(main, mainRelationships);
    }
    if (contentType.contains(u"presentationml") || contentType.contains(u"ms-powerpoint")) {
        return addNamedParts(main, mainRelationships, u"sldId", PartKind::Slide);
    }
    if (contentType.contains(u"spreadsheetml") || contentType.contains(u"ms-excel")) {
        addSharedStrings(mainRelationships);
        return addNamedParts(main, mainRelationships, u"sheet", PartKind::Sheet);
    }
    if (contentType.isEmpty()) {
        return failStart(damaged(QStringLiteral("[Content_Types].xml gives no type for ") + main));
    }
    return failStart(DocumentErrors::unsupported(QStringLiteral("its main part is ") + contentType));
}

// The body, then the footnotes and endnotes where the document has them.
DocumentReader::Start ZipDocumentReader::addWordParts(const QString& main,
                                                      const Relationships& relationships) {
    parts_.append({main, PartKind::Word});
    for (const QStringView type : {u"/footnotes", u"/endnotes"}) {
        const QString notes = relationships.targetOfType(type);
        if (!notes.isEmpty() && archive_.contains(notes)) {
            parts_.append({notes, PartKind::Word});
        }
    }
    return Start::Document;
}

// A workbook's shared strings, read before the sheets that use them; past a size they are
// counted where they stand instead of where the cells use them.
void ZipDocumentReader::addSharedStrings(const Relationships& relationships) {
    const QString strings = relationships.targetOfType(u"/sharedStrings");
    if (strings.isEmpty() || !archive_.contains(strings)) {
        return;
    }
    const qint64 size = archive_.entrySize(strings);
    strings_.countedInPlace = size > SpreadsheetRules::kKeptStringsLimit;
    if (!strings_.countedInPlace) {
        strings_.text.reserve(size);  // the text is never larger than its part
    }
    parts_.append({strings, PartKind::SharedStrings});
}

bool ZipDocumentReader::openNextPart() {
    const Part& part = parts_[next_];
    std::unique_ptr<ZipArchive::Entry> entry = archive_.openEntry(part.name);
    if (!entry) {
        return failCheck(archive_.errorString());
    }
    switch (part.kind) {
        case PartKind::Page:
            page_ = std::make_unique<HtmlTextReader>(std::move(entry), part.name);
            return page_->start() == Start::Document || failCheck(page_->errorString());
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
