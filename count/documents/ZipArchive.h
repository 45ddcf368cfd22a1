#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

#include "ByteInput.h"

struct zip;
struct zip_file;

namespace quorvane {

class DocumentFile;

// A ZIP archive read through libzip straight from the document file, one entry at a
// time, each inflated as it is read so that memory stays flat whatever the entry's size.
// Failures read "damaged document: ..." or "encrypted document".
class ZipArchive {
public:
    class Entry : public ByteInput {
    public:
        ~Entry() override;
        qint64 read(char* buffer, qint64 size) override;
        QString errorString() const override { return error_; }

    private:
        friend class ZipArchive;
        zip_file* file_ = nullptr;
        QString name_;
        QString error_;
    };

    ZipArchive() = default;
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;
    ~ZipArchive();

    bool open(DocumentFile& file);
    // Entry names are matched without regard to letter case, as the office formats do.
    bool contains(const QString& name) const;
    // The unpacked size of an entry, -1 if there is none of that name.
    qint64 entrySize(const QString& name) const;
    // The entry names, in the archive's order.
    QStringList names() const;
    std::unique_ptr<Entry> openEntry(const QString& name);
    // A small entry whole (an index, a manifest): one that holds more than `limit` bytes
    // is taken for a damaged document.
    bool readSmall(const QString& name, QByteArray& out, qint64 limit = qint64{16} << 20);
    QString errorString() const { return error_; }

private:
    zip* archive_ = nullptr;
    QString error_;
};

}  // namespace quorvane
