#pragma once

#include <QByteArrayView>

#include <cstring>

#include "platform/ContentSource.h"

namespace quorvane {

// A file's bytes already read into memory (by a FileBatch), given out as a plain file's
// source gives them: the name passed to open() is the one they were read from.
class HeldContentSource : public ContentSource {
public:
    void hold(QByteArrayView bytes, FileIdentity identity) {
        bytes_ = bytes;
        identity_ = identity;
        at_ = 0;
    }

    bool open(const QString&) override {
        at_ = 0;
        return true;
    }
    qint64 read(char* buffer, qint64 size) override {
        const qint64 got = readAt(at_, buffer, size, error_);
        at_ += got;
        return got;
    }
    void close() override {}
    QString errorString() const override { return error_; }
    FileIdentity identity() const override { return identity_; }
    bool canReadAt() const override { return true; }
    qint64 size() const override { return bytes_.size(); }
    qint64 readAt(qint64 offset, char* buffer, qint64 size, QString&) override {
        const qint64 got = qBound<qint64>(0, bytes_.size() - offset, size);
        if (got > 0) {
            std::memcpy(buffer, bytes_.data() + offset, static_cast<size_t>(got));
        }
        return got;
    }

private:
    QByteArrayView bytes_;
    FileIdentity identity_;
    qint64 at_ = 0;
    QString error_;
};

}  // namespace quorvane
