#pragma once

#include <QByteArrayView>
#include <QStringView>

namespace quorvane {

// Tells a document's kind from its first bytes; names count only where the bytes cannot
// tell (HTML, Markdown, a ZIP too damaged to show what it holds).
class DocumentSniffer {
public:
    enum class Kind {
        Bytes,  // not a document: counted as it is
        Zip,    // a ZIP archive: which document, if any, shows from its entries
        Pdf,
        Rtf,
        Html,
        Markdown,  // told by its name alone, when its bytes are no other kind
        CompoundFile,  // the container of Word 97-2003 files
    };

    // How many bytes from the start the kind is told from.
    static constexpr qsizetype kHeadSize = 4096;

    static Kind kindOf(QByteArrayView head, QStringView fileName);
    // A ZIP whose first entry marks it as a document (an office file, an e-book), or whose
    // name says it is one: when it cannot be opened, that is a damaged document.
    static bool zipClaimsDocument(QByteArrayView head, QStringView fileName);
};

}  // namespace quorvane
