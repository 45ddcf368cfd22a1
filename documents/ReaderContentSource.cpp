#include "documents/ReaderContentSource.h"

#include <cstring>

#include "documents/DocumentSniffer.h"

namespace quorvane {

ReaderContentSource::ReaderContentSource(std::shared_ptr<ReaderPool> pool)
    : pool_(std::move(pool)) {}

ReaderContentSource::~ReaderContentSource() {
    close();
}

ContentNotes ReaderContentSource::notes() const {
    return done_ && reading_ ? reading_->notes() : ContentNotes();
}

bool ReaderContentSource::canReadAt() const {
    return asBytes_ && file_.canReadAt();
}

qint64 ReaderContentSource::size() const {
    return asBytes_ ? file_.size() : -1;
}

qint64 ReaderContentSource::readAt(qint64 offset, char* buffer, qint64 size, QString& error) {
    if (!asBytes_) {
        error = QStringLiteral("a document is read front to back");
        return -1;
    }
    return file_.readAt(offset, buffer, size, error);
}

std::unique_ptr<MappedBytes> ReaderContentSource::mapAt(qint64 offset, qint64 size) {
    return asBytes_ ? file_.mapAt(offset, size) : nullptr;
}

bool ReaderContentSource::open(const QString& path) {
    close();
    error_.clear();
    if (!file_.open(path)) {
        error_ = file_.errorString();
        return false;
    }
    if (!head_.read(file_, error_)) {
        file_.close();
        return false;
    }
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    if (DocumentSniffer::kindOf(head_.bytes(), name) == DocumentSniffer::Kind::Bytes) {
        return true;
    }
    reading_ = pool_->read(file_, name, error_);
    if (!reading_) {
        close();
        return false;
    }
    asBytes_ = false;
    return true;
}

qint64 ReaderContentSource::read(char* buffer, qint64 size) {
    return asBytes_ ? readBytes(buffer, size) : readText(buffer, size);
}

qint64 ReaderContentSource::readBytes(char* buffer, qint64 size) {
    if (const qint64 fromHead = head_.take(buffer, size); fromHead > 0) {
        return fromHead;
    }
    const qint64 n = file_.read(buffer, size);
    if (n < 0) {
        error_ = file_.errorString();
    }
    return n;
}

qint64 ReaderContentSource::readText(char* buffer, qint64 size) {
    while (textPos_ >= text_.size()) {
        if (done_) {
            return 0;
        }
        if (!error_.isEmpty()) {
            return -1;
        }
        textPos_ = 0;
        text_.clear();
        switch (reading_->next(text_, error_, kWaitMs)) {
            case ReaderPool::Reading::Reply::Text:
                break;
            case ReaderPool::Reading::Reply::End:
                done_ = true;
                break;
            case ReaderPool::Reading::Reply::AsBytes:
                // An archive or compound file that holds no document: its bytes count.
                reading_.reset();
                asBytes_ = true;
                return readBytes(buffer, size);
            case ReaderPool::Reading::Reply::Failed:
                return -1;
            case ReaderPool::Reading::Reply::Waiting:
                return kNotYet;
        }
    }
    const qint64 n = qMin<qint64>(size, text_.size() - textPos_);
    std::memcpy(buffer, text_.constData() + textPos_, static_cast<std::size_t>(n));
    textPos_ += n;
    return n;
}

void ReaderContentSource::close() {
    reading_.reset();  // a worker still reading is stopped
    file_.close();
    head_.clear();
    asBytes_ = true;
    text_.clear();
    textPos_ = 0;
    done_ = false;
}

}  // namespace quorvane
