#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

#include "count/FileCount.h"
#include "count/RuleCounter.h"
#include "platform/FileContentSource.h"

namespace quorvane {
namespace {

using Outcome = FileResult::Outcome;

// Plain files whose mapped bytes fail as those of a file that shrinks while it is counted.
class ShrinkingWhenMapped : public FileContentSource {
public:
    struct Shrunk : MappedBytes {
        bool visit(qint64, qint64, Take, void*) override { return false; }
    };
    std::unique_ptr<MappedBytes> mapAt(qint64, qint64) override {
        return std::make_unique<Shrunk>();
    }
};

// A source that waits on another process: every other read has nothing yet, and it can
// fail after some reads or never deliver at all.
class WaitingSource : public ContentSource {
public:
    bool open(const QString& path) override { return real.open(path); }
    qint64 read(char* buffer, qint64 size) override {
        ++reads;
        if (neverDelivers || reads % 2 == 1) {
            return kNotYet;
        }
        if (failAfterReads >= 0 && reads > failAfterReads) {
            return -1;
        }
        return real.read(buffer, size);
    }
    void close() override { real.close(); }
    QString errorString() const override { return QStringLiteral("Broken pipe"); }

    FileContentSource real;
    int reads = 0;
    int failAfterReads = -1;
    bool neverDelivers = false;
};

QByteArray words(qint64 count) {
    QByteArray bytes;
    bytes.reserve(count * 5);
    for (qint64 i = 0; i < count; ++i) {
        bytes += "word ";
    }
    return bytes;
}

class FileCountTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_EQ(f.write(bytes), bytes.size());
        return f.fileName();
    }

    QTemporaryDir dir;
};

