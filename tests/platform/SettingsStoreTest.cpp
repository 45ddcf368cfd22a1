#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "tests/ManualClock.h"

#ifdef QUORVANE_POSIX_TESTS
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace quorvane {
namespace {

const QString app = QStringLiteral("Harvex");

// Each test gets its own configuration folder, so no file is shared through Qt's cache.
class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    }

    QString file() const { return config.filePath(QStringLiteral("Harvex/Harvex.conf")); }

    void seed(const QByteArray& content) const {
        ASSERT_TRUE(QDir(config.path()).mkpath(QStringLiteral("Harvex")));
        QFile out(file());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
    }

    // Parses a copy of the file, so what is checked is what reached the disk.
    QString fromDisk(const QString& section, const QString& key) const {
        const QString copy = config.filePath(QStringLiteral("copy-%1.ini").arg(++copies));
        QFile::copy(file(), copy);
        return QSettings(copy, QSettings::IniFormat).value(section + '/' + key).toString();
    }

    QTemporaryDir config;
    test::ManualClock clock;
    SettingsStore store{clock};
    mutable int copies = 0;
};

class RoundTrip : public SettingsStoreTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(RoundTrip, StoredTextComesBackUnchanged) {
    const QString text = QString::fromUtf8(GetParam());
    ASSERT_TRUE(store.write(app, "paths", "browsepath", text));
    EXPECT_EQ(store.read(app, "paths", "browsepath", "absent"), text);
    EXPECT_EQ(fromDisk("paths", "browsepath"), text);
}

INSTANTIATE_TEST_SUITE_P(Values, RoundTrip,
                         ::testing::Values("1", "0", "abc", "", "/home/ann/My Documents/new folder",
                                           "a, b", "a,b,c", "x=y;z", "  blanks around  ", "naïve €",
                                           "@Variant(1)", "@@at", "line\nbreak", "back\\slash",
                                           "\"quoted\"", "#not a comment"));

TEST_F(SettingsStoreTest, SectionsAreGroupsOfTheApplicationFile) {
    ASSERT_TRUE(store.write(app, "program", "numberedlist", "1"));
    ASSERT_TRUE(store.write(app, "paths", "browsepath", "/tmp"));
    ASSERT_TRUE(store.write(app, "program", "numberedlist", "0"));
    EXPECT_EQ(SettingsStore::location(app), file());
    QFile in(file());
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray content = in.readAll();
    EXPECT_TRUE(content.contains("[program]\nnumberedlist=0\n")) << content.constData();
    EXPECT_TRUE(content.contains("[paths]\nbrowsepath=/tmp\n")) << content.constData();
    EXPECT_EQ(store.read(app, "paths", "numberedlist", "none"), "none");
}

struct Seeded {
    const char* name;
    QByteArray content;
    const char* key;
    const char* expected;
};

QByteArray garbage() {
    QByteArray bytes;
    for (int i = 0; i < 4096; ++i) {
        bytes.append(static_cast<char>((i * 7919 + 13) % 251));
    }
    return bytes;
}

class SeededFile : public SettingsStoreTest, public ::testing::WithParamInterface<Seeded> {};

