#include "platform/DriveList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(ParseMountTable, KeepsFileSystemsWithFilesRootFirst) {
    const QByteArray table =
        "sysfs /sys sysfs rw,nosuid 0 0\n"
        "proc /proc proc rw 0 0\n"
        "udev /dev devtmpfs rw 0 0\n"
        "devpts /dev/pts devpts rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "tmpfs /run/user/1000 tmpfs rw 0 0\n"
        "/dev/sdb1 /run/media/ann/USB\\040STICK vfat rw 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n"
        "overlay / overlay rw,lowerdir=/x 0 0\n"
        "tmpfs /dev/shm tmpfs rw 0 0\n"
        "tmpfs /tmp tmpfs rw 0 0\n"
        "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
        "tmpfs /sys/fs/cgroup tmpfs rw 0 0\n"
        "systemd-1 /mnt/auto autofs rw 0 0\n"
        "/dev/sdc1 /mnt/auto nfs rw 0 0\n"
        "/dev/loop3 /snap/core/123 squashfs ro 0 0\n"
        "/dev/loop4 /opt/image squashfs ro 0 0\n"
        "gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse rw 0 0\n"
        "/dev/sda3 /srv/tab\\011and\\134back ext4 rw 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n"
        "/dev/sda4 /Data xfs rw 0 0\n"
        "binfmt_misc /proc/sys/fs/binfmt_misc binfmt_misc rw 0 0\n"
        "not a\n"
        "\n"
        "relative mount ext4 rw 0 0\n";
    const QStringList expected = {"/",
                                  "/Data",
                                  "/home",
                                  "/mnt/auto",
                                  "/opt/image",
                                  "/run/media/ann/USB STICK",
                                  "/srv/tab\tand\\back",
                                  "/tmp"};
    EXPECT_EQ(parseMountTable(table), expected) << qPrintable(parseMountTable(table).join(" | "));
    EXPECT_TRUE(parseMountTable("").isEmpty());
}

// One mount line at a time: whether its mount point is offered as a drive. Files bound
// onto others (as container engines do with /etc/hosts) are not folders.
TEST(ParseMountTable, LeavesOutWhatHoldsNoUserFiles) {
    const auto isFolder = [](const QString& point) {
        return point != "/etc/hosts" && point != "/etc/resolv.conf" && point != "/srv/one.txt";
    };
    const struct {
        const char* line;
        bool shown;
    } rows[] = {
        {"overlay / overlay rw,lowerdir=/l,upperdir=/u,workdir=/w 0 0", true},
        {"overlay /var/lib/docker/overlay2/0f3a/merged overlay rw,lowerdir=/l 0 0", false},
        {"fuse-overlayfs /home/ann/.local/share/containers/storage/overlay/9c/merged "
         "fuse.fuse-overlayfs rw 0 0",
         false},
        {"/dev/vda1 /etc/hosts ext4 rw 0 0", false},
        {"/dev/vda1 /etc/resolv.conf ext4 rw 0 0", false},
        {"/dev/sda1 /srv/one.txt ext4 rw 0 0", false},
        {"/dev/sda1 /srv ext4 rw 0 0", true},
        {"tmpfs /run tmpfs rw 0 0", false},
        {"tmpfs /run/lock tmpfs rw 0 0", false},
        {"/dev/sda5 /run/mount/data ext4 rw 0 0", false},
        {"nsfs /run/docker/netns/1a2b nsfs rw 0 0", false},
        {"/dev/sdb1 /run/media/ann/STICK vfat rw 0 0", true},
        {"/dev/sdb1 /run/media vfat rw 0 0", true},
        {"/dev/sdb2 /run/mediacache ext4 rw 0 0", false},
        {"/dev/sda6 /running ext4 rw 0 0", true},
        {"/dev/sda7 /proc/fs/nfsd ext4 rw 0 0", false},
        {"/dev/sda7 /sys/kernel/x ext4 rw 0 0", false},
        {"/dev/sda7 /dev/shm/x ext4 rw 0 0", false},
        {"/dev/sda7 /devices ext4 rw 0 0", true},
        {"tmpfs /tmp tmpfs rw 0 0", true},
    };
    for (const auto& row : rows) {
        const QStringList points = parseMountTable(QByteArray(row.line), isFolder);
        EXPECT_EQ(points.size(), row.shown ? 1 : 0) << row.line;
    }
    // Without a way to look, a mount point is taken for a folder.
    EXPECT_EQ(parseMountTable("/dev/vda1 /etc/hosts ext4 rw 0 0"), QStringList{"/etc/hosts"});
}

class FakeDrives : public DriveList {
public:
    explicit FakeDrives(QStringList list) : list_(std::move(list)) {}
    QStringList drives() const override { return list_; }

private:
    QStringList list_;
};

TEST(DriveOf, LongestContainingDriveComponentWise) {
    const FakeDrives drives({"/", "/home", "/home/ann/usb", "/mnt/data disk", "/media/x/"});
    const struct {
        const char* path;
        const char* drive;
    } rows[] = {
        {"/", "/"},
        {"/home", "/home"},
        {"/home/", "/home"},
        {"/home/ann", "/home"},
        {"/homework", "/"},
        {"/home/ann/usb/a/b", "/home/ann/usb"},
        {"/home/ann/usb/../docs", "/home"},
        {"/home/./ann//usb", "/home/ann/usb"},
        {"/mnt/data disk/x", "/mnt/data disk"},
        {"/mnt/data", "/"},
        {"/media/x", "/media/x/"},
        {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(drives.driveOf(QString::fromUtf8(row.path)), QString::fromUtf8(row.drive))
            << row.path;
    }
    EXPECT_EQ(FakeDrives({"/a", "/b"}).driveOf("/c/d"), QString());
}

TEST(DriveOf, CurrentFolderAndReadiness) {
    QTemporaryDir one;
    QTemporaryDir two;
    ASSERT_TRUE(QDir(one.path()).mkpath("deep/er"));
    const FakeDrives drives({one.path(), two.path()});
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(one.filePath("deep/er")));
    EXPECT_EQ(drives.driveOf("relative/name"), one.path());
    EXPECT_EQ(drives.currentFolderOf(one.path()), one.filePath("deep/er"));
    EXPECT_EQ(drives.currentFolderOf(two.path()), two.path());
    QDir::setCurrent(before);

    QFile file(two.filePath("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_TRUE(drives.isReady(one.path()));
    EXPECT_FALSE(drives.isReady(two.filePath("file")));
    EXPECT_FALSE(drives.isReady(two.filePath("missing")));
    EXPECT_FALSE(drives.isReady(QString()));
}

TEST(MountedDrives, ThisMachine) {
    const MountedDrives drives;
    const QStringList list = drives.drives();
    ASSERT_FALSE(list.isEmpty());
    EXPECT_EQ(list.first(), "/");
    EXPECT_FALSE(list.contains("/proc"));
    QStringList unique = list;
    EXPECT_EQ(unique.removeDuplicates(), 0);
    EXPECT_EQ(drives.driveOf("/proc/self"), "/");
    EXPECT_TRUE(drives.isReady("/"));
    EXPECT_FALSE(drives.driveOf(QDir::tempPath()).isEmpty());
}

}  // namespace
}  // namespace quorvane