// One whole file, however it is read and whatever happens to it meanwhile: the words,
// or why there are none, and every byte counted reported once.
TEST_F(FileCountTest, CountsOneWholeFile) {
    const qint64 kLarge = 140 * 1024;  // 700 KiB of words: long enough to be mapped
    enum class Source { Plain, ShrinksWhenMapped, Waiting, WaitingThenFails, NeverDelivers };
    const struct {
        const char* name;
        Source source;
        ReadMethod method;
        qint64 words;
        QByteArray appended;        // written after the file is opened
        qint64 truncatedTo;         // the size it is cut to after it is opened; -1: kept
        qint64 stopAfterBytes;      // -1: may always go on
        Outcome outcome;
        qint64 expectedWords;
        const char* reason;
    } rows[] = {
        {"small, buffers", Source::Plain, ReadMethod::Read, 2, {}, -1, -1, Outcome::Counted, 2,
         ""},
        {"empty", Source::Plain, ReadMethod::Map, 0, {}, -1, -1, Outcome::Counted, 0, ""},
        {"large, mapped", Source::Plain, ReadMethod::Map, kLarge, {}, -1, -1, Outcome::Counted,
         kLarge, ""},
        {"grown after mapping", Source::Plain, ReadMethod::Map, kLarge, "more words ", -1, -1,
         Outcome::Counted, kLarge + 2, ""},
        {"grown, buffers", Source::Plain, ReadMethod::Read, kLarge, "more words ", -1, -1,
         Outcome::Counted, kLarge + 2, ""},
        {"shrunk while mapped", Source::ShrinksWhenMapped, ReadMethod::Map, kLarge, {}, -1, -1,
         Outcome::Unreadable, 0, "the file changed while it was counted"},
        {"shrunk, not mapped when reading buffers", Source::ShrinksWhenMapped, ReadMethod::Read,
         kLarge, {}, -1, -1, Outcome::Counted, kLarge, ""},
        // A real cut: the mapped pages past the new end fault, and the fault is caught.
        {"shrunk after opening, mapped", Source::Plain, ReadMethod::Map, kLarge, {}, 100 * 1024,
         -1, Outcome::Unreadable, 0, "the file changed while it was counted"},
        {"shrunk after opening, read as it is now", Source::Plain, ReadMethod::Read, kLarge, {},
         100 * 1024, -1, Outcome::Counted, 100 * 1024 / 5, ""},
        {"nothing yet, then words", Source::Waiting, ReadMethod::Read, kLarge, {}, -1, -1,
         Outcome::Counted, kLarge, ""},
        {"nothing yet, then a failure", Source::WaitingThenFails, ReadMethod::Read, kLarge, {},
         -1, -1, Outcome::Unreadable, 0, "Broken pipe"},
        {"cancelled while nothing comes", Source::NeverDelivers, ReadMethod::Read, 2, {}, -1, 0,
         Outcome::Cancelled, 0, ""},
        {"cancelled after a buffer", Source::Plain, ReadMethod::Read, kLarge, {}, -1, 1,
         Outcome::Cancelled, 0, ""},
        {"cancelled after a mapped piece", Source::Plain, ReadMethod::Map, kLarge, {}, -1, 1,
         Outcome::Cancelled, 0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = write(QStringLiteral("f.txt"), words(row.words));
        std::unique_ptr<ContentSource> source;
        switch (row.source) {
            case Source::Plain:
                source = std::make_unique<FileContentSource>();
                break;
            case Source::ShrinksWhenMapped:
                source = std::make_unique<ShrinkingWhenMapped>();
                break;
            case Source::Waiting:
            case Source::WaitingThenFails:
            case Source::NeverDelivers: {
                auto waiting = std::make_unique<WaitingSource>();
                waiting->failAfterReads = row.source == Source::WaitingThenFails ? 4 : -1;
                waiting->neverDelivers = row.source == Source::NeverDelivers;
                source = std::move(waiting);
                break;
            }
        }
        qint64 counted = 0;
        // A source with nothing yet asks too, so that a count can stop while it waits.
        FileCount fileCount(WordRule::Classic, row.method, [&](qint64 bytes) {
            EXPECT_GE(bytes, 0);
            counted += bytes;
            return row.stopAfterBytes < 0 || counted < row.stopAfterBytes;
        });
        ASSERT_FALSE(fileCount.open(*source, path, FileIdentity()).has_value());
        if (!row.appended.isEmpty()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::Append));
            f.write(row.appended);
        }
        if (row.truncatedTo >= 0) {
            ASSERT_TRUE(QFile::resize(path, row.truncatedTo));
        }
        const FileResult result = fileCount.countOpened(*source);
        EXPECT_EQ(result.outcome, row.outcome);
        EXPECT_EQ(result.words, row.expectedWords);
        EXPECT_EQ(result.reason, QString::fromLatin1(row.reason));
        if (row.outcome == Outcome::Counted) {
            EXPECT_EQ(counted, row.truncatedTo >= 0 ? row.truncatedTo
                                                    : row.words * 5 + row.appended.size());
        }
        if (row.outcome == Outcome::Cancelled) {
            // Stopped at once: at most the piece in hand was counted.
            EXPECT_LE(counted, row.stopAfterBytes + 256 * 1024);
        }
    }
}

// Before anything is read: a file that cannot be opened, and the report listed under
// another name, are not counted; the report is closed again for the next file.
TEST_F(FileCountTest, RefusesWhatIsNotToBeCounted) {
    const QString report = write(QStringLiteral("report.txt"), "the report");
    const QString other = write(QStringLiteral("other.txt"), "three more words");
    FileContentSource probe;
    ASSERT_TRUE(probe.open(report));
    const FileIdentity reportIdentity = probe.identity();
    probe.close();

    FileContentSource source;
    FileCount fileCount(WordRule::Classic, ReadMethod::Read, [](qint64) { return true; });
    const FileResult missing =
        fileCount.countWhole(source, dir.filePath(QStringLiteral("missing.txt")), reportIdentity);
    EXPECT_EQ(missing.outcome, Outcome::Unreadable);
    EXPECT_FALSE(missing.reason.isEmpty());
    EXPECT_EQ(fileCount.countWhole(source, report, reportIdentity).outcome, Outcome::IsReport);
    const FileResult counted = fileCount.countWhole(source, other, reportIdentity);
    EXPECT_EQ(counted.outcome, Outcome::Counted);
    EXPECT_EQ(counted.words, 3);
}

