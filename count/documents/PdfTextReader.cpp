#include "PdfTextReader.h"

#include <QString>

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <mutex>

#include "DocumentFile.h"
#include "TextSink.h"

namespace quorvane {

namespace {

// poppler writes its complaints about damaged files to standard error; the count gives
// its own reason instead.
void quiet(const std::string&, void*) {}

}  // namespace

PdfTextReader::PdfTextReader(DocumentFile& file) : file_(file) {}

PdfTextReader::~PdfTextReader() = default;

bool PdfTextReader::start() {
    static std::once_flag silenced;
    std::call_once(silenced, [] { poppler::set_debug_error_function(&quiet, nullptr); });
    // By name of the open descriptor: poppler reads the file in blocks as it needs them,
    // so even a large PDF is never held whole.
    document_.reset(poppler::document::load_from_file(file_.openName().toStdString()));
    if (!document_) {
        return failStart(QStringLiteral("damaged document: not a readable PDF"));
    }
    if (document_->is_locked()) {
        return failStart(QStringLiteral("encrypted PDF"));
    }
    pages_ = document_->pages();
    return true;
}

DocumentReader::Step PdfTextReader::step(TextSink& sink) {
    if (next_ >= pages_) {
        return Step::Done;
    }
    std::unique_ptr<poppler::page> page(document_->create_page(next_));
    if (!page) {
        // A page the viewer cannot show either: the count would leave its words out.
        return fail(QStringLiteral("damaged document: page %1 of %2 cannot be read")
                        .arg(next_ + 1)
                        .arg(pages_));
    }
    ++next_;
    const poppler::ustring text =
        page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout);
    // ustring holds UTF-16 in the machine's byte order.
    sink.text(QStringView(reinterpret_cast<const char16_t*>(text.data()),
                          static_cast<qsizetype>(text.size())));
    sink.gap();
    return Step::More;
}

}  // namespace quorvane