TEST_P(SeededFile, ReadsTextOrDefault) {
    seed(GetParam().content);
    EXPECT_EQ(store.read(app, "program", GetParam().key, "dflt"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SeededFile,
    ::testing::Values(Seeded{"plain", "[program]\nnumberedlist=1\n", "numberedlist", "1"},
                      Seeded{"empty_value", "[program]\nchkremext=\n", "chkremext", ""},
                      Seeded{"absent_key", "[program]\nchkremext=1\n", "datecreated", "dflt"},
                      Seeded{"other_section", "[paths]\nchkremext=1\n", "chkremext", "dflt"},
                      Seeded{"hand_list", "[program]\nk=a, b\n", "k", "a, b"},
                      Seeded{"foreign_kind", "[program]\nk=@Rect(1 2 3 4)\n", "k", "dflt"},
                      Seeded{"empty_file", "", "k", "dflt"},
                      Seeded{"garbage", garbage(), "numberedlist", "dflt"},
                      Seeded{"broken_lines", "[[[\n=\n==1\n[program\nk\n", "k", "dflt"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsStoreTest, WriteOverGarbageSucceedsAndReachesTheDisk) {
    seed(garbage());
    ASSERT_TRUE(store.write(app, "program", "OptCaseInteger", "2"));
    EXPECT_EQ(fromDisk("program", "OptCaseInteger"), "2");
}

// The store stays open between reads, but a change made to its file by someone else is
// read once a few milliseconds have passed, and not before: reading a value for every line
// of a count must not reopen the file every time.
// The generation tells a caller that keeps a value when to read it again.
TEST_F(SettingsStoreTest, ChangesMadeOutsideAreSeen) {
    ASSERT_TRUE(store.write(app, "program", "OptCaseInteger", "2"));
    const quint64 written = store.generation(app);
    EXPECT_EQ(store.read(app, "program", "OptCaseInteger", ""), "2");
    EXPECT_EQ(store.generation(app), written);  // reading changes nothing
    seed("[program]\nOptCaseInteger=3 \n");
    clock.advanceMs(19);
    EXPECT_EQ(store.generation(app), written);
    EXPECT_EQ(store.read(app, "program", "OptCaseInteger", ""), "2");
    clock.advanceMs(1);
    const quint64 changed = store.generation(app);
    EXPECT_NE(changed, written);
    EXPECT_EQ(store.read(app, "program", "OptCaseInteger", ""), "3");
    clock.advanceMs(1000);
    EXPECT_EQ(store.generation(app), changed);  // looking again at an unchanged file
    ASSERT_TRUE(store.write(app, "program", "numberedlist", "1"));
    EXPECT_NE(store.generation(app), changed);  // our own writes too
}

TEST_F(SettingsStoreTest, UnwritablePlacesFailWithoutCrashing) {
    // The application's folder is a file: nothing can be created under it.
    QFile blocker(config.filePath("Harvex"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(store.write(app, "program", "numberedlist", "1"));
    EXPECT_EQ(store.read(app, "program", "numberedlist", "dflt"), "dflt");

    // The settings file is a folder.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.filePath("b"));
    ASSERT_TRUE(QDir(config.path()).mkpath("b/Harvex/Harvex.conf"));
    EXPECT_FALSE(store.write(app, "program", "numberedlist", "1"));
    EXPECT_EQ(store.read(app, "program", "numberedlist", "dflt"), "dflt");
}

// Permission bits that forbid reading: POSIX only.
#ifdef QUORVANE_POSIX_TESTS
// Permission bits do not bind the superuser: run as root, the test acts as nobody for the
// while, and as root again after (the saved user stays root).
class ActingAsNobody {
public:
    ActingAsNobody() : root_(::geteuid() == 0) {
        if (root_) {
            ok_ = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
        }
    }
    ~ActingAsNobody() {
        if (root_) {
            [[maybe_unused]] const int ignored = ::seteuid(0) + ::setegid(0);
        }
    }
    bool ok() const { return ok_; }

private:
    bool root_;
    bool ok_ = true;
};

TEST_F(SettingsStoreTest, UnreadableFileReadsAsDefaults) {
    seed("[program]\nnumberedlist=1\n");
    ASSERT_TRUE(QFile::setPermissions(file(), QFileDevice::Permissions()));
    // Everyone may reach the file; only its own bits stand in the way.
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                      QFileDevice::ReadOther | QFileDevice::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(config.path(), open));
    const ActingAsNobody nobody;
    ASSERT_TRUE(nobody.ok()) << std::strerror(errno);
    EXPECT_EQ(store.read(app, "program", "numberedlist", "dflt"), "dflt");
    EXPECT_FALSE(store.write(app, "program", "numberedlist", "0"));
}
#endif

}  // namespace
}  // namespace quorvane
