#include <gtest/gtest.h>

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <functional>
#include <memory>

#include "QuorvaneVersion.h"
#include "count/CsvReportFormat.h"
#include "count/JsonReportFormat.h"
#include "count/TextReportFormat.h"
#include "platform/FileName.h"

namespace quorvane {
namespace {

QDateTime at(int offsetSeconds) {
    return QDateTime(QDate(2007, 10, 24), QTime(14, 3, 5), QTimeZone(offsetSeconds));
}

ReportEntry entryOf(qint64 index, const QString& name, const QString& path, qint64 words,
                    const QDateTime& created) {
    ReportEntry entry;
    entry.index = index;
    entry.name = name;
    entry.relativePath = path;
    entry.words = words;
    entry.created = created;
    return entry;
}

struct FormatRow {
    const char* label;
    ReportEntry entry;
    QByteArray csv;   // the row, without its line end
    QByteArray tsv;
    QByteArray json;  // the file's object
};

const QString kHeldName = FileName::fromNative("caf\xe9.txt");

// clang-format off
const FormatRow kRows[] = {
    {"plain", entryOf(0, "a.txt", "a.txt", 3, at(7200)),
     "1,a.txt,a.txt,3,2007-10-24T14:03:05+02:00",
     "1\ta.txt\ta.txt\t3\t2007-10-24T14:03:05+02:00",
     R"({"index": 1, "name": "a.txt", "path": "a.txt", "words": 3, "created": "2007-10-24T14:03:05+02:00"})"},
    {"comma_and_negative_offset", entryOf(4, "x,y.txt", "x,y.txt", 0, at(-19800)),
     "5,\"x,y.txt\",\"x,y.txt\",0,2007-10-24T14:03:05-05:30",
     "5\tx,y.txt\tx,y.txt\t0\t2007-10-24T14:03:05-05:30",
     R"({"index": 5, "name": "x,y.txt", "path": "x,y.txt", "words": 0, "created": "2007-10-24T14:03:05-05:30"})"},
    {"quotes", entryOf(1, "say \"hi\".txt", "say \"hi\".txt", 7, at(0)),
     "2,\"say \"\"hi\"\".txt\",\"say \"\"hi\"\".txt\",7,2007-10-24T14:03:05+00:00",
     "2\tsay \"hi\".txt\tsay \"hi\".txt\t7\t2007-10-24T14:03:05+00:00",
     R"({"index": 2, "name": "say \"hi\".txt", "path": "say \"hi\".txt", "words": 7, "created": "2007-10-24T14:03:05+00:00"})"},
    {"line_breaks", entryOf(2, "two\nlines\r.txt", "two\nlines\r.txt", 1, QDateTime()),
     "3,\"two\nlines\r.txt\",\"two\nlines\r.txt\",1,",
     "3\ttwo?lines?.txt\ttwo?lines?.txt\t1\t",
     R"({"index": 3, "name": "two\nlines\r.txt", "path": "two\nlines\r.txt", "words": 1, "created": null})"},
    {"tab_and_controls", entryOf(3, "tab\there\\\x01.txt", "tab\there\\\x01.txt", 2, QDateTime()),
     "4,tab\there\\\x01.txt,tab\there\\\x01.txt,2,",
     "4\ttab?here\\?.txt\ttab?here\\?.txt\t2\t",
     R"({"index": 4, "name": "tab\there\\\u0001.txt", "path": "tab\there\\\u0001.txt", "words": 2, "created": null})"},
    {"unicode", entryOf(9, QStringLiteral("café 我\u2028.txt"), QStringLiteral("café 我\u2028.txt"), 12, QDateTime()),
     "10,caf\xc3\xa9 \xe6\x88\x91\xe2\x80\xa8.txt,caf\xc3\xa9 \xe6\x88\x91\xe2\x80\xa8.txt,12,",
     "10\tcaf\xc3\xa9 \xe6\x88\x91?.txt\tcaf\xc3\xa9 \xe6\x88\x91?.txt\t12\t",
     "{\"index\": 10, \"name\": \"caf\xc3\xa9 \xe6\x88\x91\\u2028.txt\", \"path\": \"caf\xc3\xa9 \xe6\x88\x91\\u2028.txt\", \"words\": 12, \"created\": null}"},
    {"undecodable_bytes", entryOf(0, kHeldName, "sub/" + kHeldName, 5, QDateTime()),
     "1,caf\xef\xbf\xbd.txt,sub/caf\xef\xbf\xbd.txt,5,",
     "1\tcaf\xef\xbf\xbd.txt\tsub/caf\xef\xbf\xbd.txt\t5\t",
     "{\"index\": 1, \"name\": \"caf\xef\xbf\xbd.txt\", \"path\": \"sub/caf\xef\xbf\xbd.txt\", \"words\": 5, \"created\": null}"},
    {"subfolder_with_comma", entryOf(6, "b.txt", "one,two/b.txt", 9000000000LL, QDateTime()),
     "7,b.txt,\"one,two/b.txt\",9000000000,",
     "7\tb.txt\tone,two/b.txt\t9000000000\t",
     R"({"index": 7, "name": "b.txt", "path": "one,two/b.txt", "words": 9000000000, "created": null})"},
};
// clang-format on

// Runs one format over entries on a buffer; the bytes, or "<failed: reason>".
QByteArray written(ReportFormat& format, const QList<ReportEntry>& entries,
                   const ReportSummary& summary = {}) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    bool ok = format.begin(buffer);
    for (const ReportEntry& entry : entries) {
        ok = ok && format.entry(entry);
    }
    ok = ok && format.end(summary);
    return ok ? buffer.data() : "<failed: " + format.errorString().toUtf8() + ">";
}

