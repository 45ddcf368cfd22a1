#include "documents/WordBinaryReader.h"

#include <QString>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>


#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "documents/DocumentErrors.h"
#include "documents/DocumentFile.h"
#include "documents/TextSink.h"
#include "documents/Windows1252.h"

namespace quorvane {

namespace {

using DocumentErrors::damaged;

quint16 u16(const QByteArray& b, qsizetype at) {
    return static_cast<quint16>(static_cast<unsigned char>(b[at]) |
                                (static_cast<unsigned char>(b[at + 1]) << 8));
}

quint32 u32(const QByteArray& b, qsizetype at) {
    return static_cast<quint32>(u16(b, at)) | (static_cast<quint32>(u16(b, at + 2)) << 16);
}

// Reads `size` bytes at `offset` of a stream; false if the stream is shorter.
bool readAt(GsfInput* stream, qint64 offset, qint64 size, QByteArray& out) {
    out.resize(size);
    if (size == 0) {
        return true;
    }
    if (gsf_input_seek(stream, offset, G_SEEK_SET)) {
        return false;
    }
    return gsf_input_read(stream, static_cast<size_t>(size),
                          reinterpret_cast<guint8*>(out.data())) != nullptr;
}

// The File Information Block's fields this reader needs, by their place in it.
constexpr qsizetype kFlagsAt = 0x0A;
constexpr quint16 kEncrypted = 0x0100;
constexpr quint16 kTableStreamOne = 0x0200;
constexpr quint16 kObfuscated = 0x8000;
constexpr int kClxPair = 33;  // fcClx/lcbClx among the FibRgFcLcb97 pairs
constexpr int kCharacterPagesPair = 12;  // fcPlcfBteChpx/lcbPlcfBteChpx
constexpr qint64 kPageSize = 512;
// Character properties that take a run out of sight: a deleted revision, hidden text.
constexpr quint16 kSprmDeleted = 0x0800;
constexpr quint16 kSprmHidden = 0x083C;
constexpr quint16 kWord97 = 0x00C0;
constexpr quint16 kWordSignature = 0xA5EC;
// A piece table is a few bytes per run of differently saved text.
constexpr quint32 kMaxClx = 16u << 20;
constexpr std::size_t kMaxOpenFields = 1024;

// What libgsf found wrong in the compound file this thread opens: it leaves out a
// directory entry it cannot trust, and the document would pass for some other file.
thread_local int gsfComplaints = 0;

// libgsf ends a stream's sector chain where it loops or runs out, so the stream reads
// shorter than its directory entry says.
bool readsToItsEnd(GsfInput* stream) {
    const gsf_off_t size = gsf_input_size(stream);
    QByteArray last;
    return size <= 0 || readAt(stream, size - 1, 1, last);
}

void initialiseGsf() {
    static std::once_flag initialised;
    std::call_once(initialised, [] {
        gsf_init();
        // libgsf logs its complaints about damaged files; the count gives its own reason.
        for (const char* domain : {"libgsf", "libgsf:msole"}) {
            g_log_set_handler(domain,
                              static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL |
                                                          G_LOG_LEVEL_WARNING |
                                                          G_LOG_LEVEL_MESSAGE),
                              [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {
                                  ++gsfComplaints;
                              },
                              nullptr);
        }
    });
}

}  // namespace

struct WordBinaryReader::Streams {
    GsfInput* file = nullptr;
    GsfInfile* compound = nullptr;
    GsfInput* word = nullptr;
    GsfInput* table = nullptr;

