#pragma once

#include <QByteArray>

#include <memory>

#include "documents/DocumentReader.h"

namespace quorvane {

class ByteInput;

// The prose of a Markdown file (CommonMark with tables and strikethrough, parsed by md4c):
// headings, paragraphs, lists, quotes, table cells, emphasis, inline code, link text and
// image descriptions. Code blocks, front matter, link targets, reference definitions,
// the addresses of autolinks, HTML comments and tags are left out; the text between tags
// stays. Read in pieces cut between blocks, so a file of any size needs little memory.
class MarkdownTextReader : public DocumentReader {
public:
    explicit MarkdownTextReader(std::unique_ptr<ByteInput> input);
    ~MarkdownTextReader() override;

    Start start() override;
    Step step(TextSink& sink) override;

    // The text parsed at once at most; files up to this size parse whole, so a link
    // finds a reference defined anywhere in them. The parser needs up to some sixty times
    // a piece's size on text made to strain it (thousands of unclosed brackets), which
    // must stay well inside the reader worker's memory.
    static constexpr qsizetype kPieceSize = 1024 * 1024;

    struct Walk;

private:
    bool fill();
    void skipOpening();

    std::unique_ptr<ByteInput> input_;
    std::unique_ptr<Walk> walk_;
    QByteArray buffer_;
    QByteArray carry_;  // opens the next piece in the block the last cut fell inside
    bool ended_ = false;
    bool opened_ = false;  // the byte-order mark and front matter are behind
};

}  // namespace quorvane