JsonReportFormat::About kAbout{QStringLiteral("/home/ann/books"), QStringLiteral("*.txt"),
                               WordRule::Classic, false};

class FormatRows : public ::testing::TestWithParam<FormatRow> {};

TEST_P(FormatRows, OneFileInEachFormat) {
    const FormatRow& row = GetParam();
    CsvReportFormat csv;
    EXPECT_EQ(written(csv, {row.entry}), "index,name,path,words,created\r\n" + row.csv + "\r\n");
    CsvReportFormat tsv(CsvReportFormat::Separator::Tab);
    EXPECT_EQ(written(tsv, {row.entry}),
              "index\tname\tpath\twords\tcreated\r\n" + row.tsv + "\r\n");
    JsonReportFormat json(kAbout);
    EXPECT_EQ(written(json, {row.entry}, {row.entry.words, {}}),
              "{\n  \"version\": \"" + QByteArray(version::kText) +
                  "\",\n  \"folder\": \"/home/ann/books\",\n  \"pattern\": \"*.txt\",\n"
                  "  \"rule\": \"classic\",\n  \"documentText\": false,\n  \"files\": [\n    " +
                  row.json + "\n  ],\n  \"total\": " + QByteArray::number(row.entry.words) +
                  ",\n  \"notCounted\": []\n}\n");
}

INSTANTIATE_TEST_SUITE_P(Rows, FormatRows, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.label); });

