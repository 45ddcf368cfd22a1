#pragma once

#include <QByteArray>

#include <memory>
#include <string>
#include <vector>

#include "documents/DocumentReader.h"

namespace quorvane {

class ByteInput;

// The text of an RTF file, read front to back a piece per step: control words and the
// groups that hold no shown text (font, colour and style tables, document info, pictures,
// headers and footers, comments, field instructions, list labels, "\*" destinations) are
// left out, as are hidden and deleted runs; paragraph, line, tab, cell and row marks part
// words; "\'hh" is read in the Windows Western code page and "\uN" as Unicode with its
// "\ucN" fallback skipped. Footnotes count where they stand. A file that ends inside a
// group or inside "\binN" data is cut short: it fails rather than count part of the text.
class RtfTextReader : public DocumentReader {
public:
    explicit RtfTextReader(std::unique_ptr<ByteInput> input);
    ~RtfTextReader() override;

    Start start() override { return Start::Document; }
    Step step(TextSink& sink) override;

    static constexpr qint64 kPieceSize = 16 * 1024;
    // Deeper groups share their parent's state: memory stays flat for any file.
    static constexpr std::size_t kMaxDepth = 4096;

private:
    struct Group {
        bool leftOut = false;
        bool hidden = false;
        bool deleted = false;
        bool note = false;
        int fallbackLength = 1;  // \ucN
    };
    enum class State { Text, Backslash, Word, Parameter, Hex1, Hex2, Binary };

    Step finish();
    void feed(unsigned char c, TextSink& sink);
    bool endsWord(unsigned char c, TextSink& sink);
    bool endsParameter(unsigned char c, TextSink& sink);
    void afterBackslash(unsigned char c, TextSink& sink);
    void text(unsigned char c, TextSink& sink);
    void controlWord(TextSink& sink);
    void unicode(char16_t unit, TextSink& sink);
    void character(char32_t c, TextSink& sink);
    void gap(TextSink& sink);
    bool visible() const { return !group_.leftOut && !group_.hidden && !group_.deleted; }
    void openGroup();
    void closeGroup(TextSink& sink);

    std::unique_ptr<ByteInput> input_;
    QByteArray piece_;
    State state_ = State::Text;
    Group group_;
    std::vector<Group> outer_;
    std::size_t overflowDepth_ = 0;
    std::string word_;
    bool hasParameter_ = false;
    bool negative_ = false;
    qint64 parameter_ = 0;
    int parameterDigits_ = 0;
    int hex_ = 0;
    qint64 binaryLeft_ = 0;
    int fallbackLeft_ = 0;  // characters after a \uN still to skip
    bool starPending_ = false;
    char16_t highSurrogate_ = 0;
};

}  // namespace quorvane
