#pragma once

#include <QByteArray>

#include <memory>
#include <vector>

#include "documents/DocumentReader.h"

namespace quorvane {

class DocumentFile;

// The text of a Word 97-2003 document: libgsf opens the compound file, and the piece
// table (the Clx named in the File Information Block) says where each run of the text
// lies in the WordDocument stream, 8-bit in the Windows Western code page or UTF-16. The
// body, footnotes, endnotes and text boxes are read; headers, footers and comments are
// not, nor field instructions, nor runs marked deleted or hidden in their own character
// formatting (the formatting pages are scanned first, a few per step). Paragraph, cell,
// line, tab and page marks part words.
class WordBinaryReader : public DocumentReader {
public:
    explicit WordBinaryReader(DocumentFile& file);
    ~WordBinaryReader() override;

    // NotADocument for a compound file of another program (a spreadsheet, a presentation).
    Start start() override;
    Step step(TextSink& sink) override;

    // The text one step reads at most, in bytes.
    static constexpr qint64 kPieceSize = 32 * 1024;
    // Formatting pages scanned per step.
    static constexpr std::size_t kPagesPerStep = 64;
    // Unseen runs kept at most; a document with more shows the rest.
    static constexpr std::size_t kMaxUnseenRuns = std::size_t{1} << 20;

    struct Streams;

private:
    struct Range {
        quint32 from;
        quint32 to;
    };

    bool openCompoundFile();
    Start withoutWordStream();
    bool readFib(QByteArray& fib);
    bool openTableStream(quint16 flags);
    bool readPieceTable(const QByteArray& fib);
    bool readFormattingBins(quint32 at, quint32 size);
    bool readPieces(const QByteArray& clx);
    bool readStories(const QByteArray& fib, qsizetype longs);
    bool readFormattingPages(std::size_t count);
    static bool hidesRun(const QByteArray& page, int at);
    void addUnseen(quint32 from, quint32 to);
    void moveToStory(TextSink& sink);
    void decode(qint64 offset, quint32 count, qint64 width, TextSink& sink);
    void utf16Unit(char16_t unit, TextSink& sink);
    void character(char32_t c, TextSink& sink);

    DocumentFile& file_;
    std::unique_ptr<Streams> streams_;
    qint64 wordSize_ = 0;
    // The pieces in the order of the text: piece k holds characters cps_[k] up to
    // cps_[k + 1], saved where fcs_[k] says (its offset, and a flag for 8-bit characters).
    std::vector<quint32> cps_;
    std::vector<quint32> fcs_;
    std::vector<Range> ranges_;
    // The character formatting pages still to scan, and the runs of the WordDocument
    // stream they mark deleted or hidden, in order.
    std::vector<quint32> formattingPages_;
    std::size_t formattingPage_ = 0;
    std::vector<Range> unseen_;
    std::size_t range_ = 0;
    quint32 cp_ = 0;
    QByteArray buffer_;
    // Open fields, innermost last: true while in the instruction, before the separator.
    std::vector<bool> fields_;
    int instructionsOpen_ = 0;
    char16_t highSurrogate_ = 0;
};

}  // namespace quorvane
