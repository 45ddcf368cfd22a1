#include "documents/PdfTextReader.h"

#include <QString>

#include <ErrorCodes.h>
#include <GlobalParams.h>
#include <PDFDoc.h>
#include <Page.h>
#include <TextOutputDev.h>
#include <Stream.h>
#include <goo/GooString.h>
#include <goo/gfile.h>

#include <fcntl.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "documents/DocumentErrors.h"
#include "documents/DocumentFile.h"
#include "documents/TextSink.h"

namespace quorvane {

namespace {

// poppler writes its complaints about damaged files to standard error; the count gives
// its own reason instead.
void quiet(ErrorCategory, Goffset, const char*) {}

// What a glyph costs poppler's layout of a page, in units of about 0.7 KB. A glyph that
// goes on the word before it costs least; one that starts a word, more; one that starts
// a line or stands apart from the glyph before it costs most, for poppler then makes a
// line and a block of it, and the time to place blocks grows faster than their number.
// Glyphs are told apart by where they lie, as poppler does; the cost is never less than
// poppler's own reckoning would give.
class GlyphCost {
public:
    int of(const GfxState* state, double x, double y, double dx, double dy, bool space) {
        const double* m = state->getTextMat();
        const double size =
            std::fabs(state->getFontSize()) * std::sqrt(std::fabs(m[0] * m[3] - m[1] * m[2]));
        int cost = kApart;
        if (started_ && std::fabs(size - size_) <= size_ * 0.01) {
            cost = placeAfterPrevious(x, y, size);
        }
        started_ = true;
        size_ = size;
        x_ = x + dx;
        y_ = y + dy;
        dx_ = dx;
        dy_ = dy;
        afterSpace_ = space;
        return cost;
    }

private:
    static constexpr int kSameWord = 1;
    static constexpr int kNewWord = 2;
    static constexpr int kApart = 6;

    int placeAfterPrevious(double x, double y, double size) const {
        const double ex = x - x_;
        const double ey = y - y_;
        const double advance = std::hypot(dx_, dy_);
        if (advance <= 0) {
            return std::hypot(ex, ey) <= 0.1 * size ? kNewWord : kApart;
        }
        // Along the previous glyph's advance, and across it.
        const double along = (ex * dx_ + ey * dy_) / advance;
        const double across = (ey * dx_ - ex * dy_) / advance;
        if (std::fabs(across) > 0.1 * size || along < -0.1 * size || along > size) {
            return kApart;
        }
        return along >= 0.1 * size || afterSpace_ ? kNewWord : kSameWord;
    }

    bool started_ = false;
    bool afterSpace_ = false;
    double size_ = 0;
    double x_ = 0;
    double y_ = 0;
    double dx_ = 0;
    double dy_ = 0;
};

void append(void* text, const char* bytes, int length) {
    static_cast<std::string*>(text)->append(bytes, static_cast<std::size_t>(length));
}

// poppler's text layout of one page, which keeps every glyph it is given until the page
// ends and then writes the page's text, in reading order, to `text`. Past the budget it
// is given no more, and asks the page to stop: the page is then not counted, so what it
// kept is never taken for the whole.
class CappedTextDevice : public TextOutputDev {
public:
    CappedTextDevice(qint64 budget, std::string& text)
        : TextOutputDev(&append, &text, false, 0, false), budget_(budget) {}

    bool overflowed() const { return spent_ > budget_; }
    static bool abortCheck(void* device) {
        return static_cast<CappedTextDevice*>(device)->overflowed();
    }

    void drawChar(GfxState* state, double x, double y, double dx, double dy, double originX,
                  double originY, CharCode code, int bytes, const Unicode* u,
                  int uLen) override {
        const bool space = uLen == 1 && (u[0] == ' ' || u[0] == 0xA0);
        const int cost = glyphs_.of(state, x, y, dx, dy, space) + qMax(uLen, 1) - 1;
        // Inside a replacement text poppler keeps only where the glyphs lie; the
        // replacement itself was paid for when it began.
        if (!inActualText_ && !spend(cost)) {
            return;
        }
        TextOutputDev::drawChar(state, x, y, dx, dy, originX, originY, code, bytes, u, uLen);
    }

