#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace quorvane {

// Where Markdown text may be cut into pieces that parse on their own the way the whole
// would: the parser takes a whole text at once, and a file of hundreds of megabytes is
// read a piece at a time.
namespace MarkdownBlocks {

// A place to cut, and the line that must open the next piece so it goes on in the block
// the cut fell inside (empty when the cut falls between blocks).
struct Cut {
    qsizetype at = 0;
    QByteArray carry;
};

// The size of the front matter (YAML between "---" lines, TOML between "+++" lines) that
// opens `text`, closing line included; 0 when there is none.
qsizetype frontMatterSize(QByteArrayView text);

// The end of the last blank line of `text` outside fenced code and the HTML blocks that
// run across blank lines, `text` starting outside them. Without one: the last blank line,
// line end, space or character boundary, in that order, with the block to go on in.
Cut lastCut(QByteArrayView text);

}  // namespace MarkdownBlocks

}  // namespace quorvane
