#include "platform/FolderListing.h"

#include "platform/CreationDates.h"
#include "platform/DriveList.h"
#include "platform/FileName.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {
namespace {

void touchBytes(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ::close(fd);
}

void touch(const QString& path) {
    touchBytes(QFile::encodeName(path));
}

// A name as the system hands it over, bytes that do not decode held.
QString held(const char* bytes) {
    return FileName::fromNative(QByteArray(bytes));
}

// A Latin-1 file name and folder name on a UTF-8 system.
const char* const kLatinFile = "caf\xe9.txt";
const char* const kLatinFolder = "d\xe9j\xe0";

// One folder with every kind of entry a listing has to sort out.
class Folder {
public:
    Folder() {
        for (const char* name : {"a", "a.", ".hidden", ".hidden.txt", "A.TXT", "b.txt", "x.tar.gz",
                                 "spaced name.doc", "naïve.txt"}) {
            touch(dir.filePath(QString::fromUtf8(name)));
        }
        QDir(dir.path()).mkdir("sub.txt");
        QDir(dir.path()).mkdir(".hidden dir");
        const QByteArray native = QFile::encodeName(dir.path()) + '/';
        touchBytes(native + kLatinFile);
        ::mkdir((native + kLatinFolder).constData(), 0755);
        touchBytes(native + kLatinFolder + "/inside.txt");
        ::mkdir((native + kLatinFolder + "/deeper").constData(), 0755);
        QFile::link(dir.filePath("b.txt"), dir.filePath("link.txt"));
        QFile::link(dir.filePath("sub.txt"), dir.filePath("dirlink.txt"));
        QFile::link(dir.filePath("gone"), dir.filePath("broken.txt"));
        ::mkfifo(QFile::encodeName(dir.filePath("pipe.txt")).constData(), 0644);
    }
    // QTemporaryDir removes by decoded names and would leave these behind.
    ~Folder() {
        const QByteArray native = QFile::encodeName(dir.path()) + '/';
        ::unlink((native + kLatinFolder + "/inside.txt").constData());
        ::rmdir((native + kLatinFolder + "/deeper").constData());
        ::rmdir((native + kLatinFolder).constData());
        ::unlink((native + kLatinFile).constData());
    }
    QTemporaryDir dir;
};

struct PatternRow {
    const char* pattern;
    QStringList expected;
};

class ListingOfOneFolder : public ::testing::Test {
protected:
    static inline Folder* folder = nullptr;
    static void SetUpTestSuite() { folder = new Folder; }
    static void TearDownTestSuite() { delete folder; }
};

class ListingByPattern : public ListingOfOneFolder,
                         public ::testing::WithParamInterface<PatternRow> {};

TEST_P(ListingByPattern, ListsMatchingRegularFilesInOrder) {
    const FolderList list = FolderListing::list(folder->dir.path(), GetParam().pattern);
    EXPECT_TRUE(list.ok) << qPrintable(list.error);
    const QStringList names = list.names.toStringList();
    EXPECT_EQ(names, GetParam().expected) << qPrintable(names.join(" | "));
}

const QString cafe = held(kLatinFile);
const QStringList everything = {"a",        "a.",        "A.TXT",           "b.txt",   cafe,
                                "link.txt", "naïve.txt", "spaced name.doc", "x.tar.gz"};

INSTANTIATE_TEST_SUITE_P(
    Patterns, ListingByPattern,
    ::testing::Values(
        PatternRow{"*.*", everything}, PatternRow{"*", everything},
        PatternRow{"*.txt", {"A.TXT", "b.txt", cafe, "link.txt", "naïve.txt"}},
        PatternRow{"*.TxT", {"A.TXT", "b.txt", cafe, "link.txt", "naïve.txt"}},
        PatternRow{"CAF?.TXT", {cafe}}, PatternRow{"caf*", {cafe}}, PatternRow{"café.txt", {}},
        PatternRow{"?.txt", {"A.TXT", "b.txt"}}, PatternRow{"*.gz", {"x.tar.gz"}},
        PatternRow{"*.tar", {}}, PatternRow{"a.*", {"a", "a.", "A.TXT"}}, PatternRow{"a", {"a"}},
        PatternRow{"*.", {"a."}}, PatternRow{"*.doc;*.gz", {"spaced name.doc", "x.tar.gz"}},
        PatternRow{" *.doc ;; ", {"spaced name.doc"}}, PatternRow{"NAÏVE.TXT", {"naïve.txt"}},
        PatternRow{"spaced*", {"spaced name.doc"}}, PatternRow{"", {}}, PatternRow{" ; ", {}},
        PatternRow{"*hidden*", {}}, PatternRow{"d*", {}},
        PatternRow{"sub.txt;dirlink.txt;broken.txt;pipe.txt", {}}));

// The listed name opens the very file: the bytes come back whole from the held form.
TEST_F(ListingOfOneFolder, NamesOutsideTheEncodingOpenByTheirListedName) {
    const FolderList list = FolderListing::list(folder->dir.path(), "caf*");
    ASSERT_EQ(list.names.size(), 1);
    const QString path = folder->dir.filePath(list.names.at(0));
    EXPECT_EQ(FileName::toNative(path), QFile::encodeName(folder->dir.path()) + '/' + kLatinFile);
    const int fd = ::open(FileName::toNative(path).constData(), O_RDONLY);
    EXPECT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(FileName::display(list.names.at(0)), QString::fromUtf8("caf\uFFFD.txt"));

    const QString inner = folder->dir.filePath(held(kLatinFolder));
    const FolderList inside = FolderListing::list(inner, "*.*");
    EXPECT_TRUE(inside.ok) << qPrintable(inside.error);
    EXPECT_EQ(inside.names, QStringList{"inside.txt"});
    EXPECT_FALSE(FolderListing::list(FileName::display(inner), "*.*").ok);
}

TEST_F(ListingOfOneFolder, SubfoldersAndFolderTest) {
    EXPECT_EQ(FolderListing::subfolders(folder->dir.path()),
              (QStringList{"dirlink.txt", held(kLatinFolder), "sub.txt"}));
    EXPECT_TRUE(FolderListing::subfolders(folder->dir.filePath("missing")).isEmpty());
    EXPECT_EQ(FolderListing::subfolders(folder->dir.filePath(held(kLatinFolder))),
              QStringList{"deeper"});

    const struct {
        QString name;
        bool folder;
    } rows[] = {
        {held(kLatinFolder), true},
        {FileName::display(held(kLatinFolder)), false},
        {"sub.txt", true},
        {"dirlink.txt", true},
        {".hidden dir", true},
        {"b.txt", false},
        {cafe, false},
        {"broken.txt", false},
        {"missing", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FolderListing::isFolder(folder->dir.filePath(row.name)), row.folder)
            << qPrintable(FileName::display(row.name));
    }
    EXPECT_FALSE(FolderListing::isFolder(QString()));
}

// Dates and drives reach the file by the same held bytes.
TEST_F(ListingOfOneFolder, OtherPartsKeepHeldBytes) {
    const QDateTime before = QDateTime::currentDateTime().addSecs(-60);
    for (const QString& name : {cafe, held(kLatinFolder)}) {
        const QDateTime created = CreationDates().dateCreated(folder->dir.filePath(name));
        ASSERT_TRUE(created.isValid()) << qPrintable(FileName::display(name));
        EXPECT_EQ(created.timeSpec(), Qt::LocalTime);
        EXPECT_GE(created, before);
        EXPECT_LE(created, QDateTime::currentDateTime().addSecs(2));
        EXPECT_FALSE(
            CreationDates().dateCreated(folder->dir.filePath(FileName::display(name))).isValid());
    }

    const QStringList points = parseMountTable(
        "/dev/sda1 / ext4 rw 0 0\n"
        "/dev/sdb1 /media/d\\351j\\340 vfat rw 0 0\n");
    ASSERT_EQ(points.size(), 2);
    EXPECT_EQ(FileName::toNative(points.at(1)), QByteArray("/media/") + kLatinFolder);
}

struct MatchRow {
    const char* name;
    const char* pattern;
    bool expected;
};

// Names are given as bytes: held bytes take "?" and "*" one by one and match no letter.
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
        {"caf\xe9.txt", "caf?.txt", true},
        {"caf\xe9.txt", "café.txt", false},
        {"caf\xe9.txt", "cafe.txt", false},
        {"caf\xe9.txt", "caf.txt", false},
        {"caf\xe9.txt", "*.TXT", true},
        {"\xe9\xe9", "??", true},
        {"\xe9\xe9", "?", false},
        {"x\xf0\x9f\x98.txt", "x???.txt", true},  // a cut-off character: three held bytes
        {"x\xf0\x9f\x98.txt", "x?.txt", false},
        {"\xed\xa0\x80", "???", true},  // an encoded surrogate is no character
    };
    for (const MatchRow& row : rows) {
        EXPECT_EQ(FolderListing::matches(held(row.name), QString::fromUtf8(row.pattern)),
                  row.expected)
            << qPrintable(FileName::display(held(row.name))) << " against " << row.pattern;
    }
}

