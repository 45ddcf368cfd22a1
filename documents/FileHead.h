#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace quorvane {

class FileContentSource;

// The first bytes of a file, read to tell its kind, then given out again ahead of the
// rest where the file is read as its bytes.
class FileHead {
public:
    // Reads up to DocumentSniffer::kHeadSize bytes from where `file` stands (its start);
    // false, with the reason in `error`, if the file cannot be read.
    bool read(FileContentSource& file, QString& error);
    QByteArrayView bytes() const { return bytes_; }
    qsizetype size() const { return bytes_.size(); }
    // Copies the bytes not given out yet into `buffer`: how many, 0 once all are out.
    qint64 take(char* buffer, qint64 size);
    void clear();

private:
    QByteArray bytes_;
    qsizetype taken_ = 0;
};

}  // namespace quorvane
