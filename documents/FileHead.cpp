#include "documents/FileHead.h"

#include <cstring>

#include "documents/DocumentSniffer.h"
#include "platform/FileContentSource.h"

namespace quorvane {

bool FileHead::read(FileContentSource& file, QString& error) {
    bytes_.resize(DocumentSniffer::kHeadSize);
    taken_ = 0;
    qsizetype got = 0;
    while (got < bytes_.size()) {
        const qint64 n = file.read(bytes_.data() + got, bytes_.size() - got);
        if (n < 0) {
            error = file.errorString();
            bytes_.clear();
            return false;
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    bytes_.resize(got);
    return true;
}

qint64 FileHead::take(char* buffer, qint64 size) {
    const qint64 n = qMin<qint64>(size, bytes_.size() - taken_);
    if (n > 0) {
        std::memcpy(buffer, bytes_.constData() + taken_, static_cast<std::size_t>(n));
        taken_ += n;
    }
    return qMax<qint64>(n, 0);
}

void FileHead::clear() {
    bytes_.clear();
    taken_ = 0;
}

}  // namespace quorvane