// What a reader of JSON gets back: every file, as shown, and the count as a whole.
TEST(JsonReport, ParsesBackWithEveryFile) {
    QList<ReportEntry> entries;
    qint64 total = 0;
    for (const FormatRow& row : kRows) {
        entries << row.entry;
        total += row.entry.words;
    }
    const QList<NotCounted> notCounted = {{"locked \"x\".txt", "Permission denied"},
                                          {"sub/" + kHeldName, "Input/output error"}};
    JsonReportFormat json({"/home/ann/" + kHeldName, "*.txt;*.md", WordRule::Unicode, true});
    const QByteArray bytes = written(json, entries, {total, notCounted});
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << qPrintable(error.errorString());
    const QJsonObject report = document.object();
    EXPECT_EQ(report["version"].toString(), QString::fromLatin1(version::kText));
    EXPECT_EQ(report["folder"].toString(), QStringLiteral("/home/ann/caf\uFFFD.txt"));
    EXPECT_EQ(report["pattern"].toString(), "*.txt;*.md");
    EXPECT_EQ(report["rule"].toString(), "unicode");
    EXPECT_EQ(report["documentText"].toBool(false), true);
    EXPECT_EQ(report["total"].toInteger(), total);
    const QJsonArray files = report["files"].toArray();
    ASSERT_EQ(files.size(), entries.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        const ReportEntry& entry = entries[i];
        const QJsonObject file = files[i].toObject();
        SCOPED_TRACE(kRows[i].label);
        EXPECT_EQ(file["index"].toInteger(), entry.index + 1);
        EXPECT_EQ(file["name"].toString(), FileName::display(entry.name));
        EXPECT_EQ(file["path"].toString(), FileName::display(entry.relativePath));
        EXPECT_EQ(file["words"].toInteger(), entry.words);
        if (entry.created.isValid()) {
            EXPECT_EQ(QDateTime::fromString(file["created"].toString(), Qt::ISODate),
                      entry.created);
        } else {
            EXPECT_TRUE(file["created"].isNull());
        }
    }
    const QJsonArray failed = report["notCounted"].toArray();
    ASSERT_EQ(failed.size(), 2);
    EXPECT_EQ(failed[0].toObject()["name"].toString(), "locked \"x\".txt");
    EXPECT_EQ(failed[1].toObject()["name"].toString(), QStringLiteral("sub/caf\uFFFD.txt"));
    EXPECT_EQ(failed[1].toObject()["reason"].toString(), "Input/output error");
}

TEST(JsonReport, NoFilesIsStillOneObject) {
    JsonReportFormat json(kAbout);
    const QByteArray bytes = written(json, {});
    EXPECT_TRUE(bytes.contains("\"files\": [],\n  \"total\": 0,\n  \"notCounted\": []\n}\n"));
    EXPECT_TRUE(QJsonDocument::fromJson(bytes).isObject());
}

// A device that takes a given number of bytes, then fails as a full disk does.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override {
        if (taken_ + size > room_) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        taken_ += size;
        return size;
    }

private:
    qint64 room_;
    qint64 taken_ = 0;
};

// Wherever the disk fills up, the format says so at that step, with the device's reason.
TEST(ReportFormats, AFailingDeviceFailsTheStepThatHitIt) {
    const std::function<std::unique_ptr<ReportFormat>()> makers[] = {
        [] { return std::make_unique<CsvReportFormat>(); },
        [] { return std::make_unique<CsvReportFormat>(CsvReportFormat::Separator::Tab); },
        [] { return std::make_unique<JsonReportFormat>(kAbout); },
        [] { return std::make_unique<TextReportFormat>(nullptr, nullptr); },
    };
    const QList<ReportEntry> entries = {kRows[0].entry, kRows[1].entry, kRows[2].entry};
    for (const auto& make : makers) {
        // The whole report's size, found on a device with room enough.
        qint64 size = 0;
        {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            auto format = make();
            ASSERT_TRUE(format->begin(buffer));
            for (const ReportEntry& entry : entries) {
                ASSERT_TRUE(format->entry(entry));
            }
            ASSERT_TRUE(format->end({10, {{"x", "y"}}}));
            size = buffer.size();
        }
        for (qint64 room = 0; room < size; ++room) {
            FailingDevice device(room);
            auto format = make();
            bool ok = format->begin(device);
            for (const ReportEntry& entry : entries) {
                ok = ok && format->entry(entry);
            }
            ok = ok && format->end({10, {{"x", "y"}}});
            ASSERT_FALSE(ok) << "room " << room;
            EXPECT_EQ(format->errorString(), "No space left on device") << "room " << room;
        }
    }
}

}  // namespace
}  // namespace quorvane
