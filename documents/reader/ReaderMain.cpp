// The reader worker: started by the count, it confines itself, then reads the documents it
// is handed one after another and sends back their text, until the count closes the
// channel. Whatever a document does to the parsers happens here, within this process's
// limits.
#include <QByteArray>
#include <QString>

#include <cstdio>
#include <new>

#include "documents/DocumentContentSource.h"
#include "platform/ReaderProcess.h"

namespace {

using quorvane::DocumentContentSource;
using quorvane::ReaderChannel;

constexpr qsizetype kPieceSize = qsizetype{64} * 1024;
const QByteArray kBom("\xEF\xBB\xBF");

// The text of one document, or why there is none. False when the channel is gone.
bool serve(qintptr handle, const QString& name, QByteArray& piece) {
    DocumentContentSource source;
    if (!source.openHandle(handle, name)) {
        return ReaderChannel::sendFailed(source.errorString());
    }
    if (!source.isDocument()) {
        return ReaderChannel::sendAsBytes();
    }
    for (;;) {
        const qint64 got = source.read(piece.data(), piece.size());
        if (got < 0) {
            return ReaderChannel::sendFailed(source.errorString());
        }
        if (got == 0) {
            return ReaderChannel::sendEnd(source.notes());
        }
        // A mark alone is the source keeping a caller of its own responsive: no text, so
        // no sign of progress either, and the count's watchdog goes on counting.
        if (QByteArrayView(piece.constData(), got) == kBom) {
            continue;
        }
        if (!ReaderChannel::sendText(piece.constData(), got)) {
            return false;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    quorvane::ReaderLimits limits;
    if (!ReaderChannel::parseArguments(argc, argv, limits)) {
        std::fprintf(stderr, "quorvane-reader: started by the count, not by hand\n");
        return 1;
    }
    QString error;
    if (!ReaderChannel::confine(limits, error)) {
        std::fprintf(stderr, "quorvane-reader: %s\n", qPrintable(error));
        return 1;
    }
    QByteArray piece(kPieceSize, Qt::Uninitialized);
    qintptr handle = -1;
    QString name;
    while (ReaderChannel::beginFile() && ReaderChannel::receive(handle, name)) {
        bool sent = false;
        try {
            sent = serve(handle, name, piece);
        } catch (const std::bad_alloc&) {
            sent = ReaderChannel::sendOutOfMemory();
        }
        if (!sent) {
            break;
        }
    }
    return 0;
}
