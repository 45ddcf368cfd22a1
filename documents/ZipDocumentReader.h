#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>

#include "documents/DocumentReader.h"
#include "documents/SpreadsheetRules.h"
#include "documents/ZipArchive.h"

class QXmlStreamReader;

namespace quorvane {

class DocumentFile;
class HtmlTextReader;
class XmlPartReader;
class XmlPartRules;
struct Relationships;

// The documents that are ZIP archives: Word, PowerPoint and Excel 2007+, OpenDocument
// text, presentations and spreadsheets, and EPUB books. Which one it is shows from the
// archive's entries, never from the file's name; the text is read part by part in the
// order a reader meets it, each part streamed.
class ZipDocumentReader : public DocumentReader {
public:
    // `claimsDocument`: the file's first entry or its name says it is a document, so an
    // archive that cannot be opened is a damaged document rather than other bytes.
    ZipDocumentReader(DocumentFile& file, bool claimsDocument);
    ~ZipDocumentReader() override;

    // NotADocument for an archive that holds no document (a plain ZIP file, an XPS
    // package), or that cannot be opened and does not claim to be a document.
    Start start() override;
    Step step(TextSink& sink) override;

private:
    enum class PartKind { Word, OpenDocument, Slide, SharedStrings, Sheet, Page };
    struct Part {
        QString name;
        PartKind kind;
    };
    struct Book;

    // Reads a small XML part whole, telling `onStart` each element as it opens.
    bool parse(const QString& name, const std::function<void(const QXmlStreamReader&)>& onStart);
    Start startOpenDocument();
    Start startEpub();
    bool findPackage(Book& book);
    bool readPackage(Book& book);
    bool readEncryptedParts(Book& book);
    Start addPages(const Book& book);
    Start startOffice();
    bool contentTypeOf(const QString& main, QString& contentType);
    Start addWordParts(const QString& main, const Relationships& relationships);
    void addSharedStrings(const Relationships& relationships);
    Start addNamedParts(const QString& main, const Relationships& relationships,
                        QStringView element, PartKind kind);
    bool openNextPart();

    DocumentFile& file_;
    ZipArchive archive_;
    QList<Part> parts_;
    qsizetype next_ = 0;
    SpreadsheetRules::Strings strings_;
    std::unique_ptr<XmlPartRules> rules_;
    std::unique_ptr<XmlPartReader> xmlPart_;
    std::unique_ptr<HtmlTextReader> page_;
    const bool claimsDocument_;
};

}  // namespace quorvane
