#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace quorvane {
namespace {

struct CounterRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CounterRun runCounter(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(QUORVANE_COUNT_BIN), arguments);
    CounterRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QByteArray fixture(const QString& name) {
    QFile file(QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() +
               QStringLiteral("/../data/documents/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct WarningRow {
    const char* name;
    QByteArray content;
    QStringList options;
    qint64 words;
    const char* warning;  // empty for none
    bool needsDocuments = false;
};

// Each file alone in a folder, counted to standard output: the report is the one it
// always was, the exit status says all was counted, and the warning (if any) is on
// standard error unless --quiet, and in the JSON report either way.
TEST(CliWarnings, FilesThatMayNotCountAsExpectedAreNamed) {
    const QStringList unicode = {QStringLiteral("--rule"), QStringLiteral("unicode")};
    const QStringList documents = {QStringLiteral("--document-text")};
    const char* const utf16 = "looks like UTF-16 text; --rule unicode reads it";
    const WarningRow rows[] = {
        {"le.txt", QByteArray("H\0i\0 \0y\0o\0u\0", 12), {}, 2, utf16},
        {"be.txt", QByteArray("\0H\0i\0 \0y\0o\0u", 12), {}, 2, utf16},
        {"le-mark.txt", QByteArray("\xFF\xFEH\0i\0 \0y\0o\0u\0", 14), {}, 2, utf16},
        {"be-mark.txt", QByteArray("\xFE\xFF\0H\0i\0 \0y\0o\0u", 14), {}, 2, utf16},
        {"wide.txt", QByteArray("\xFF\xFE\0\0H\0\0\0i\0\0\0 \0\0\0y\0\0\0", 20), {}, 2,
         "looks like UTF-32 text; --rule unicode reads it"},
        {"blob.dat", QByteArray("ab\0cd", 5), {}, 1, "looks like a binary file"},
        {"plain.txt", QByteArray("hello world\n"), {}, 2, ""},
        {"le-mark.txt", QByteArray("\xFF\xFEH\0i\0 \0y\0o\0u\0", 14), unicode, 2, ""},
        {"scanned.pdf", fixture(QStringLiteral("scanned.pdf")), documents, 0,
         "no text layer (a scanned image?)", true},
    };
    for (const WarningRow& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needsDocuments && !QUORVANE_READS_DOCUMENTS) {
            continue;  // this build counts documents by their bytes
        }
        ASSERT_FALSE(row.content.isEmpty());
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        QFile file(dir.filePath(QString::fromLatin1(row.name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(row.content), row.content.size());
        file.close();

        const QStringList base =
            QStringList{dir.path(), QStringLiteral("--output"), QStringLiteral("-")} + row.options;
        const QByteArray report = QByteArray(row.name) + " (" + QByteArray::number(row.words) +
                                  " Words)\r\n\r\nTotal Words: " +
                                  QByteArray::number(row.words) + "\r\n";
        const QByteArray warned = *row.warning == '\0'
                                      ? QByteArray()
                                      : "quorvane-count: warning: " + QByteArray(row.name) +
                                            ": " + row.warning + "\n";
        const CounterRun loud = runCounter(base);
        EXPECT_EQ(loud.exitCode, 0);
        EXPECT_EQ(loud.out, report);
        EXPECT_EQ(loud.err, warned);

        const CounterRun quiet = runCounter(base + QStringList{QStringLiteral("--quiet")});
        EXPECT_EQ(quiet.exitCode, 0);
        EXPECT_EQ(quiet.out, report);
        EXPECT_EQ(quiet.err, QByteArray());

        const CounterRun json = runCounter(
            base + QStringList{QStringLiteral("--quiet"), QStringLiteral("--format=json")});
        EXPECT_EQ(json.exitCode, 0);
        const QJsonObject entry =
            QJsonDocument::fromJson(json.out).object()[u"files"].toArray()[0].toObject();
        EXPECT_EQ(entry[u"words"].toInteger(), row.words);
        if (warned.isEmpty()) {
            EXPECT_FALSE(entry.contains(u"warnings"));
        } else {
            EXPECT_EQ(entry[u"warnings"].toArray(), QJsonArray{QString::fromUtf8(row.warning)});
        }
    }
}

}  // namespace
}  // namespace quorvane

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