// A file counted in parts, each begun where the rule allows, adds up to its whole count;
// a part that cannot be read to its end, or is cancelled, says so.
TEST_F(FileCountTest, PartsAddUpToTheWholeOrFail) {
    enum class Fault { None, PastTheEnd, Cancelled };
    const struct {
        const char* name;
        ReadMethod method;
        qint64 partSize;
        Fault fault;
        FileCount::PartOutcome outcome;
        const char* error;
    } rows[] = {
        {"small parts, too short to map", ReadMethod::Map, 3001, Fault::None,
         FileCount::PartOutcome::Fed, ""},
        {"large parts, mapped", ReadMethod::Map, 600 * 1024, Fault::None,
         FileCount::PartOutcome::Fed, ""},
        {"large parts, read", ReadMethod::Read, 600 * 1024, Fault::None,
         FileCount::PartOutcome::Fed, ""},
        {"shrunk before the last part", ReadMethod::Read, 600 * 1024, Fault::PastTheEnd,
         FileCount::PartOutcome::Failed, "the file changed while it was counted"},
        {"cancelled, mapped", ReadMethod::Map, 600 * 1024, Fault::Cancelled,
         FileCount::PartOutcome::Cancelled, ""},
        {"cancelled, read", ReadMethod::Read, 600 * 1024, Fault::Cancelled,
         FileCount::PartOutcome::Cancelled, ""},
    };
    QByteArray text = words(400 * 1024);
    text.replace(1000, 7, "a\tb\r\nc ");
    const QString path = write(QStringLiteral("big.txt"), text);
    RuleCounter whole(WordRule::Classic);
    whole.feed(text.constData(), std::size_t(text.size()));
    const qint64 wholeWords = whole.count();

    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FileContentSource file;
        ASSERT_TRUE(file.open(path));
        // Every part begins right where the rule allows one after its nominal start.
        std::vector<qint64> starts{0};
        for (qint64 nominal = row.partSize; nominal < text.size(); nominal += row.partSize) {
            const qint64 found = RuleCounter::partStartIn(
                WordRule::Classic, text.constData() + nominal,
                std::size_t(qMin<qint64>(64, text.size() - nominal)), nominal, text.left(4));
            if (found >= 0 && nominal + found < text.size()) {
                starts.push_back(nominal + found);
            }
        }
        starts.push_back(row.fault == Fault::PastTheEnd ? text.size() + 10 : text.size());
        ASSERT_GT(starts.size(), 2u);

        FileCount fileCount(WordRule::Classic, row.method,
                            [&](qint64) { return row.fault != Fault::Cancelled; });
        const QByteArrayView head(text.constData(), RuleCounter::kHeadSize);
        std::vector<RuleCounter::Part> parts;
        FileCount::PartOutcome worst = FileCount::PartOutcome::Fed;
        QString error;
        for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
            RuleCounter counter = i > 0 ? RuleCounter::forLaterPart(WordRule::Classic, head)
                                        : RuleCounter(WordRule::Classic);
            const FileCount::PartOutcome outcome =
                fileCount.feedPart(file, starts[i], starts[i + 1], counter, error);
            if (outcome != FileCount::PartOutcome::Fed) {
                worst = outcome;
                break;
            }
            parts.push_back(counter.part());
        }
        file.close();
        EXPECT_EQ(worst, row.outcome);
        EXPECT_EQ(error, QString::fromLatin1(row.error));
        if (row.outcome == FileCount::PartOutcome::Fed) {
            EXPECT_EQ(RuleCounter::combineParts(WordRule::Classic, parts), wholeWords);
        }
    }
}

}  // namespace
}  // namespace quorvane
