#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "count/CountJob.h"
#include "count/FileWarnings.h"

namespace quorvane {
namespace {


struct HeadRow {
    const char* what;
    QByteArray head;
    FileWarnings expected;
};

TEST(FileWarnings, FirstBytesTellTheEncodingOrBinary) {
    const QByteArray utf8Text = QByteArray("plain words\n").repeated(400);
    const HeadRow rows[] = {
        {"UTF-16LE without a mark", QByteArray("H\0i\0 \0y\0o\0u\0", 12), FileWarning::Utf16Text},
        {"UTF-16BE without a mark", QByteArray("\0H\0i\0 \0y\0o\0u", 12), FileWarning::Utf16Text},
        {"UTF-16LE marked", QByteArray("\xFF\xFEH\0i\0", 6), FileWarning::Utf16Text},
        {"UTF-16BE marked", QByteArray("\xFE\xFF\0H\0i", 6), FileWarning::Utf16Text},
        // Cyrillic in UTF-16 has no zero byte: only the mark tells it.
        {"UTF-16LE marked, no zero", QByteArray("\xFF\xFE\x1F\x04\x40\x04"), FileWarning::Utf16Text},
        {"UTF-32LE marked", QByteArray("\xFF\xFE\0\0H\0\0\0i\0\0\0", 12), FileWarning::Utf32Text},
        {"UTF-32BE marked", QByteArray("\0\0\xFE\xFF\0\0\0H", 8), FileWarning::Utf32Text},
        {"UTF-32LE without a mark", QByteArray("H\0\0\0i\0\0\0", 8), FileWarning::Utf32Text},
        {"a zero byte", QByteArray("ab\0cd", 5), FileWarning::Binary},
        {"only zero bytes", QByteArray(64, '\0'), FileWarning::Binary},
        {"UTF-16 broken by a byte", QByteArray("H\0i\0!!y\0", 8), FileWarning::Binary},
        {"plain text", utf8Text, {}},
        {"UTF-8 marked", "\xEF\xBB\xBF" + utf8Text, {}},
        {"nothing", QByteArray(), {}},
        {"a zero byte past the head", utf8Text + QByteArray(1, '\0'), {}},
    };
    ASSERT_GT(utf8Text.size(), kWarningHeadSize);
    for (const HeadRow& row : rows) {
        EXPECT_EQ(warningsFor(row.head), row.expected) << row.what;
    }
}

// Whichever way a file is read (buffers, mapped, in parts), its first bytes are looked at
// once, under the classic rule only, and the count is what it was.
TEST(FileWarnings, EveryWayOfReadingLooksAtTheHead) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Large enough to be mapped, and split at small part sizes.
    const QByteArray utf16 = QByteArray("w\0o\0r\0d\0 \0", 10).repeated(120000);
    const QByteArray plain = QByteArray("word ").repeated(120000);
    for (const auto& [name, content] : {std::pair{"utf16.txt", utf16}, {"plain.txt", plain}}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
    }
    struct Row {
        const char* what;
        int threads;
        qint64 partSize;
        WordRule rule;
        bool warned;
    };
    const Row rows[] = {
        {"in sequence", 1, 0, WordRule::Classic, true},
        {"mapped whole", 2, 0, WordRule::Classic, true},
        {"in parts", 2, 64 * 1024, WordRule::Classic, true},
        {"in parts, Unicode rule", 2, 64 * 1024, WordRule::Unicode, false},
        {"in sequence, Unicode rule", 1, 0, WordRule::Unicode, false},
    };
    for (const Row& row : rows) {
        CountRequest request;
        request.folder = dir.path();
        request.entries = {QStringLiteral("plain.txt"), QStringLiteral("utf16.txt")};
        request.options = [] { return ReportOptions{}; };
        request.letterCase = [] { return LetterCase::Untouched; };
        request.rule = row.rule;
        request.keepEntries = true;
        CountParts parts;
        parts.threads = row.threads;
        parts.partSize = row.partSize;
        const CountResult result = CountJob(request, parts).run();
        ASSERT_EQ(result.outcome, CountResult::Outcome::Completed) << row.what;
        ASSERT_EQ(result.counted.size(), 2) << row.what;
        EXPECT_EQ(result.counted[0].words, 120000) << row.what;
        EXPECT_EQ(result.counted[1].words, 120000) << row.what;
        EXPECT_FALSE(result.counted[0].warnings) << row.what;
        if (row.warned) {
            EXPECT_EQ(result.counted[1].warnings, FileWarning::Utf16Text) << row.what;
            ASSERT_EQ(result.warned.size(), 1) << row.what;
            EXPECT_EQ(result.warned[0].name, QStringLiteral("utf16.txt")) << row.what;
        } else {
            EXPECT_TRUE(result.warned.isEmpty()) << row.what;
        }
    }
}

}  // namespace
}  // namespace quorvane
