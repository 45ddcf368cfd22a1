#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

#include "platform/FileIdentity.h"

namespace quorvane {

// Reads a run of small files ahead, all of them in a few system calls where the system
// allows it (io_uring on Linux): in a folder of small files, entering the kernel four
// times a file (open, stat, read, close) costs more than the reading.
//
// It holds only what it read whole: a plain file of at most kSlotBytes that was as large
// when read as when checked. Any other plain file it keeps open, for the caller to take
// over (takeHandle) and read as usual without looking its name up again. Anything else (a
// failure, a file that is not plain) is left to the caller to open as usual, which gives
// the very reason it always gives. Nothing but plain files is read.
class FileBatch {
public:
    static constexpr int kFiles = 16;
    static constexpr qint64 kSlotBytes = qint64{64} * 1024;

    struct File {
        bool held = false;
        FileIdentity identity;
        QByteArrayView bytes;  // valid until the next read()
    };

    FileBatch();
    ~FileBatch();
    FileBatch(const FileBatch&) = delete;
    FileBatch& operator=(const FileBatch&) = delete;

    // Whether this system reads batches; where not, read() holds nothing.
    bool available() const;
    // Reads the first kFiles of `paths`; file(i) then tells what it holds of path i.
    void read(const QList<QString>& paths);
    const File& file(qsizetype index) const { return files_[static_cast<size_t>(index)]; }
    // The open plain file at `index` that is not held, now the caller's to close; -1 when
    // there is none. Handles not taken are closed by the next read() or the destructor.
    qintptr takeHandle(qsizetype index);
    qsizetype size() const { return static_cast<qsizetype>(files_.size()); }

private:
    void closeHandles();

    struct Ring;
    std::unique_ptr<Ring> ring_;
    std::vector<File> files_;
    std::vector<qintptr> handles_;
};

}  // namespace quorvane
