#pragma once

#include <memory>

#include "DocumentReader.h"

namespace poppler {
class document;
}

namespace quorvane {

class DocumentFile;

// The text of a PDF, a page per step, through poppler. A PDF that asks for a password
// to be opened is "encrypted PDF"; one poppler cannot read is a damaged document.
class PdfTextReader : public DocumentReader {
public:
    explicit PdfTextReader(DocumentFile& file);
    ~PdfTextReader() override;

    bool start() override;
    Step step(TextSink& sink) override;

private:
    DocumentFile& file_;
    std::unique_ptr<poppler::document> document_;
    int pages_ = 0;
    int next_ = 0;
};

}  // namespace quorvane
