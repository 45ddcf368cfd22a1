#include "platform/FileContentSource.h"

#include <QFile>
#include <QFileInfo>

namespace quorvane {

// Windows has no FIFOs in folders, and a device name (NUL, CON) is not a regular file,
// which QFileInfo tells before anything is opened.
struct FileContentSource::Handle {
    QFile file;
};

FileContentSource::FileContentSource() : handle_(std::make_unique<Handle>()) {}

FileContentSource::~FileContentSource() {
    close();
}

bool FileContentSource::open(const QString& path) {
    close();
    path_ = path;
    error_.clear();
    identity_ = {};
    if (!QFileInfo(path).isFile()) {
        error_ = QFileInfo::exists(path) ? QStringLiteral("not a regular file")
                                         : QStringLiteral("The system cannot find the file specified.");
        return false;
    }
    handle_->file.setFileName(path);
    size_ = QFileInfo(path).size();
    // Unbuffered: the job's own buffer is the only copy of the bytes.
    if (!handle_->file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error_ = handle_->file.errorString();
        return false;
    }
    return true;
}

qint64 FileContentSource::read(char* buffer, qint64 size) {
    const qint64 got = handle_->file.read(buffer, size);
    if (got < 0) {
        error_ = handle_->file.errorString();
    }
    return got;
}

// QFile keeps one position per file: one reader at a time.
bool FileContentSource::canReadAt() const {
    return false;
}

// Files are read into a buffer here, never mapped.
std::unique_ptr<MappedBytes> FileContentSource::mapAt(qint64, qint64) {
    return nullptr;
}

qint64 FileContentSource::readAt(qint64, char*, qint64, QString& error) {
    error = QStringLiteral("not supported");
    return -1;
}

// Documents are read in this process on Windows: nothing hands files over.
bool FileContentSource::adopt(qintptr) {
    close();
    error_ = QStringLiteral("not supported");
    return false;
}

bool FileContentSource::take(qintptr) {
    return false;
}

// By name: QFile gives no way to duplicate its handle.
bool FileContentSource::openSame(const FileContentSource& other) {
    return open(other.path_);
}

qintptr FileContentSource::nativeHandle() const {
    return handle_->file.isOpen() ? handle_->file.handle() : -1;
}

QString FileContentSource::openName() const {
    return path_;
}

void FileContentSource::close() {
    handle_->file.close();
}

}  // namespace quorvane
