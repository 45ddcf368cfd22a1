#pragma once

#include <memory>

#include "documents/DocumentReader.h"

class GooFile;
class PDFDoc;

namespace quorvane {

class DocumentFile;

// The text of a PDF, a page per step, through poppler's own text layout. A PDF that asks
// for a password to be opened is "encrypted PDF"; one poppler cannot read is a damaged
// document; so is a page with more characters than fit in the memory a page may take.
class PdfTextReader : public DocumentReader {
public:
    // What poppler may spend laying out one page, in units of about 0.7 KB (see
    // GlyphCost): a glyph of running text costs one or two, so a page of 28,000
    // characters is read, several times what a page of small print holds, and the worker
    // stays well under 64 MiB whatever the page.
    static constexpr int kPageBudget = 56000;

    explicit PdfTextReader(DocumentFile& file);
    ~PdfTextReader() override;

    Start start() override;
    Step step(TextSink& sink) override;
    // NoTextLayer when the document has pages and none of them held any text.
    ContentNotes notes() const override;

private:
    DocumentFile& file_;
    std::unique_ptr<GooFile> input_;  // read by document_, so it outlives it
    std::unique_ptr<PDFDoc> document_;
    int pages_ = 0;
    int next_ = 0;
    bool anyText_ = false;  // some page so far held more than white space
};

}  // namespace quorvane
