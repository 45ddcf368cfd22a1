#include "platform/FileBatch.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileContentSource.h"

namespace quorvane {
namespace {

int openDescriptors() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files).size());
}

class FileBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!batch.available()) {
            GTEST_SKIP() << "io_uring is not available here (disabled, or refused by a filter)";
        }
    }
    QString make(const QString& name, qint64 size) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes(size, 'w');
        if (size > 3) {
            bytes[3] = ' ';
        }
        EXPECT_EQ(f.write(bytes), size);
        return f.fileName();
    }
    QTemporaryDir dir;
    FileBatch batch;
};

// What a batch holds of each kind of entry: only plain files read whole; larger and
// empty plain files stay open for the caller; the rest is left to be opened as usual.
TEST_F(FileBatchTest, HoldsOnlyPlainFilesReadWhole) {
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const QString small = make(QStringLiteral("small"), 1600);
    ASSERT_TRUE(QFile::link(small, dir.filePath(QStringLiteral("link"))));
    const struct {
        QString path;
        bool held;
        bool handle;  // left open for the caller
        qint64 size;
    } rows[] = {
        {small, true, false, 1600},
        {make(QStringLiteral("full slot"), FileBatch::kSlotBytes), true, false,
         FileBatch::kSlotBytes},
        {make(QStringLiteral("one past"), FileBatch::kSlotBytes + 1), false, true, -1},
        {make(QStringLiteral("empty"), 0), false, true, -1},
        {dir.filePath(QStringLiteral("link")), true, false, 1600},
        {dir.filePath(QStringLiteral("missing")), false, false, -1},
        {QFile::decodeName(fifo), false, false, -1},
        {dir.filePath(QStringLiteral("folder")), false, false, -1},
        // Says it is empty and is not: read as usual, to its real end.
        {QStringLiteral("/proc/self/status"), false, true, -1},
    };
    QList<QString> paths;
    for (const auto& row : rows) {
        paths.append(row.path);
    }
    const int before = openDescriptors();
    batch.read(paths);
    ASSERT_EQ(batch.size(), static_cast<qsizetype>(std::size(rows)));
    for (qsizetype i = 0; i < batch.size(); ++i) {
        const auto& row = rows[i];
        const FileBatch::File& file = batch.file(i);
        EXPECT_EQ(file.held, row.held) << qPrintable(row.path);
        if (row.held) {
            QFile f(row.path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.bytes.size(), row.size);
            EXPECT_EQ(file.bytes.toByteArray(), f.readAll()) << qPrintable(row.path);
            FileContentSource source;
            ASSERT_TRUE(source.open(row.path));
            EXPECT_TRUE(file.identity.sameFileAs(source.identity())) << qPrintable(row.path);
        }
        const qintptr handle = batch.takeHandle(i);
        EXPECT_EQ(handle >= 0, row.handle) << qPrintable(row.path);
        if (handle >= 0) {
            FileContentSource source;
            EXPECT_TRUE(source.adopt(handle)) << qPrintable(row.path);
            EXPECT_TRUE(source.identity().valid);
        }
        EXPECT_EQ(batch.takeHandle(i), -1) << "a handle is given once";
    }
    EXPECT_EQ(openDescriptors(), before);
}

// Handles nobody took are closed by the next batch and by the batch's end; only the
// first kFiles paths are read.
TEST_F(FileBatchTest, ClosesWhatIsNotTakenAndReadsAtMostARun) {
    const QString large = make(QStringLiteral("large"), FileBatch::kSlotBytes * 2);
    const int before = openDescriptors();
    QList<QString> paths;
    for (int i = 0; i < FileBatch::kFiles + 5; ++i) {
        paths.append(large);
    }
    batch.read(paths);
    EXPECT_EQ(batch.size(), FileBatch::kFiles);
    EXPECT_EQ(openDescriptors(), before + FileBatch::kFiles);
    batch.read({make(QStringLiteral("small"), 10), make(QStringLiteral("other"), 20)});
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_TRUE(batch.file(0).held);
    EXPECT_EQ(batch.file(1).bytes.size(), 20);
    batch.read(paths);
    {
        FileBatch second;
        second.read(paths);
        // and the second batch's own ring
        EXPECT_EQ(openDescriptors(), before + 2 * FileBatch::kFiles + 1);
    }
    batch.read({});
    EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
}  // namespace quorvane
