#pragma once

#include <QList>
#include <QString>

#include <memory>

#include "documents/DocumentReader.h"
#include "documents/SpreadsheetRules.h"
#include "documents/ZipArchive.h"

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
    explicit ZipDocumentReader(DocumentFile& file);
    ~ZipDocumentReader() override;

    bool start() override;
    Step step(TextSink& sink) override;

    // After start(): the archive opened but holds no document (a plain ZIP file).
    bool isPlainArchive() const { return plainArchive_; }
    // After start(): the archive itself could not be read.
    bool archiveUnreadable() const { return archiveUnreadable_; }

private:
    enum class PartKind { Word, OpenDocument, Slide, SharedStrings, Sheet, Page };
    struct Part {
        QString name;
        PartKind kind;
    };

    bool startOpenDocument();
    bool startEpub();
    bool startOffice();
    bool contentTypeOf(const QString& main, QString& contentType);
    bool addNamedParts(const QString& main, const Relationships& relationships,
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
    bool plainArchive_ = false;
    bool archiveUnreadable_ = false;
};

}  // namespace quorvane