    ~Streams() {
        for (GsfInput* input : {table, word}) {
            if (input != nullptr) {
                g_object_unref(input);
            }
        }
        if (compound != nullptr) {
            g_object_unref(compound);
        }
        if (file != nullptr) {
            g_object_unref(file);
        }
    }
};

WordBinaryReader::WordBinaryReader(DocumentFile& file) : file_(file) {}

WordBinaryReader::~WordBinaryReader() = default;

DocumentReader::Start WordBinaryReader::start() {
    initialiseGsf();
    streams_ = std::make_unique<Streams>();
    gsfComplaints = 0;
    if (!openCompoundFile()) {
        return Start::Failed;
    }
    streams_->word = gsf_infile_child_by_name(streams_->compound, "WordDocument");
    if (streams_->word == nullptr) {
        return withoutWordStream();
    }
    QByteArray fib;
    if (!readFib(fib) || !openTableStream(u16(fib, kFlagsAt)) || !readPieceTable(fib)) {
        return Start::Failed;
    }
    return Start::Document;
}

bool WordBinaryReader::openCompoundFile() {
    // The very file the count checked, by a copy of its descriptor (libgsf closes it),
    // never by a name.
    const int fd = ::fcntl(static_cast<int>(file_.nativeHandle()), F_DUPFD_CLOEXEC, 0);
    std::FILE* stream = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
    if (stream == nullptr && fd >= 0) {
        ::close(fd);
    }
    if (stream != nullptr) {
        std::rewind(stream);  // the copy shares the position the kind was told at
    }
    streams_->file = stream != nullptr ? gsf_input_stdio_new_FILE("document", stream, FALSE) : nullptr;
    if (streams_->file == nullptr) {
        return failCheck(QStringLiteral("the file cannot be read"));
    }
    GError* error = nullptr;
    streams_->compound = gsf_infile_msole_new(streams_->file, &error);
    if (streams_->compound == nullptr) {
        const QString reason = error != nullptr ? DocumentErrors::fromLibrary(error->message)
                                                : QStringLiteral("not a compound file");
        g_clear_error(&error);
        return failCheck(damaged(reason));
    }
    return true;
}

// A compound file with no Word text in it: another program's file (a spreadsheet, a
// presentation) counts as its bytes, unless it is sealed or its directory is broken.
DocumentReader::Start WordBinaryReader::withoutWordStream() {
    // A password-protected Word, Excel or PowerPoint 2007+ file is such a container.
    GsfInput* encrypted = gsf_infile_child_by_name(streams_->compound, "EncryptedPackage");
    if (encrypted != nullptr) {
        g_object_unref(encrypted);
        return failStart(DocumentErrors::encrypted());
    }
    if (gsfComplaints > 0) {
        return failStart(damaged(QStringLiteral("the compound file's directory is broken")));
    }
    return Start::NotADocument;
}

// The File Information Block, which opens the WordDocument stream: it must be a Word 97
// or later document saved in the clear.
bool WordBinaryReader::readFib(QByteArray& fib) {
    if (!readsToItsEnd(streams_->word)) {
        return failCheck(damaged(
            QStringLiteral("the WordDocument stream's sector chain loops or ends early")));
    }
    const qint64 fibSize = qMin<qint64>(gsf_input_size(streams_->word), 4096);
    if (fibSize < 0x22 || !readAt(streams_->word, 0, fibSize, fib)) {
        return failCheck(damaged(QStringLiteral("the WordDocument stream is too short")));
    }
    if (u16(fib, 0) != kWordSignature) {
        return failCheck(damaged(QStringLiteral("no Word document signature")));
    }
    if (u16(fib, 2) < kWord97) {
        return failCheck(DocumentErrors::unsupported(QStringLiteral("Word 95 or earlier")));
    }
    if ((u16(fib, kFlagsAt) & (kEncrypted | kObfuscated)) != 0) {
        return failCheck(DocumentErrors::encrypted());
    }
    return true;
}

// The table stream, 0Table or 1Table as the flags say, where the piece table lies.
bool WordBinaryReader::openTableStream(quint16 flags) {
    streams_->table = gsf_infile_child_by_name(
        streams_->compound, (flags & kTableStreamOne) != 0 ? "1Table" : "0Table");
    if (streams_->table == nullptr) {
        return failCheck(damaged(gsfComplaints > 0
                                     ? QStringLiteral("the compound file's directory is broken")
                                     : QStringLiteral("the table stream is missing")));
    }
    if (!readsToItsEnd(streams_->table)) {
        return failCheck(
            damaged(QStringLiteral("the table stream's sector chain loops or ends early")));
    }
    return true;
}

bool WordBinaryReader::readPieceTable(const QByteArray& fib) {
    const auto tooShort = [this] {
        return failCheck(damaged(QStringLiteral("the File Information Block is cut short")));
    };
    // FibBase (32 bytes), then three arrays each led by its length.
    qsizetype at = 32;
    const quint16 csw = u16(fib, at);
    at += 2 + qsizetype{csw} * 2;
    if (at + 2 > fib.size()) {
        return tooShort();
    }
    const quint16 cslw = u16(fib, at);
    const qsizetype longs = at + 2;
    at = longs + qsizetype{cslw} * 4;
    if (cslw < 11 || at + 2 > fib.size()) {
        return tooShort();
    }
    const quint16 pairs = u16(fib, at);
    const qsizetype pairsAt = at + 2;
    if (pairs <= kClxPair || pairsAt + (kClxPair + 1) * 8 > fib.size()) {
        return tooShort();
    }
    wordSize_ = gsf_input_size(streams_->word);
    if (!readFormattingBins(u32(fib, pairsAt + kCharacterPagesPair * 8),
                            u32(fib, pairsAt + kCharacterPagesPair * 8 + 4))) {
        return false;
    }
    const quint32 fcClx = u32(fib, pairsAt + kClxPair * 8);
    const quint32 lcbClx = u32(fib, pairsAt + kClxPair * 8 + 4);
    if (lcbClx == 0 || lcbClx > kMaxClx) {
        return failCheck(damaged(QStringLiteral("no piece table")));
    }
    QByteArray clx;
    if (!readAt(streams_->table, fcClx, lcbClx, clx)) {
        return failCheck(damaged(QStringLiteral("the piece table lies past the table stream")));
    }
    return readPieces(clx) && readStories(fib, longs);
}

bool WordBinaryReader::readFormattingBins(quint32 at, quint32 size) {
    // The bin table: n+1 stream offsets, then the page number of each formatting page.
    QByteArray bins;
    if (size < 8 || size > kMaxClx || (size - 4) % 8 != 0 ||
        !readAt(streams_->table, at, size, bins)) {
        return true;  // read as if no run were deleted or hidden
    }
    const qsizetype n = (size - 4) / 8;
    // Each page is one of the stream's own: more of them than it has pages would read
    // the same pages over and over.
    if (n > wordSize_ / kPageSize) {
        return failCheck(damaged(
            QStringLiteral("more formatting pages than the WordDocument stream holds")));
    }
    formattingPages_.reserve(static_cast<std::size_t>(n));
    for (qsizetype k = 0; k < n; ++k) {
        formattingPages_.push_back(u32(bins, (n + 1) * 4 + k * 4) & 0x3FFFFF);
    }
    return true;
}

bool WordBinaryReader::readPieces(const QByteArray& clx) {
    // Formatting (Prc) blocks come first, then the piece table proper (Pcdt).
    qsizetype i = 0;
    while (i < clx.size() && clx[i] == 0x01) {
        if (i + 3 > clx.size()) {
            return failCheck(damaged(QStringLiteral("the piece table is cut short")));
        }
        const auto size = static_cast<qint16>(u16(clx, i + 1));
        if (size < 0) {
            return failCheck(damaged(QStringLiteral("the piece table has a negative length")));
        }
        i += 3 + size;
    }
    if (i + 5 > clx.size() || clx[i] != 0x02) {
        return failCheck(damaged(QStringLiteral("the piece table is malformed")));
    }
    const quint32 lcb = u32(clx, i + 1);
    const qsizetype plc = i + 5;
    if (lcb < 4 || plc + qsizetype{lcb} > clx.size() || (lcb - 4) % 12 != 0) {
        return failCheck(damaged(QStringLiteral("the piece table is malformed")));
    }
    const qsizetype n = (lcb - 4) / 12;
    cps_.resize(static_cast<std::size_t>(n + 1));
    fcs_.resize(static_cast<std::size_t>(n));
    cps_[0] = u32(clx, plc);
    // Every piece must lie inside the stream, and together they can hold no more than
    // it: a Word file saves each character once.
    qint64 bytes = 0;
    for (qsizetype k = 0; k < n; ++k) {
        cps_[k + 1] = u32(clx, plc + (k + 1) * 4);
        fcs_[k] = u32(clx, plc + (n + 1) * 4 + k * 8 + 2);
        if (cps_[k + 1] < cps_[k]) {
            return failCheck(damaged(QStringLiteral("a piece of the text has a negative length")));
        }
        const bool compressed = (fcs_[k] & 0x40000000u) != 0;
        const qint64 offset = compressed ? (fcs_[k] & 0x3FFFFFFFu) / 2 : (fcs_[k] & 0x3FFFFFFFu);
        const qint64 length = qint64{cps_[k + 1] - cps_[k]} * (compressed ? 1 : 2);
        if (offset + length > wordSize_) {
            return failCheck(
                damaged(QStringLiteral("a piece of the text lies past the WordDocument stream")));
        }
        bytes += length;
    }
    if (bytes > wordSize_) {
        return failCheck(
            damaged(QStringLiteral("the pieces hold more text than the WordDocument stream")));
    }
    return true;
}

bool WordBinaryReader::readStories(const QByteArray& fib, qsizetype longs) {
    const auto count = [&](int index) { return qint64{u32(fib, longs + index * 4)}; };
    const qint64 ccpText = count(3), ccpFtn = count(4), ccpHdd = count(5), ccpMcr = count(6),
                 ccpAtn = count(7), ccpEdn = count(8), ccpTxbx = count(9);
    // The stories lie one after another: body, footnotes, headers, macros, comments,
    // endnotes, text boxes, header text boxes.
    const qint64 footnotes = ccpText;
    const qint64 endnotes = footnotes + ccpFtn + ccpHdd + ccpMcr + ccpAtn;
    const qint64 textBoxes = endnotes + ccpEdn;
    if (textBoxes + ccpTxbx > qint64{cps_.back()}) {
        return failCheck(damaged(QStringLiteral("the piece table does not cover the text")));
    }
    const auto cp = [](qint64 v) { return static_cast<quint32>(v); };
    ranges_ = {{0, cp(ccpText)},
               {cp(footnotes), cp(footnotes + ccpFtn)},
               {cp(endnotes), cp(endnotes + ccpEdn)},
               {cp(textBoxes), cp(textBoxes + ccpTxbx)}};
    cp_ = 0;
    return true;
}

bool WordBinaryReader::readFormattingPages(std::size_t count) {
    QByteArray page;
    for (; count > 0 && formattingPage_ < formattingPages_.size(); --count, ++formattingPage_) {
        if (!readAt(streams_->word, qint64{formattingPages_[formattingPage_]} * kPageSize,
                    kPageSize, page)) {
            return false;
        }
        const int runs = static_cast<unsigned char>(page[kPageSize - 1]);
        if ((runs + 1) * 4 + runs > kPageSize - 1) {
            return false;
        }
        for (int r = 0; r < runs; ++r) {
            const int at = static_cast<unsigned char>(page[(runs + 1) * 4 + r]) * 2;
            // Offset 0 is the default formatting.
            if (at != 0 && at < kPageSize - 1 && hidesRun(page, at)) {
                addUnseen(u32(page, r * 4), u32(page, (r + 1) * 4));
            }
        }
    }
    if (formattingPage_ == formattingPages_.size()) {
        std::sort(unseen_.begin(), unseen_.end(),
                  [](const Range& a, const Range& b) { return a.from < b.from; });
    }
    return true;
}

// Whether the character properties at `at` of a formatting page mark their run deleted
// or hidden.
bool WordBinaryReader::hidesRun(const QByteArray& page, int at) {
    const int size = static_cast<unsigned char>(page[at]);
    const int end = qMin<int>(at + 1 + size, kPageSize - 1);
    bool unseen = false;
    // Each property: its two-byte code, then an operand whose size the code tells.
    for (int i = at + 1; i + 2 <= end;) {
        const quint16 sprm = u16(page, i);
        i += 2;
        int operand = 0;
        switch (sprm >> 13) {
            case 0:
            case 1: operand = 1; break;
            case 2:
            case 4:
            case 5: operand = 2; break;
            case 3: operand = 4; break;
            case 7: operand = 3; break;
            default: operand = i < end ? 1 + static_cast<unsigned char>(page[i]) : 1; break;
        }
        if ((sprm == kSprmDeleted || sprm == kSprmHidden) && i < end) {
            // 1 on; 0x81 "the opposite of the style", taken as on as styles are not read.
            const auto value = static_cast<unsigned char>(page[i]);
            unseen = unseen || value == 0x01 || value == 0x81;
        }
        i += operand;
    }
    return unseen;
}

// Keeps a run of the WordDocument stream out of sight, joined to the one before where
// they meet, up to a bound on the runs kept.
void WordBinaryReader::addUnseen(quint32 from, quint32 to) {
    if (unseen_.size() >= kMaxUnseenRuns) {
        return;
    }
    if (!unseen_.empty() && unseen_.back().to == from) {
        unseen_.back().to = to;
    } else if (to > from) {
        unseen_.push_back({from, to});
    }
}

void WordBinaryReader::character(char32_t c, TextSink& sink) {
    switch (c) {
        case 0x13:  // field begin: its instruction follows
            if (fields_.size() < kMaxOpenFields) {
                fields_.push_back(true);
                ++instructionsOpen_;
            }
            return;
        case 0x14:  // field separator: its shown result follows
            if (!fields_.empty() && fields_.back()) {
                fields_.back() = false;
                --instructionsOpen_;
            }
            return;
        case 0x15:  // field end
            if (!fields_.empty()) {
                instructionsOpen_ -= fields_.back() ? 1 : 0;
                fields_.pop_back();
            }
            return;
        default:
            break;
    }
    if (instructionsOpen_ > 0) {
        return;
    }
    switch (c) {
        case 0x07:  // cell and row end
        case 0x09:
        case 0x0B:  // line break
        case 0x0C:  // page or section break
        case 0x0D:  // paragraph end
        case 0x0E:  // column break
            sink.gap();
            return;
        case 0x1E:  // non-breaking hyphen
            sink.codePoint(U'-');
            return;
        default:
            if (c >= 0x20) {
                sink.codePoint(c);
            }
            return;
    }
}

DocumentReader::Step WordBinaryReader::step(TextSink& sink) {
    if (formattingPage_ < formattingPages_.size()) {
        if (!readFormattingPages(kPagesPerStep)) {
            return fail(damaged(QStringLiteral("a formatting page lies past the WordDocument stream")));
        }
        return Step::More;
    }
    moveToStory(sink);
    if (range_ >= ranges_.size()) {
        return Step::Done;
    }
    const Range& range = ranges_[range_];
    if (cp_ < range.from) {
        cp_ = range.from;
    }
    // The piece that holds cp_: the last to start at or before it.
    const auto next = std::upper_bound(cps_.begin(), cps_.end(), cp_);
    if (next == cps_.begin() || next == cps_.end()) {
        return fail(damaged(QStringLiteral("the piece table does not cover the text")));
    }
    const std::size_t piece = static_cast<std::size_t>(next - cps_.begin()) - 1;
    const bool compressed = (fcs_[piece] & 0x40000000u) != 0;
    const qint64 width = compressed ? 1 : 2;
    const quint32 end = qMin(*next, range.to);
    const quint32 count =
        static_cast<quint32>(qMin<qint64>(end - cp_, kPieceSize / width));
    const qint64 start = compressed ? (fcs_[piece] & 0x3FFFFFFFu) / 2 : (fcs_[piece] & 0x3FFFFFFFu);
    const qint64 offset = start + qint64{cp_ - cps_[piece]} * width;
    if (!readAt(streams_->word, offset, count * width, buffer_)) {
        return fail(damaged(QStringLiteral("the text lies past the WordDocument stream")));
    }
    decode(offset, count, width, sink);
    cp_ += count;
    return Step::More;
}

// Past the end of a story, on to the next one that has text left.
void WordBinaryReader::moveToStory(TextSink& sink) {
    while (range_ < ranges_.size() && cp_ >= ranges_[range_].to) {
        ++range_;
        if (range_ < ranges_.size()) {
            cp_ = ranges_[range_].from;
            // A story's text never joins the one before it, nor its fields.
            fields_.clear();
            instructionsOpen_ = 0;
            sink.gap();
        }
    }
}

// The `count` characters in buffer_, `width` bytes each, read from `offset` of the
// WordDocument stream: those in unseen runs are left out.
void WordBinaryReader::decode(qint64 offset, quint32 count, qint64 width, TextSink& sink) {
    const auto* b = reinterpret_cast<const unsigned char*>(buffer_.constData());
    const auto unitAt = [&](quint32 k) {
        return width == 1 ? char16_t{b[k]} : static_cast<char16_t>(b[2 * k] | (b[2 * k + 1] << 8));
    };
    // The first unseen run that ends past this piece's start.
    auto unseen = std::upper_bound(unseen_.begin(), unseen_.end(), static_cast<quint32>(offset),
                                   [](quint32 at, const Range& r) { return at < r.to; });
    for (quint32 k = 0; k < count; ++k) {
        const quint32 at = static_cast<quint32>(offset + qint64{k} * width);
        while (unseen != unseen_.end() && unseen->to <= at) {
            ++unseen;
        }
        const char16_t unit = unitAt(k);
        if (unseen != unseen_.end() && unseen->from <= at) {
            // Field marks count even in an unseen run, so fields stay paired.
            if (unit == 0x13 || unit == 0x14 || unit == 0x15) {
                character(unit, sink);
            }
        } else if (width == 1) {
            character(Windows1252::decode(b[k]), sink);
        } else {
            utf16Unit(unit, sink);
        }
    }
}

void WordBinaryReader::utf16Unit(char16_t unit, TextSink& sink) {
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        highSurrogate_ = unit;
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF && highSurrogate_ != 0) {
        character(0x10000 + ((char32_t{highSurrogate_} - 0xD800) << 10) + (unit - 0xDC00), sink);
    } else {
        character(unit, sink);
    }
    highSurrogate_ = 0;
}

}  // namespace quorvane
