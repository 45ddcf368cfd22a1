#pragma once

#include <QIODevice>
#include <QString>

#include <memory>

#include "platform/FileIdentity.h"

namespace quorvane {

// The device a report is written on, so that an earlier report is never lost: it stands
// until the new one is complete, and a failure at any point (a full disk included) leaves
// it byte for byte as it was, with the system's reason in errorString(); the one exception
// is a fault in the middle of an in-place rewrite, below.
//
// - A regular file is replaced atomically by a temporary file in the same folder, which
//   takes over the permission bits (and, where allowed, the owner) of the file it replaces.
//   Where the folder takes no new file but the report itself is writable (POSIX only;
//   Windows refuses), the report is rewritten in place once the new one is complete:
//   room for a longer report is set aside first, and where it cannot be (a full disk, a
//   quota, a file system that cannot set room aside) the earlier report stays byte for
//   byte. Once that room is held the earlier report is overwritten, so a fault after
//   that point (an I/O error, or a copy-on-write file system that needs new blocks even
//   to overwrite) leaves it part new, part old.
// - The program's own report path is never followed through a symbolic link: another user
//   of a shared folder must not decide which file is overwritten.
// - A path the user named may be a link to a regular file; a character device, FIFO or
//   socket there (a terminal, /dev/null) is written as a stream, never replaced.
// - Standard output is a stream too.
// Streams get the bytes only once the report is complete.
class ReportFile : public QIODevice {
    Q_OBJECT
public:
    enum class Target {
        ProgramReport,   // the report the program places itself; links refused
        UserNamed,       // a path the user chose; links to regular files followed
        StandardOutput,  // the path is only shown in messages
    };

    ReportFile(const QString& path, Target target);
    ~ReportFile() override;  // discards an uncommitted report

    // Checks the target and prepares the write; false with the reason when it cannot be.
    // Opens the device for writing on success.
    bool create();
    bool commit();
    void discard();

    QString path() const { return path_; }
    // The file this report will replace, when there is one.
    FileIdentity replacedIdentity() const;

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool fail(const QString& reason);

    struct State;
    std::unique_ptr<State> state_;
    QString path_;
    Target target_;
};

}  // namespace quorvane
