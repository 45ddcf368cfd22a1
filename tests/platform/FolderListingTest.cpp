#include "FolderListing.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

void touch(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0) << qPrintable(path);
    ::close(fd);
}

// One folder with every kind of entry a listing has to sort out.
class Folder {
public:
    Folder() {
        for (const char* name : {"a", "a.", ".hidden", ".hidden.txt", "A.TXT", "b.txt", "x.tar.gz",
                                 "spaced name.doc", "naïve.txt"}) {
            touch(dir.filePath(QString::fromUtf8(name)));
        }
        QDir(dir.path()).mkdir("sub.txt");
        QFile::link(dir.filePath("b.txt"), dir.filePath("link.txt"));
        QFile::link(dir.filePath("sub.txt"), dir.filePath("dirlink.txt"));
        QFile::link(dir.filePath("gone"), dir.filePath("broken.txt"));
        ::mkfifo(QFile::encodeName(dir.filePath("pipe.txt")).constData(), 0644);
    }
    QTemporaryDir dir;
};

struct PatternRow {
    const char* pattern;
    QStringList expected;
};

class ListingByPattern : public ::testing::TestWithParam<PatternRow> {
protected:
    static inline Folder* folder = nullptr;
    static void SetUpTestSuite() { folder = new Folder; }
    static void TearDownTestSuite() { delete folder; }
};

TEST_P(ListingByPattern, ListsMatchingRegularFilesInOrder) {
    const FolderList list = FolderListing::list(folder->dir.path(), GetParam().pattern);
    EXPECT_TRUE(list.ok) << qPrintable(list.error);
    EXPECT_EQ(list.names, GetParam().expected) << qPrintable(list.names.join(" | "));
}

const QStringList everything = {"a",        "a.",        "A.TXT",           "b.txt",
                                "link.txt", "naïve.txt", "spaced name.doc", "x.tar.gz"};

INSTANTIATE_TEST_SUITE_P(
    Patterns, ListingByPattern,
    ::testing::Values(
        PatternRow{"*.*", everything}, PatternRow{"*", everything},
        PatternRow{"*.txt", {"A.TXT", "b.txt", "link.txt", "naïve.txt"}},
        PatternRow{"*.TxT", {"A.TXT", "b.txt", "link.txt", "naïve.txt"}},
        PatternRow{"?.txt", {"A.TXT", "b.txt"}}, PatternRow{"*.gz", {"x.tar.gz"}},
        PatternRow{"*.tar", {}}, PatternRow{"a.*", {"a", "a.", "A.TXT"}}, PatternRow{"a", {"a"}},
        PatternRow{"*.", {"a."}}, PatternRow{"*.doc;*.gz", {"spaced name.doc", "x.tar.gz"}},
        PatternRow{" *.doc ;; ", {"spaced name.doc"}}, PatternRow{"NAÏVE.TXT", {"naïve.txt"}},
        PatternRow{"spaced*", {"spaced name.doc"}}, PatternRow{"", {}}, PatternRow{" ; ", {}},
        PatternRow{"*hidden*", {}}, PatternRow{"sub.txt;dirlink.txt;broken.txt;pipe.txt", {}}));

struct MatchRow {
    const char* name;
    const char* pattern;
    bool expected;
};

TEST(FolderListingMatch, Wildcards) {
    const MatchRow rows[] = {
        {"abc", "a*c", true},
        {"ac", "a*c", true},
        {"ab", "a?b", false},
        {"axb", "a?b", true},
        {"aXbXc", "a*b*c", true},
        {"mississippi", "m*iss*ppi", true},
        {"mississippi", "m*iss*pp", false},
        {"", "*", true},
        {"", "?", false},
        {"abc", "", false},
        {"😀.txt", "?.txt", true},
        {"ÉTÉ.TXT", "été.*", true},
        {"report", "report.*", true},
        {"report.old.txt", "report.*", true},
        {"reports", "report.*", false},
        {"[a].txt", "[a].txt", true},
        {"a.txt", "[a].txt", false},
        {"x.doc", "*.txt; *.doc", true},
    };
    for (const MatchRow& row : rows) {
        EXPECT_EQ(
            FolderListing::matches(QString::fromUtf8(row.name), QString::fromUtf8(row.pattern)),
            row.expected)
            << row.name << " against " << row.pattern;
    }
}

TEST(FolderListingOrder, CaseInsensitiveByCharacterCodeTiesByExactName) {
    const struct {
        QStringList input;
        QStringList sorted;
    } rows[] = {
        {{"ä", "B", "_", "a"}, {"_", "a", "B", "ä"}},
        {{"a.txt", "A.TXT", "a.TXT"}, {"A.TXT", "a.TXT", "a.txt"}},
        {{"9.txt", "10.txt", "Z", "y"}, {"10.txt", "9.txt", "y", "Z"}},
    };
    for (const auto& row : rows) {
        QStringList names = row.input;
        std::sort(names.begin(), names.end(), &FolderListing::lessThan);
        EXPECT_EQ(names, row.sorted) << qPrintable(names.join(" | "));
    }
}

TEST(FolderListingErrors, UnreadableFoldersReportTheReason) {
    QTemporaryDir dir;
    touch(dir.filePath("plain"));
    for (const QString& folder : {dir.filePath("missing"), dir.filePath("plain"), QString()}) {
        const FolderList list = FolderListing::list(folder, "*.*");
        EXPECT_FALSE(list.ok) << qPrintable(folder);
        EXPECT_FALSE(list.error.isEmpty()) << qPrintable(folder);
        EXPECT_TRUE(list.names.isEmpty());
    }
    const FolderList empty = FolderListing::list(dir.filePath("."), "");
    EXPECT_TRUE(empty.ok);
    EXPECT_TRUE(empty.names.isEmpty());
}

TEST(FolderListingLarge, FortyThousandFiles) {
    QTemporaryDir dir;
    const int count = 40000;
    for (int i = 0; i < count; ++i) {
        touch(dir.filePath(QStringLiteral("f%1.txt").arg(i)));
    }
    QElapsedTimer clock;
    clock.start();
    const FolderList all = FolderListing::list(dir.path(), "*.*");
    const qint64 elapsed = clock.elapsed();
    ASSERT_TRUE(all.ok);
    EXPECT_EQ(all.names.size(), count);
    EXPECT_TRUE(std::is_sorted(all.names.begin(), all.names.end(), &FolderListing::lessThan));
    EXPECT_EQ(FolderListing::list(dir.path(), "*7.TXT").names.size(), count / 10);
    RecordProperty("list_ms", static_cast<int>(elapsed));
    std::printf("listing %d files took %lld ms\n", count, static_cast<long long>(elapsed));
}

}  // namespace
}  // namespace quorvane
