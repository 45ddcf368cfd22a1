#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>

#include "documents/ByteInput.h"

struct zip;
struct zip_file;

namespace quorvane {

class DocumentFile;

// A ZIP archive read through libzip straight from the document file, one entry at a
// time, each inflated as it is read so that memory stays flat whatever the entry's size.
// Failures read "damaged document: ..." or "encrypted document". An entry that inflates
// past the size the archive declares for it, or an archive whose entries inflate far more
// than any document's do, is taken for a damaged one before it costs time or memory.
class ZipArchive {
public:
    class Entry : public ByteInput {
    public:
        ~Entry() override;
        qint64 read(char* buffer, qint64 size) override;
        QString errorString() const override { return error_; }

    private:
        friend class ZipArchive;
        qint64 fail(const QString& reason);

        ZipArchive* archive_ = nullptr;
        zip_file* file_ = nullptr;
        QString name_;
        qint64 declaredSize_ = 0;
        qint64 inflated_ = 0;
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
    std::unique_ptr<Entry> openEntry(const QString& name);
    // A small entry whole (an index, a manifest): one that holds more than `limit` bytes
    // is taken for a damaged document.
    bool readSmall(const QString& name, QByteArray& out, qint64 limit = qint64{16} << 20);
    QString errorString() const { return error_; }

    // Past this much inflated in all, the entries read may inflate at most kMostRatio
    // times their packed size: deflate packs office XML some tens of times, never more.
    static constexpr qint64 kRatioFloor = qint64{16} << 20;
    static constexpr qint64 kMostRatio = 200;

private:
    qint64 indexOf(const QString& name) const;

    zip* archive_ = nullptr;
    // The first entry of each name in lower case: the office formats match names without
    // regard to case, for which libzip would look through every entry.
    QHash<QString, qint64> index_;
    qint64 packedRead_ = 0;    // packed size of the entries opened, once per opening
    qint64 inflatedRead_ = 0;  // what they inflated to
    QString error_;
};

}  // namespace quorvane
