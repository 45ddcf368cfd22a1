#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

#include "documents/DocumentReader.h"

namespace quorvane {

class ByteInput;

// The text of an HTML or XHTML page as a browser shows it in the page: tags stripped,
// entities decoded, without scripts, styles, the head (the title shows only in the tab)
// or templates; blocks, cells, list items and line breaks part words. Parsed with
// libxml2's forgiving HTML parser, fed a small piece per step.
class HtmlTextReader : public DocumentReader {
public:
    // `input` gives the page's bytes; `name` is for messages only.
    HtmlTextReader(std::unique_ptr<ByteInput> input, QString name);
    ~HtmlTextReader() override;

    Start start() override;
    Step step(TextSink& sink) override;

    static constexpr qint64 kPieceSize = 16 * 1024;
    // Elements open at once at most. The parser looks through every open element for
    // each end tag it cannot match, so a deeper page would cost time with the square of
    // its size; browsers cap the depth of a page near this too.
    static constexpr int kMaxDepth = 512;

    struct Parser;

private:
    qint64 createParser(QByteArrayView first);

    std::unique_ptr<ByteInput> input_;
    QString name_;
    std::unique_ptr<Parser> parser_;
    QByteArray piece_;
    bool ended_ = false;
};

}  // namespace quorvane
