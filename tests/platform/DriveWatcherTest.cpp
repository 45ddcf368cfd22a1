#include "platform/DriveList.h"
#include "platform/DriveWatcher.h"
#include "tests/PrivateMounts.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace quorvane {
namespace {

void writeTable(const QString& path, const QStringList& lines) {
    QFile table(path);
    ASSERT_TRUE(table.open(QIODevice::WriteOnly | QIODevice::Truncate));
    table.write(lines.join('\n').toUtf8() + '\n');
}

// The kernel writes a blank in a mount point as \040.
QString mountLine(const QString& point, const char* type = "ext4") {
    return QStringLiteral("/dev/sdz1 %1 %2 rw 0 0")
        .arg(QString(point).replace(' ', "\\040"), QLatin1String(type));
}

// A table in a file of its own, read through the real reader.
TEST(MountedDrives, ReadsTheTableItIsGiven) {
    QTemporaryDir tree;
    ASSERT_TRUE(QDir(tree.path()).mkpath("data disk"));
    QFile bound(tree.filePath("hosts"));
    ASSERT_TRUE(bound.open(QIODevice::WriteOnly));
    const QString table = tree.filePath("mounts");
    writeTable(table,
               {mountLine(tree.filePath("data disk")), mountLine(tree.filePath("hosts")),
                mountLine(tree.filePath("gone")), mountLine(tree.filePath("layer"), "overlay")});
    const MountedDrives drives(table);
    // A mount point that cannot be looked at stays: whether it opens is asked when picked.
    EXPECT_EQ(drives.drives(), (QStringList{tree.filePath("data disk"), tree.filePath("gone")}));

    writeTable(table, {});
    EXPECT_EQ(drives.drives(), QStringList{"/"});  // the root at least
    EXPECT_EQ(MountedDrives(tree.filePath("missing")).drives(), QStringList{"/"});
}

// Each test has an event loop for the watcher's notifiers.
class DriveWatcherTest : public ::testing::Test {
protected:
    void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

    // Handles events until `done` holds or `ms` have passed; whether it holds.
    static bool runUntil(const std::function<bool()>& done, int ms = 5000) {
        const QDeadlineTimer deadline(ms);
        while (!done() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        }
        return done();
    }

    int argc_ = 1;
    char name_[8] = "drives";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

TEST_F(DriveWatcherTest, FileStandingInForTheTableIsWatchedForWrites) {
    QTemporaryDir tree;
    const QString table = tree.filePath("mounts");
    writeTable(table, {mountLine("/")});
    const MountedDrives drives(table);
    const std::unique_ptr<DriveWatcher> watcher = drives.watch();
    ASSERT_NE(watcher, nullptr);
    int changes = 0;
    QObject::connect(watcher.get(), &DriveWatcher::changed, [&changes] { ++changes; });
    EXPECT_FALSE(runUntil([&] { return changes > 0; }, 100)) << "changed with no change";

    writeTable(table, {mountLine("/"), mountLine(tree.path())});
    EXPECT_TRUE(runUntil([&] { return changes > 0; }));
    // Replaced as editors save: the new file is watched in turn.
    const int before = changes;
    ASSERT_TRUE(QFile::remove(table));
    writeTable(table, {mountLine("/")});
    EXPECT_TRUE(runUntil([&] { return changes > before; }));

    const int told = changes;
    watcher->notifyChanged();
    EXPECT_EQ(changes, told + 1);
}

// The real table: a file system mounted and unmounted in a mount namespace of the test's
// own, so that nothing outside sees it.
TEST_F(DriveWatcherTest, KernelTellsOfEveryMount) {
    QUORVANE_NEED_PRIVATE_MOUNTS();
    QTemporaryDir place;
    ASSERT_TRUE(place.isValid());
    DriveWatcher watcher;
    int changes = 0;
    QObject::connect(&watcher, &DriveWatcher::changed, [&changes] { ++changes; });
    // The table is readable at any time: only a change may be told.
    EXPECT_FALSE(runUntil([&] { return changes > 0; }, 100)) << "changed with no mount";

    ASSERT_EQ(mount("tmpfs", QFile::encodeName(place.path()).constData(), "tmpfs", 0, "size=64k"),
              0);
    EXPECT_TRUE(runUntil([&] { return changes > 0; }));
    EXPECT_TRUE(MountedDrives().drives().contains(place.path()));

    const int mounted = changes;
    ASSERT_EQ(umount2(QFile::encodeName(place.path()).constData(), MNT_DETACH), 0);
    EXPECT_TRUE(runUntil([&] { return changes > mounted; }));
    EXPECT_FALSE(MountedDrives().drives().contains(place.path()));
}

}  // namespace
}  // namespace quorvane
