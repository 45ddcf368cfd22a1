#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ReportFile.h"
#include "tests/PrivateMounts.h"

namespace quorvane {
namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A report rewritten in place, in a folder that takes no new file: a small file system
// (`disk`) is seen through a read-only bind mount (`shared`), with only the report itself
// bound writable on top. Room is counted in pages, so the reports differ by several.
TEST(ReportFileInPlace, ALongerReportNeedsRoomFirst) {
    QUORVANE_NEED_PRIVATE_MOUNTS();
    const QByteArray shortReport(100, 's');
    const QByteArray longReport(20000, 'l');
    enum class Limit { None, FullDisk, FileSize };
    const struct {
        const char* label;
        Limit limit;
        QByteArray earlier;
        QByteArray next;
        int refusal;  // the system's error; 0: written
    } rows[] = {
        {"longer on a full disk", Limit::FullDisk, shortReport, longReport, ENOSPC},
        {"longer past the file size limit", Limit::FileSize, shortReport, longReport, EFBIG},
        {"shorter on a full disk", Limit::FullDisk, longReport, shortReport, 0},
        {"as long on a full disk", Limit::FullDisk, longReport, QByteArray(20000, 'e'), 0},
        {"longer with room", Limit::None, shortReport, longReport, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        QTemporaryDir base;
        const QString disk = base.filePath("disk");
        const QString shared = base.filePath("shared");
        ASSERT_TRUE(QDir().mkpath(disk) && QDir().mkpath(shared));
        const QByteArray diskPath = QFile::encodeName(disk);
        const QByteArray sharedPath = QFile::encodeName(shared);
        const QByteArray reportPath = QFile::encodeName(QDir(shared).filePath("tallix.txt"));
        ASSERT_EQ(::mount("tmpfs", diskPath.constData(), "tmpfs", 0, "size=64k"), 0);
        {
            QFile earlier(QDir(disk).filePath("tallix.txt"));
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
            ASSERT_EQ(earlier.write(row.earlier), row.earlier.size());
        }
        if (row.limit == Limit::FullDisk) {
            QFile filler(QDir(disk).filePath(".filler"));
            ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(512, 'x');
            while (filler.write(block) == block.size()) {
            }
        }
        ASSERT_EQ(::mount(diskPath.constData(), sharedPath.constData(), nullptr, MS_BIND,
                          nullptr), 0);
        ASSERT_EQ(::mount(nullptr, sharedPath.constData(), nullptr,
                          MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
        ASSERT_EQ(::mount(QFile::encodeName(QDir(disk).filePath("tallix.txt")).constData(),
                          reportPath.constData(), nullptr, MS_BIND, nullptr), 0);
        const QStringList namesBefore = QDir(disk).entryList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::NoDotAndDotDot);
        rlimit unlimited{};
        ::getrlimit(RLIMIT_FSIZE, &unlimited);
        if (row.limit == Limit::FileSize) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, unlimited.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }

        ReportFile report(QFile::decodeName(reportPath), ReportFile::Target::ProgramReport);
        ASSERT_TRUE(report.create()) << report.errorString().toStdString();
        ASSERT_EQ(report.write(row.next), row.next.size());
        const bool committed = report.commit();
        ::setrlimit(RLIMIT_FSIZE, &unlimited);

        if (row.refusal != 0) {
            EXPECT_FALSE(committed);
            // The reason is in the system's own words, whatever its language.
            EXPECT_TRUE(
                report.errorString().contains(QString::fromLocal8Bit(std::strerror(row.refusal))))
                << report.errorString().toStdString();
            EXPECT_TRUE(report.errorString().contains("the earlier report is kept"));
            EXPECT_EQ(readAll(QFile::decodeName(reportPath)), row.earlier);
        } else {
            EXPECT_TRUE(committed) << report.errorString().toStdString();
            EXPECT_EQ(readAll(QFile::decodeName(reportPath)), row.next);
        }
        EXPECT_EQ(QDir(disk).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  namesBefore);
        ::umount2(reportPath.constData(), MNT_DETACH);
        ::umount2(sharedPath.constData(), MNT_DETACH);
        ::umount2(diskPath.constData(), MNT_DETACH);
    }
}

}  // namespace
}  // namespace quorvane