    // A page that ran over is not laid out: the layout is where time goes, and its text
    // would not be counted anyway.
    void endPage() override {
        if (!overflowed()) {
            TextOutputDev::endPage();
        }
    }

    void beginActualText(GfxState* state, const GooString* text) override {
        if (!spend(2 * textLength(text))) {
            skippedActualText_ = true;
            return;
        }
        inActualText_ = true;
        TextOutputDev::beginActualText(state, text);
    }

    void endActualText(GfxState* state) override {
        if (skippedActualText_) {
            skippedActualText_ = false;
            return;
        }
        inActualText_ = false;
        TextOutputDev::endActualText(state);
    }

private:
    bool spend(qint64 cost) {
        spent_ += cost;
        return !overflowed();
    }

    // A text string is UTF-16 when it starts with its byte order mark, else a byte a
    // character.
    static qint64 textLength(const GooString* text) {
        const qint64 bytes = text ? text->getLength() : 0;
        return text && text->hasUnicodeMarker() ? (bytes - 2) / 2 : bytes;
    }

    const qint64 budget_;
    qint64 spent_ = 0;
    GlyphCost glyphs_;
    bool inActualText_ = false;
    bool skippedActualText_ = false;
};

}  // namespace

PdfTextReader::PdfTextReader(DocumentFile& file) : file_(file) {}

PdfTextReader::~PdfTextReader() = default;

DocumentReader::Start PdfTextReader::start() {
    static std::once_flag configured;
    std::call_once(configured, [] {
        setErrorCallback(&quiet);
        if (!globalParams) {
            globalParams = std::make_unique<GlobalParams>();
        }
    });
    // The open file itself, never a name (a copy of the descriptor, which poppler closes);
    // poppler reads it in blocks as it needs them, so even a large PDF is never held whole.
    const int fd = ::fcntl(static_cast<int>(file_.nativeHandle()), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        return failStart(QStringLiteral("the file cannot be read again"));
    }
    input_ = GooFile::open(fd);
    auto* stream = new FileStream(input_.get(), 0, false, input_->size(), Object(objNull));
    document_ = std::make_unique<PDFDoc>(stream);  // takes the stream
    if (!document_->isOk()) {
        return failStart(document_->getErrorCode() == errEncrypted
                             ? QStringLiteral("encrypted PDF")
                             : DocumentErrors::damaged(QStringLiteral("not a readable PDF")));
    }
    pages_ = document_->getNumPages();
    return Start::Document;
}

DocumentReader::Step PdfTextReader::step(TextSink& sink) {
    if (next_ >= pages_) {
        return Step::Done;
    }
    const int number = ++next_;
    if (!document_->getPage(number)) {
        // A page the viewer cannot show either: the count would leave its words out.
        return fail(DocumentErrors::damaged(
            QStringLiteral("page %1 of %2 cannot be read").arg(number).arg(pages_)));
    }
    std::string text;
    CappedTextDevice device(kPageBudget, text);
    document_->displayPage(&device, number, 72, 72, 0, false, true, false,
                           &CappedTextDevice::abortCheck, &device);
    if (device.overflowed()) {
        return fail(DocumentErrors::damaged(
            QStringLiteral("page %1 holds more than %2 characters, "
                           "or fewer scattered too widely to lay out")
                .arg(number)
                .arg(kPageBudget / 2)));
    }
    // poppler ends every page with a form feed, text or not.
    anyText_ = anyText_ || std::any_of(text.begin(), text.end(), [](char c) {
                   return static_cast<unsigned char>(c) > ' ';
               });
    sink.text(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    sink.gap();
    return Step::More;
}

ContentNotes PdfTextReader::notes() const {
    return pages_ > 0 && next_ >= pages_ && !anyText_ ? ContentNote::NoTextLayer
                                                       : ContentNotes();
}

}  // namespace quorvane
