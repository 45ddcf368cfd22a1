#include "platform/FileBatch.h"

namespace quorvane {

// Files are read one by one here: nothing is held, and the count reads each as usual.
struct FileBatch::Ring {};

FileBatch::FileBatch() = default;
FileBatch::~FileBatch() = default;

void FileBatch::closeHandles() {}

bool FileBatch::available() const {
    return false;
}

qintptr FileBatch::takeHandle(qsizetype) {
    return -1;
}

void FileBatch::read(const QList<QString>& paths) {
    files_.assign(static_cast<size_t>(qMin<qsizetype>(paths.size(), kFiles)), File{});
}

}  // namespace quorvane