// Bytes as the system hands them over, the name as held, and as shown. A name holds bytes
// exactly when it is shown otherwise than held.
TEST(FileName, DecodesStrictlyAndHoldsEveryOtherByte) {
    const struct {
        const char* bytes;
        std::u16string name;
        std::u16string shown;
    } rows[] = {
        {"", u"", u""},
        {"plain name.txt", u"plain name.txt", u"plain name.txt"},
        {"caf\xc3\xa9.txt", u"caf\u00e9.txt", u"caf\u00e9.txt"},
        {"caf\xe9.txt", u"caf\xDCE9.txt", u"caf\uFFFD.txt"},
        {"caf\xe9\xe9", u"caf\xDCE9\xDCE9", u"caf\uFFFD\uFFFD"},
        {"a\xc3(", u"a\xDCC3(", u"a\uFFFD("},
        {"\xc3", u"\xDCC3", u"\uFFFD"},
        {"\xe2\x82", u"\xDCE2\xDC82", u"\uFFFD\uFFFD"},
        {"\xe2\x82\xac", u"\u20AC", u"\u20AC"},
        {"\x80z.txt", u"\xDC80z.txt", u"\uFFFDz.txt"},
        {"\xff\xfe", u"\xDCFF\xDCFE", u"\uFFFD\uFFFD"},
        {"\xf5\x80\x80\x80", u"\xDCF5\xDC80\xDC80\xDC80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        // Overlong forms.
        {"\xc0\xaf", u"\xDCC0\xDCAF", u"\uFFFD\uFFFD"},
        {"\xc1\xbf", u"\xDCC1\xDCBF", u"\uFFFD\uFFFD"},
        {"\xe0\x80\xaf", u"\xDCE0\xDC80\xDCAF", u"\uFFFD\uFFFD\uFFFD"},
        {"\xe0\xa0\x80", u"\u0800", u"\u0800"},
        {"\xf0\x8f\xbf\xbf", u"\xDCF0\xDC8F\xDCBF\xDCBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xf0\x90\x80\x80", u"\U00010000", u"\U00010000"},
        // A character whose second half lies where held bytes do.
        {"\xf0\x90\x82\x80", u"\U00010080", u"\U00010080"},
        {"\xf0\x9f\x98\x80\xf0\x9f\x98", u"\U0001F600\xDCF0\xDC9F\xDC98",
         u"\U0001F600\uFFFD\uFFFD\uFFFD"},
        // Beyond U+10FFFF.
        {"\xf4\x8f\xbf\xbf", u"\U0010FFFF", u"\U0010FFFF"},
        {"\xf4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        // Surrogates written in UTF-8, among them one that looks like a held byte.
        {"\xed\x9f\xbf", u"\uD7FF", u"\uD7FF"},
        {"\xed\xa0\x80", u"\xDCED\xDCA0\xDC80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xed\xb2\x80", u"\xDCED\xDCB2\xDC80", u"\uFFFD\uFFFD\uFFFD"},
        // A real replacement character and a byte order mark are text like any other.
        {"\xef\xbf\xbd", u"\uFFFD", u"\uFFFD"},
        {"\xef\xbb\xbf.txt", u"\uFEFF.txt", u"\uFEFF.txt"},
    };
    for (const auto& row : rows) {
        const QByteArray bytes(row.bytes);
        // Not fromUtf16(), which would take a leading U+FEFF for a byte order mark.
        const QString name = QStringView(row.name).toString();
        const QString shown = QStringView(row.shown).toString();
        SCOPED_TRACE(bytes.toHex(' ').toStdString());
        EXPECT_EQ(FileName::fromNative(bytes), name);
        EXPECT_EQ(FileName::toNative(name), bytes);
        EXPECT_EQ(FileName::display(name), shown);
        EXPECT_EQ(FileName::holdsBytes(name), name != shown);
    }
}

// Text that no listing produces still gets bytes, never a NUL or a stray single byte.
TEST(FileName, LoneSurrogatesThatHoldNoByte) {
    const struct {
        std::u16string name;
        const char* bytes;
        bool holds;
    } rows[] = {
        {u"\xD800", "\xef\xbf\xbd", false},
        {u"a\xDC00", "a\xef\xbf\xbd", false},
        {u"a\xDC7F", "a\xef\xbf\xbd", false},
        {u"\xDD00z", "\xef\xbf\xbdz", false},
        {u"\xD800\xDC80", "\xf0\x90\x82\x80", false},  // a pair, not a held byte
        {u"\xDC80\xD800", "\x80\xef\xbf\xbd", true},
    };
    for (const auto& row : rows) {
        const QString name = QStringView(row.name).toString();
        SCOPED_TRACE(QByteArray(row.bytes).toHex(' ').toStdString());
        EXPECT_EQ(FileName::toNative(name), QByteArray(row.bytes));
        EXPECT_EQ(FileName::holdsBytes(name), row.holds);
    }
}

// Random names, most of them near the edges of UTF-8: every one comes back byte for byte,
// and valid ones read exactly as Qt's own decoder reads them.
TEST(FileName, RandomNamesRoundTrip) {
    std::mt19937 random(20240607);
    const unsigned char edges[] = {0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                   0xC2, 0xDF, 0xE0, 0xE1, 0xED, 0xEE, 0xEF, 0xF0,
                                   0xF3, 0xF4, 0xF5, 0xFE, 0xFF, 'a',  '.',  '/'};
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes;
        const int length = static_cast<int>(random() % 24);
        for (int k = 0; k < length; ++k) {
            const unsigned kind = random() % 3;
            const unsigned value = kind == 0   ? 1 + random() % 255
                                   : kind == 1 ? edges[random() % sizeof edges]
                                               : 0x80 + random() % 0x40;
            bytes.append(static_cast<char>(value));
        }
        SCOPED_TRACE(bytes.toHex(' ').toStdString());
        const QString name = FileName::fromNative(bytes);
        ASSERT_EQ(FileName::toNative(name), bytes);
        ASSERT_EQ(FileName::fromNative(FileName::toNative(name)), name);
        const bool valid = QByteArrayView(bytes).isValidUtf8();
        ASSERT_EQ(FileName::holdsBytes(name), !valid);
        if (valid) {
            ASSERT_EQ(name, QString::fromUtf8(bytes));
        }
        const QString shown = FileName::display(name);
        ASSERT_EQ(shown.size(), name.size());
        ASSERT_FALSE(FileName::holdsBytes(shown));
    }
    for (int round = 0; round < 5000; ++round) {
        std::u32string codes;
        const int length = static_cast<int>(random() % 12);
        for (int k = 0; k < length; ++k) {
            char32_t code = 1 + random() % 0x10FFFF;
            if (code >= 0xD800 && code <= 0xDFFF) {
                code -= 0x800;
            }
            codes.push_back(code);
        }
        const QString text = QString::fromUcs4(codes.data(), static_cast<qsizetype>(codes.size()));
        ASSERT_EQ(FileName::fromNative(text.toUtf8()), text);
        ASSERT_EQ(FileName::toNative(text), text.toUtf8());
        ASSERT_FALSE(FileName::holdsBytes(text));
    }
}

// A tree with every kind of entry a walk through subfolders has to sort out.
class Tree {
public:
    Tree() {
        for (const char* file : {"a.txt", "B.md", "tallix.txt", ".hidden.txt", "sub/c.txt",
                                 "sub/tallix.txt", "sub/deeper/d.TXT", "sub/deeper/tallix.txt",
                                 "Sub2/f.txt", ".hidden dir/e.txt", "sub/.inner/h.txt"}) {
            const QString path = dir.filePath(QString::fromLatin1(file));
            QDir().mkpath(QFileInfo(path).path());
            touch(path);
        }
        QDir().mkpath(dir.filePath("empty/emptier"));
        const QByteArray native = QFile::encodeName(dir.path()) + '/';
        ::mkdir((native + kLatinFolder).constData(), 0755);
        touchBytes(native + kLatinFolder + "/g.txt");
        QFile::link(dir.filePath("sub"), dir.filePath("linkdir"));
        QFile::link(dir.path(), dir.filePath("Sub2/loop"));  // back to the top: a loop
        QFile::link(dir.filePath("a.txt"), dir.filePath("filelink.txt"));
        ::mkfifo(QFile::encodeName(dir.filePath("sub/pipe.txt")).constData(), 0644);
    }
    ~Tree() {
        const QByteArray native = QFile::encodeName(dir.path()) + '/';
        ::unlink((native + kLatinFolder + "/g.txt").constData());
        ::rmdir((native + kLatinFolder).constData());
    }
    QTemporaryDir dir;
};

// The pattern picks file names, never folder names; paths are sorted as wholes.
TEST(FolderListingRecursive, ListsEveryFileBelowOnce) {
    const Tree tree;
    const QString g = held(kLatinFolder) + "/g.txt";
    const struct {
        const char* pattern;
        QStringList expected;
    } rows[] = {
        {"*.*",
         {"a.txt", "B.md", g, "filelink.txt", "sub/c.txt", "sub/deeper/d.TXT",
          "sub/deeper/tallix.txt", "sub/tallix.txt", "Sub2/f.txt", "tallix.txt"}},
        {"*.txt",
         {"a.txt", g, "filelink.txt", "sub/c.txt", "sub/deeper/d.TXT", "sub/deeper/tallix.txt",
          "sub/tallix.txt", "Sub2/f.txt", "tallix.txt"}},
        {"TALLIX.TXT", {"sub/deeper/tallix.txt", "sub/tallix.txt", "tallix.txt"}},
        {"d*", {"sub/deeper/d.TXT"}},
        {"sub*;empty*;linkdir", {}},
        {"", {}},
    };
    for (const auto& row : rows) {
        const FolderList list = FolderListing::listRecursive(tree.dir.path(), row.pattern);
        EXPECT_TRUE(list.ok) << qPrintable(list.error);
        EXPECT_TRUE(list.unreadable.isEmpty());
        const QStringList names = list.names.toStringList();
        EXPECT_EQ(names, row.expected) << row.pattern << ": " << qPrintable(names.join(" | "));
    }
    // Every listed path opens from the top folder, held bytes and all.
    for (const QString& path : FolderListing::listRecursive(tree.dir.path(), "*.*").names) {
        const int fd = ::open(FileName::toNative(tree.dir.filePath(path)).constData(), O_RDONLY);
        EXPECT_GE(fd, 0) << qPrintable(FileName::display(path));
        ::close(fd);
    }
    // One folder alone is listed as before.
    EXPECT_EQ(FolderListing::list(tree.dir.path(), "*.*").names,
              (QStringList{"a.txt", "B.md", "filelink.txt", "tallix.txt"}));
}

TEST(FolderListingRecursive, FolderThatCannotBeReadFailsTheListing) {
    QTemporaryDir dir;
    for (const QString& folder : {dir.filePath("missing"), QString()}) {
        const FolderList list = FolderListing::listRecursive(folder, "*.*");
        EXPECT_FALSE(list.ok);
        EXPECT_FALSE(list.error.isEmpty());
        EXPECT_TRUE(list.names.isEmpty());
    }
}

// A subfolder below the longest path the system opens is named with the reason, and the
// rest of the tree is still listed.
TEST(FolderListingRecursive, SubfolderThatCannotBeReadIsNamed) {
    QTemporaryDir dir;
    touch(dir.filePath("top.txt"));
    const QByteArray part(200, 'n');
    std::vector<int> fds = {::open(QFile::encodeName(dir.path()).constData(), O_RDONLY)};
    const int depth = 4200 / (part.size() + 1) + 1;
    for (int level = 0; level < depth; ++level) {
        ASSERT_EQ(::mkdirat(fds.back(), part.constData(), 0755), 0);
        fds.push_back(::openat(fds.back(), part.constData(), O_RDONLY | O_DIRECTORY));
        ASSERT_GE(fds.back(), 0);
        ::close(::openat(fds.back(), "x.txt", O_CREAT | O_WRONLY, 0644));
    }
    const FolderList list = FolderListing::listRecursive(dir.path(), "*.txt");
    // Cleaned up from the bottom by handle: no path that long opens.
    for (int level = depth; level > 0; --level) {
        ::unlinkat(fds[level], "x.txt", 0);
        ::close(fds[level]);
        ::unlinkat(fds[level - 1], part.constData(), AT_REMOVEDIR);
    }
    ::close(fds[0]);

    EXPECT_TRUE(list.ok) << qPrintable(list.error);
    ASSERT_EQ(list.unreadable.size(), 1);
    const FolderProblem& problem = list.unreadable.first();
    EXPECT_EQ(problem.reason, qt_error_string(ENAMETOOLONG));
    EXPECT_GT(dir.filePath(problem.path).toUtf8().size(), 4095);
    ASSERT_GE(list.names.size(), 2);
    EXPECT_TRUE(list.names.toStringList().contains(QString::fromLatin1(part) + "/x.txt"));
    EXPECT_EQ(list.names.at(list.names.size() - 1), "top.txt");
    for (const QString& name : list.names) {
        EXPECT_LT(dir.filePath(name).toUtf8().size(), 4096);
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
        names = row.input;
        FolderListing::sort(names);
        EXPECT_EQ(names, row.sorted) << qPrintable(names.join(" | "));
    }
}

// The fast sort puts names exactly where lessThan does, whatever they hold: letters with
// and without case, ß and ligatures, characters outside the basic plane, lone surrogates
// (undecodable bytes).
TEST(FolderListingOrder, FastSortAgreesWithLessThan) {
    const char16_t pool[] = {u'a',    u'A',    u'b',    u'Z',    u'_',    u'.',
                             u'0',    0x00e4,  0x00c4,  0x00df,  0x1e9e,  0xfb01,
                             0x03a3,  0x03c2,  0x0130,  0x0131,  0x00ff,  0xd801,
                             0xdc00,  0xd801,  0xdc28,  0xdce9,  0xffff,  0x212a};
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        QStringList names;
        for (int n = 0; n < 60; ++n) {
            QString name;
            for (int length = int(rng() % 6); length >= 0; --length) {
                name += QChar(pool[rng() % std::size(pool)]);
            }
            names << name;
        }
        QStringList expected = names;
        std::stable_sort(expected.begin(), expected.end(), &FolderListing::lessThan);
        FolderListing::sort(names);
        ASSERT_EQ(names, expected) << round;
    }
}

// Names far longer than the eight bytes compared first, alike up to their last letters
// or only in case, beside short ones: the compact sort still agrees with lessThan.
TEST(FolderListingOrder, LongNamesAlikeFarIntoThemAgreeWithLessThan) {
    const QString stem = QString(300, u'x');
    const QString accented = QString::fromUtf8("\u00e9t\u00e9 r\u00e9sum\u00e9 ");
    const QStringList rows[] = {
        {stem + "b", stem + "a", stem + "B", stem + "A", stem, "x", "X"},
        {accented + "2", accented + "10", accented.toUpper() + "2", accented, "\u00c9"},
        {"report.txt", "Report.txt", "report.TXT", "reports.txt", "report", "r\u00e9port.txt"},
        {"abcdefgh", "abcdefgh1", "ABCDEFGH", "abcdefg", "abcdefgi", "abcdefg\u00e4"},
        {},
        {"only.txt"},
    };
    for (const QStringList& input : rows) {
        QStringList expected = input;
        std::stable_sort(expected.begin(), expected.end(), &FolderListing::lessThan);
        NameList names(input);
        names.sort();
        EXPECT_EQ(names.toStringList(), expected) << qPrintable(input.join(" | "));
    }
}

// Every name comes back exactly as it went in, however it is made up, and the last part
// of a path is matched by its bytes.
TEST(FolderListingNames, NamesComeBackWhole) {
    const struct {
        QString name;
        bool isReport;  // its last part is tallix.txt
    } rows[] = {
        {"plain.txt", false},
        {held("caf\xe9.txt"), false},
        {held("sub/\xff\xfe/tallix.txt"), true},
        {QString::fromUtf8("\U0001F600 smile.txt"), false},
        {QString(QChar(0xd801)) + "lone high", false},
        {"ends in a lone low " + QString(QChar(0xdc28)), false},
        {QString(QChar(0xd801)), false},
        {QString(4000, u'n') + "/tallix.txt", true},
        {"tallix.txt", true},
        {"tallix.txt.old", false},
        {"Tallix.txt", false},
        {"dir/", false},
        {"", false},
    };
    NameList names;
    for (const auto& row : rows) {
        names.append(row.name);
    }
    ASSERT_EQ(names.size(), qsizetype(std::size(rows)));
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& name = rows[i].name;
        EXPECT_EQ(names.at(i), name) << qPrintable(FileName::display(name));
        EXPECT_EQ(names.lastPartEquals(i, QLatin1StringView("tallix.txt")), rows[i].isReport)
            << qPrintable(FileName::display(name));
    }
    EXPECT_TRUE(names.lastPartEquals(names.size() - 2, QLatin1StringView("")));
    EXPECT_TRUE(names.lastPartEquals(names.size() - 1, QLatin1StringView("")));
}

// A copy keeps its names whatever happens to the list it was copied from, and back.
TEST(FolderListingNames, CopiesAreIndependent) {
    NameList first{"b", "a"};
    const NameList copy = first;
    first.append(QStringLiteral("c"));
    first.sort();
    EXPECT_EQ(copy.toStringList(), (QStringList{"b", "a"}));
    EXPECT_EQ(first.toStringList(), (QStringList{"a", "b", "c"}));

    NameList prefixed;
    prefixed.append(copy, u"sub/");
    prefixed.append(copy);
    EXPECT_EQ(prefixed.toStringList(), (QStringList{"sub/b", "sub/a", "b", "a"}));
    EXPECT_FALSE(prefixed == copy);
    first.clear();
    EXPECT_TRUE(first.isEmpty());
    EXPECT_EQ(copy.size(), 2);
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
