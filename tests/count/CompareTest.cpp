#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>

#include <optional>

#include "count/ComparedFormat.h"
#include "count/CsvReportFormat.h"
#include "count/EarlierFiles.h"
#include "count/EarlierReport.h"
#include "count/JsonReportFormat.h"
#include "count/ReportLine.h"
#include "count/SubtotalFormat.h"
#include "count/TeeReportFormat.h"
#include "count/TextReportFormat.h"

namespace quorvane {
namespace {

ReportEntry entryAt(qint64 index, const QString& path, qint64 words) {
    ReportEntry entry;
    entry.index = index;
    entry.name = path.mid(path.lastIndexOf(u'/') + 1);
    entry.relativePath = path;
    entry.words = words;
    return entry;
}

// Runs a layout over entries on a buffer; the bytes, or "<failed: reason>".
QByteArray written(ReportFormat& format, const QList<ReportEntry>& entries) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    bool ok = format.begin(buffer);
    qint64 total = 0;
    for (const ReportEntry& entry : entries) {
        ok = ok && format.entry(entry);
        total += entry.words;
    }
    ok = ok && format.end({total, {}});
    return ok ? buffer.data() : "<failed: " + format.errorString().toUtf8() + ">";
}

const QDateTime kEarlierDate(QDate(2026, 3, 1), QTime(9, 30), QTimeZone(3600));

QByteArray earlierJson(const QByteArray& files, const QByteArray& extra = "") {
    return R"({"version": "1.0.0", "folder": "/books", "pattern": "*.*", "rule": "classic",
               "documentText": false, "written": "2026-03-01T09:30:00+01:00", "files": [)" +
           files + R"(], "total": 0, "notCounted": [])" + extra + "}";
}

EarlierReport earlierOf(const QList<std::pair<QString, qint64>>& files) {
    EarlierReport earlier;
    earlier.written = kEarlierDate;
    for (const auto& [path, words] : files) {
        earlier.files.append({path.mid(path.lastIndexOf(u'/') + 1), path, words});
        earlier.total += words;
    }
    return earlier;
}

// Reading an earlier report: a whole one, and each way one can be something else.
TEST(EarlierReport, ReadsOnlyWholeReports) {
    const QDateTime modified(QDate(2026, 2, 2), QTime(8, 0), QTimeZone(0));
    const struct {
        const char* label;
        QByteArray bytes;
        const char* error;  // empty: read
    } rows[] = {
        {"whole", earlierJson(R"({"path": "a.txt", "words": 4}, {"path": "s/b.txt", "words": 0})"),
         ""},
        {"not_json", "Total Words: 12\r\n", "not JSON"},
        {"cut_short", earlierJson("").left(60), "not JSON"},
        {"array", "[1, 2]", "not a JSON report of quorvane-count"},
        {"other_object", R"({"name": "a.txt", "files": 3})", "not a JSON report of quorvane-count"},
        {"file_without_words", earlierJson(R"({"path": "a.txt"})"), "a damaged report: file 1"},
        {"negative_words", earlierJson(R"({"path": "a.txt", "words": -2})"),
         "a damaged report: file 1"},
        {"fraction", earlierJson(R"({"path": "a.txt", "words": 1}, {"path": "b", "words": 1.5})"),
         "a damaged report: file 2"},
        {"no_rule", QByteArray(earlierJson("")).replace("\"rule\": \"classic\",", ""),
         "a damaged report: it names no word rule"},
        {"no_total", QByteArray(earlierJson("")).replace("\"total\": 0,", ""),
         "a damaged report: it has no total"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        QString error;
        const std::optional<EarlierReport> report =
            EarlierReport::parse(row.bytes, modified, error);
        if (*row.error == '\0') {
            ASSERT_TRUE(report.has_value()) << qPrintable(error);
            ASSERT_EQ(report->files.size(), 2);
            EXPECT_EQ(report->files[1].path, "s/b.txt");
            EXPECT_EQ(report->files[0].previous, 4);
            EXPECT_EQ(report->written, kEarlierDate);
        } else {
            EXPECT_FALSE(report.has_value());
            EXPECT_TRUE(error.startsWith(QLatin1String(row.error))) << qPrintable(error);
        }
    }
}

// A report as this program writes it is read line by line; the files must come out as a
// JSON reader sees them, whatever their names hold, and a fault in any line still fails.
TEST(EarlierReport, OwnLayoutReadsAsAnyJson) {
    const QList<ReportEntry> entries = {
        entryAt(0, "plain.txt", 3), entryAt(1, QStringLiteral("sub/caf\u00e9 \"q\".txt"), 5),
        entryAt(2, "tab\there/back\\slash.txt", 0), entryAt(3, "x\", \"path\": \"y.txt", 7),
        entryAt(4, QStringLiteral("\u6211/\u2028.txt"), 9000000000LL)};
    JsonReportFormat json({"/books", "*.*", WordRule::Unicode, true, kEarlierDate, true});
    SubtotalFormat subtotals(json);
    const EarlierReport earlier = earlierOf({{"plain.txt", 1}, {"old.txt", 2}});
    ComparedFormat compared(subtotals, earlier);
    const QByteArray own = written(compared, entries);
    const QByteArray compact = QJsonDocument::fromJson(own).toJson(QJsonDocument::Compact);
    ASSERT_FALSE(compact.isEmpty());
    QString error;
    const std::optional<EarlierReport> quick = EarlierReport::parse(own, {}, error);
    const std::optional<EarlierReport> full = EarlierReport::parse(compact, {}, error);
    ASSERT_TRUE(quick.has_value() && full.has_value()) << qPrintable(error);
    ASSERT_EQ(quick->files.size(), entries.size());
    ASSERT_EQ(full->files.size(), entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(quick->files[i].path, full->files[i].path);
        EXPECT_EQ(quick->files[i].path, entries[i].relativePath);
        EXPECT_EQ(quick->files[i].previous, entries[i].words);
    }
    EXPECT_EQ(quick->rule, WordRule::Unicode);
    EXPECT_TRUE(quick->documentText);
    EXPECT_EQ(quick->written, kEarlierDate);

    const struct {
        const char* label;
        QByteArray from;
        QByteArray to;
    } faults[] = {
        {"comma_lost", "\"created\": null},\n", "\"created\": null}\n"},
        {"words_lost", "\"words\": 3", "\"word\": 3"},
        {"cut_line", "\"path\": \"plain.txt\", \"words\": 3, \"created\": null",
         "\"path\": \"plain.txt\", \"wo"},
        {"tail_lost", "\"notCounted\": []\n}", "\"notCounted\": ["},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.label);
        QByteArray damaged = own;
        ASSERT_TRUE(damaged.contains(fault.from));
        damaged.replace(fault.from, fault.to);
        EXPECT_FALSE(EarlierReport::parse(damaged, {}, error).has_value());
    }
}

// Lists in this program's own layout, a file to a line, but put together by hand: each
// reads as a JSON reader reads it, or fails where that fails.
TEST(EarlierReport, HandMadeListsInOwnLayout) {
    const QByteArray head = "{\n  \"version\": \"1.0.0\",\n  \"folder\": \"/books\",\n"
                            "  \"rule\": \"classic\",\n  \"documentText\": false,\n"
                            "  \"files\": [\n";
    const QByteArray tail = "\n  \"total\": 3,\n  \"notCounted\": [\n    \"x\"\n  ]\n}\n";
    const QByteArray a = R"(    {"index": 1, "name": "a", "path": "a", "words": 1})";
    const QByteArray b = R"(    {"path": "s/b", "words": 2})";
    const struct {
        const char* label;
        QByteArray list;
        qsizetype files;  // -1: not a report
    } rows[] = {
        {"empty", "  ],", 0},
        {"one", a + "\n  ],", 1},
        {"two_shapes", a + ",\n" + b + "\n  ],", 2},
        {"comma_after_last", a + ",\n  ],", -1},
        {"comma_missing", a + "\n" + b + "\n  ],", -1},
        {"never_closed", a + ",", -1},
        {"closed_indented_otherwise", a + "\n   ],", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const QByteArray bytes = head + row.list + tail;
        QString error;
        const std::optional<EarlierReport> report = EarlierReport::parse(bytes, {}, error);
        EXPECT_EQ(QJsonDocument::fromJson(bytes).isObject(), row.files >= 0);
        if (row.files < 0) {
            EXPECT_FALSE(report.has_value());
            continue;
        }
        ASSERT_TRUE(report.has_value()) << qPrintable(error);
        ASSERT_EQ(report->files.size(), row.files);
        EXPECT_EQ(report->total, 3);
        if (row.files == 2) {
            EXPECT_EQ(report->files[1].path, "s/b");
            EXPECT_EQ(report->files[1].previous, 2);
        }
    }
}

// A report without its own date is dated by its file; settings that differ are named.
TEST(EarlierReport, DateAndSettings) {
    const QDateTime modified(QDate(2026, 2, 2), QTime(8, 0), QTimeZone(0));
    QString error;
    const std::optional<EarlierReport> undated = EarlierReport::parse(
        QByteArray(earlierJson("")).replace("\"written\": \"2026-03-01T09:30:00+01:00\",", ""),
        modified, error);
    ASSERT_TRUE(undated.has_value()) << qPrintable(error);
    EXPECT_FALSE(undated->writtenKnown);
    EXPECT_EQ(undated->written, modified);

    const struct {
        WordRule rule;
        bool documentText;
        const char* says;  // empty: comparable
    } rows[] = {
        {WordRule::Classic, false, ""},
        {WordRule::Unicode, false, "--rule classic, this run with --rule unicode"},
        {WordRule::Classic, true, "without --document-text, this run with it"},
        {WordRule::Unicode, true, "--rule classic"},
    };
    for (const auto& row : rows) {
        const QString mismatch = undated->mismatch(row.rule, row.documentText);
        EXPECT_EQ(mismatch.isEmpty(), *row.says == '\0') << qPrintable(mismatch);
        EXPECT_TRUE(mismatch.contains(QLatin1String(row.says))) << qPrintable(mismatch);
    }
}

// Paths are kept in one block: each must come back as it went in, and match only itself,
// its neighbours in the block and its look-alikes not.
TEST(EarlierFiles, PathsComeBackAsTheyWent) {
    const struct {
        const char* label;
        QString path;
        QString name;       // as the report gave it
        QString shown;      // the name of the file once gone
        QString lookAlike;  // a path that must not match
    } rows[] = {
        {"ascii", "a/b.txt", "", "b.txt", "a/b.tx"},
        {"prefix_of_next", "a", "a", "a", "ab"},
        {"next_has_prefix", "ab", "", "ab", "a"},
        {"accent", QStringLiteral("caf\u00e9/\u00c9t\u00e9.txt"), "",
         QStringLiteral("\u00c9t\u00e9.txt"), QStringLiteral("cafe\u0301/\u00c9t\u00e9.txt")},
        {"cjk", QStringLiteral("\u6211/\u4f60.txt"), "", QStringLiteral("\u4f60.txt"),
         QStringLiteral("\u6211/\u4f60.tx")},
        {"pair", QStringLiteral("\U0001F600.txt"), "", QStringLiteral("\U0001F600.txt"),
         QStringLiteral("\uFFFD.txt")},
        {"lone_high", QString::fromUtf16(u"x\xd83d.txt"), "", QString::fromUtf16(u"x\xd83d.txt"),
         QStringLiteral("x\uFFFD.txt")},
        {"lone_low", QString::fromUtf16(u"s/\xdc80"), "", QString::fromUtf16(u"\xdc80"),
         QStringLiteral("s/\uFFFD")},
        {"high_then_high", QString::fromUtf16(u"\xd83d\xd83d\xde00"), "",
         QString::fromUtf16(u"\xd83d\xd83d\xde00"), QStringLiteral("\U0001F600")},
        {"own_name", "d/e.txt", "shown name", "shown name", "d/e"},
        {"name_is_last_part", "d/f.txt", "f.txt", "f.txt", "f.txt"},
    };
    EarlierFiles files;
    for (const auto& row : rows) {
        files.append({row.name, row.path, 7});
    }
    QByteArray form;
    QString reused = QStringLiteral("a longer string than any path here, to be reused");
    for (qsizetype i = 0; i < files.size(); ++i) {
        const auto& row = rows[i];
        SCOPED_TRACE(row.label);
        EXPECT_EQ(files.path(i), row.path);
        files.pathInto(i, reused);
        EXPECT_EQ(reused, row.path);
        const GoneFile gone = files.at(i);
        EXPECT_EQ(gone.path, row.path);
        EXPECT_EQ(gone.name, row.shown);
        EXPECT_EQ(gone.previous, 7);
        EarlierFiles::formOf(row.path, form);
        EXPECT_TRUE(files.pathIs(i, form));
        EarlierFiles::formOf(row.lookAlike, form);
        EXPECT_FALSE(files.pathIs(i, form));
    }
}

// A path read from a line as this program writes it reads as QString::fromUtf8 reads it,
// whatever its bytes, and is matched in that form.
TEST(EarlierFiles, Utf8ReadsAsFromUtf8) {
    const struct {
        const char* label;
        QByteArray bytes;
    } rows[] = {
        {"ascii", "plain.txt"},
        {"two_bytes", "caf\xc3\xa9"},
        {"four_bytes", "\xf0\x9f\x98\x80.txt"},
        {"byte_order_mark",
         "\xef\xbb\xbf"
         "a.txt"},
        {"encoded_surrogate", "a\xed\xa0\x80.txt"},
        {"overlong", "a\xc0\xaf.txt"},
        {"cut_short", "a\xe6\x88"},
        {"stray_continuation", "\x80x"},
        {"not_utf8", "na\xefve"},
    };
    EarlierFiles files;
    for (const auto& row : rows) {
        files.appendUtf8(row.bytes, 3);
    }
    QByteArray form;
    for (qsizetype i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(rows[i].label);
        const QString expected = QString::fromUtf8(rows[i].bytes);
        EXPECT_EQ(files.path(i), expected);
        EXPECT_EQ(files.previous(i), 3);
        EarlierFiles::formOf(expected, form);
        EXPECT_TRUE(files.pathIs(i, form));
    }
}

// A report read from a file, mapped or read, gives what its bytes give; a file that is
// empty, not a regular file, or missing is refused with its reason.
TEST(EarlierReport, ReadFromFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QList<ReportEntry> entries = {entryAt(0, "a.txt", 3),
                                        entryAt(1, QStringLiteral("\u00e9/b"), 4)};
    JsonReportFormat json({"/books", "*.*", WordRule::Classic, false, kEarlierDate, false});
    const QByteArray own = written(json, entries);
    const auto save = [&dir](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    };
    const struct {
        const char* label;
        QString path;
        qsizetype files;  // -1: refused
        const char* error;
    } rows[] = {
        {"own_layout", save("own.json", own), 2, ""},
        {"other_layout", save("other.json", earlierJson(R"({"path": "a.txt", "words": 4})")), 1,
         ""},
        {"empty", save("empty.json", ""), -1, "not JSON"},
        {"device", "/dev/null", -1, "not JSON"},
        {"missing", dir.filePath("missing.json"), -1, "No such file"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        QString error;
        const std::optional<EarlierReport> report = EarlierReport::read(row.path, error);
        if (row.files < 0) {
            EXPECT_FALSE(report.has_value());
            EXPECT_TRUE(error.contains(QLatin1String(row.error))) << qPrintable(error);
            continue;
        }
        ASSERT_TRUE(report.has_value()) << qPrintable(error);
        ASSERT_EQ(report->files.size(), row.files);
        EXPECT_EQ(report->written, kEarlierDate);
        EXPECT_EQ(report->files.path(row.files - 1),
                  row.files == 2 ? QStringLiteral("\u00e9/b") : "a.txt");
    }
}

// Paths that need more than plain bytes, read back from a report and compared: an entry
// matches only its own path, and a gone file is named after its path's last part.
TEST(ComparedFormat, MatchesPathsBeyondAscii) {
    const QString lone = QString::fromUtf16(u"s/a\xdc80.txt");
    const QByteArray other = earlierJson(
        R"({"path": "s/a\udc80.txt", "words": 1}, {"path": "t\tab/q\"uote", "words": 2},)"
        R"( {"path": "\u00c9t\u00e9/x", "words": 3}, {"path": "\u6211/gone", "words": 4})");
    const QList<ReportEntry> before = {entryAt(0, lone, 1), entryAt(1, "t\tab/q\"uote", 2),
                                       entryAt(2, QStringLiteral("\u00c9t\u00e9/x"), 3),
                                       entryAt(3, QStringLiteral("\u6211/gone"), 4)};
    JsonReportFormat json({"/books", "*.*", WordRule::Classic, false, kEarlierDate, false});
    const QByteArray own = written(json, before);
    const QList<ReportEntry> now = {entryAt(0, QStringLiteral("s/a\uFFFD.txt"), 5),
                                    entryAt(1, "t\tab/q\"uote", 6),
                                    entryAt(2, QStringLiteral("\u00e9t\u00e9/x"), 7),
                                    entryAt(3, QStringLiteral("\u00c9t\u00e9/x"), 8)};
    const struct {
        const char* label;
        QByteArray earlier;
        QList<ReportEntry> now;
        QList<qint64> changes;  // per entry; -1000 for a new file
        QStringList goneNames;
    } rows[] = {
        // A lone surrogate is written as U+FFFD, so the entry with U+FFFD is the same file.
        {"own_layout", own, now, {4, 4, -1000, 5}, {"gone"}},
        {"other_layout",
         other,
         now,
         {-1000, 4, -1000, 5},
         {QString::fromUtf16(u"a\xdc80.txt"), "gone"}},
        {"lone_surrogate_matches_itself",
         other,
         {entryAt(0, lone, 1)},
         {0},
         {"q\"uote", "x", "gone"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        QString error;
        const std::optional<EarlierReport> earlier = EarlierReport::parse(row.earlier, {}, error);
        ASSERT_TRUE(earlier.has_value()) << qPrintable(error);
        JsonReportFormat out({"/books", "*.*", WordRule::Classic, false, QDateTime(), false});
        ComparedFormat compared(out, *earlier);
        const QJsonObject report = QJsonDocument::fromJson(written(compared, row.now)).object();
        const QJsonArray files = report["files"].toArray();
        ASSERT_EQ(files.size(), row.changes.size());
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QJsonValue change = files[i].toObject().value("change");
            EXPECT_EQ(change.isUndefined() ? -1000 : change.toInteger(), row.changes[i]) << i;
        }
        QStringList goneNames;
        for (const QJsonValue gone : report["gone"].toArray()) {
            goneNames.append(gone.toObject()["name"].toString());
        }
        // The JSON layout shows a lone surrogate as U+FFFD.
        QStringList expected = row.goneNames;
        expected.replaceInStrings(QString::fromUtf16(u"\xdc80"), QStringLiteral("\uFFFD"));
        EXPECT_EQ(goneNames, expected);
    }
}

// Each kind of change, in the text, CSV and JSON layouts; the same entries without an
// earlier report give the plain report.
TEST(ComparedFormat, EachKindOfChange) {
    const EarlierReport earlier = earlierOf({{"grown.txt", 5},
                                             {"old name.txt", 7},
                                             {"same.txt", 3},
                                             {"shrunk.txt", 9},
                                             {"gone.txt", 2}});
    const QList<ReportEntry> entries = {entryAt(0, "grown.txt", 17), entryAt(1, "new name.txt", 7),
                                        entryAt(2, "same.txt", 3), entryAt(3, "shrunk.txt", 6)};
    const QString since = dateCreatedText(kEarlierDate);
    TextReportFormat text(nullptr, nullptr);
    EXPECT_EQ(written(text, entries),
              "grown.txt (17 Words)\r\nnew name.txt (7 Words)\r\nsame.txt (3 Words)\r\n"
              "shrunk.txt (6 Words)\r\n\r\nTotal Words: 33\r\n");
    ComparedFormat comparedText(text, earlier);
    EXPECT_EQ(written(comparedText, entries),
              "grown.txt (17 Words) (+12)\r\nnew name.txt (7 Words) (new)\r\nsame.txt (3 Words)\r\n"
              "shrunk.txt (6 Words) (-3)\r\n\r\nGone:\r\nold name.txt (7 Words)\r\n"
              "gone.txt (2 Words)\r\n\r\nTotal Words: 33 (+7 since " +
                  since.toLocal8Bit() + ")\r\n");

    CsvReportFormat csv(CsvReportFormat::Separator::Comma, {true, false});
    ComparedFormat comparedCsv(csv, earlier);
    EXPECT_EQ(written(comparedCsv, entries),
              "index,name,path,words,created,previous,change\r\n1,grown.txt,grown.txt,17,,5,12\r\n"
              "2,new name.txt,new name.txt,7,,,\r\n3,same.txt,same.txt,3,,3,0\r\n"
              "4,shrunk.txt,shrunk.txt,6,,9,-3\r\n,old name.txt,old name.txt,,,7,-7\r\n"
              ",gone.txt,gone.txt,,,2,-2\r\n");

    JsonReportFormat json({"/books", "*.*", WordRule::Classic, false, QDateTime(), false});
    ComparedFormat comparedJson(json, earlier);
    const QJsonObject report = QJsonDocument::fromJson(written(comparedJson, entries)).object();
    const QJsonArray files = report["files"].toArray();
    ASSERT_EQ(files.size(), 4);
    EXPECT_EQ(files[0].toObject()["change"].toInteger(), 12);
    EXPECT_FALSE(files[1].toObject().contains("previous"));
    EXPECT_FALSE(files[1].toObject().contains("change"));
    EXPECT_EQ(files[3].toObject()["previous"].toInteger(), 9);
    EXPECT_EQ(report["previousTotal"].toInteger(), 26);
    const QJsonArray gone = report["gone"].toArray();
    ASSERT_EQ(gone.size(), 2);
    EXPECT_EQ(gone[0].toObject()["path"].toString(), "old name.txt");
    EXPECT_EQ(gone[1].toObject()["previous"].toInteger(), 2);
}

// Files are matched by path whatever order either list comes in: the listing's order,
// another, or one that leaves it halfway.
TEST(ComparedFormat, MatchesInAnyOrder) {
    const QList<std::pair<QString, qint64>> sorted = {
        {"a.txt", 1}, {"B.txt", 2}, {"c/d.txt", 3}, {"c/e.txt", 4}, {"gone.txt", 5}, {"z.txt", 6}};
    const QList<std::pair<QString, qint64>> shuffled = {
        {"z.txt", 6}, {"c/d.txt", 3}, {"a.txt", 1}, {"gone.txt", 5}, {"c/e.txt", 4}, {"B.txt", 2}};
    const QStringList now = {"a.txt", "B.txt", "c/d.txt", "c/e.txt", "new.txt", "z.txt"};
    const QStringList nowShuffled = {"c/e.txt", "new.txt", "a.txt", "z.txt", "B.txt", "c/d.txt"};
    const QStringList nowLate = {"a.txt", "B.txt", "new.txt", "c/d.txt", "z.txt", "c/e.txt"};
    const struct {
        const char* label;
        QList<std::pair<QString, qint64>> earlier;
        QStringList now;
    } rows[] = {
        {"both_in_order", sorted, now},           {"earlier_shuffled", shuffled, now},
        {"now_shuffled", sorted, nowShuffled},    {"now_leaves_order_late", sorted, nowLate},
        {"both_shuffled", shuffled, nowShuffled},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const EarlierReport earlier = earlierOf(row.earlier);
        CsvReportFormat csv(CsvReportFormat::Separator::Comma, {true, false});
        ComparedFormat compared(csv, earlier);
        QList<ReportEntry> entries;
        for (const QString& path : row.now) {
            entries.append(entryAt(entries.size(), path, 10));
        }
        const QByteArray rows = written(compared, entries);
        for (const auto& [path, words] : row.earlier) {
            const QByteArray name = path.mid(path.lastIndexOf(u'/') + 1).toUtf8();
            const QByteArray expected = path == "gone.txt"
                                            ? ",gone.txt,gone.txt,,,5,-5\r\n"
                                            : "," + name + "," + path.toUtf8() + ",10,," +
                                                  QByteArray::number(words) + "," +
                                                  QByteArray::number(10 - words) + "\r\n";
            EXPECT_TRUE(rows.contains(expected)) << expected.constData() << rows.constData();
        }
        EXPECT_TRUE(rows.contains(",new.txt,new.txt,10,,,\r\n")) << rows.constData();
    }
}

// Subtotals at three depths, after each folder's last file, deepest first; a folder of
// only subfolders still gets its line, and files at the top get none.
TEST(SubtotalFormat, ThreeDepths) {
    const QList<ReportEntry> entries = {
        entryAt(0, "top.txt", 1),        entryAt(1, "a/one.txt", 2),
        entryAt(2, "a/b/c/deep.txt", 4), entryAt(3, "a/b/c/deeper.txt", 8),
        entryAt(4, "a/b2/x.txt", 16),    entryAt(5, "a/z.txt", 32),
        entryAt(6, "ab/y.txt", 64),      entryAt(7, "last.txt", 128),
    };
    const struct {
        const char* label;
        QList<ReportEntry> entries;
        QByteArray report;
    } rows[] = {
        {"three_depths", entries,
         "top.txt (1 Words)\r\na/one.txt (2 Words)\r\na/b/c/deep.txt (4 Words)\r\n"
         "a/b/c/deeper.txt (8 Words)\r\na/b/c/ \xe2\x80\x94 Words: 12\r\na/b/ \xe2\x80\x94 Words: "
         "12\r\n"
         "a/b2/x.txt (16 Words)\r\na/b2/ \xe2\x80\x94 Words: 16\r\na/z.txt (32 Words)\r\n"
         "a/ \xe2\x80\x94 Words: 62\r\nab/y.txt (64 Words)\r\nab/ \xe2\x80\x94 Words: 64\r\n"
         "last.txt (128 Words)\r\n\r\nTotal Words: 255\r\n"},
        {"deepest_last",
         {entryAt(0, "a/b/c/d.txt", 5)},
         "a/b/c/d.txt (5 Words)\r\na/b/c/ \xe2\x80\x94 Words: 5\r\na/b/ \xe2\x80\x94 Words: 5\r\n"
         "a/ \xe2\x80\x94 Words: 5\r\n\r\nTotal Words: 5\r\n"},
        {"no_subfolders", {entryAt(0, "a.txt", 5)}, "a.txt (5 Words)\r\n\r\nTotal Words: 5\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TextReportFormat text(nullptr, nullptr);
        SubtotalFormat subtotals(text);
        EXPECT_EQ(written(subtotals, row.entries), row.report);
    }

    JsonReportFormat json({"/books", "*.*", WordRule::Classic, false, QDateTime(), true});
    SubtotalFormat jsonSubtotals(json);
    const QJsonArray folders =
        QJsonDocument::fromJson(written(jsonSubtotals, entries)).object()["folders"].toArray();
    ASSERT_EQ(folders.size(), 5);
    EXPECT_EQ(folders[0].toObject()["path"].toString(), "a/b/c");
    EXPECT_EQ(folders[3].toObject()["path"].toString(), "a");
    EXPECT_EQ(folders[3].toObject()["files"].toInteger(), 5);
    EXPECT_EQ(folders[3].toObject()["words"].toInteger(), 62);

    CsvReportFormat csv(CsvReportFormat::Separator::Comma, {false, true});
    SubtotalFormat csvSubtotals(csv);
    EXPECT_EQ(written(csvSubtotals, {entryAt(0, "top.txt", 1), entryAt(1, "a/b/x.txt", 2)}),
              "kind,path,words\r\nfolder,a/b,2\r\nfolder,a,2\r\ntotal,,3\r\n\r\n"
              "index,name,path,words,created\r\n1,top.txt,top.txt,1,\r\n2,x.txt,a/b/x.txt,2,\r\n");
}

// Both layouts from one count; the second file appears only once committed, and a second
// file that cannot be made fails the run with that file's reason.
TEST(TeeReportFormat, TwoFilesFromOneCount) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString jsonPath = dir.filePath("baseline.json");
    const QList<ReportEntry> entries = {entryAt(0, "a.txt", 3)};
    {
        TextReportFormat text(nullptr, nullptr);
        JsonReportFormat json({"/books", "*.*", WordRule::Classic, false, QDateTime(), false});
        TeeReportFormat both(text, json, jsonPath);
        EXPECT_EQ(written(both, entries), "a.txt (3 Words)\r\n\r\nTotal Words: 3\r\n");
        EXPECT_FALSE(QFile::exists(jsonPath));
        ASSERT_TRUE(both.commitSecond()) << qPrintable(both.errorString());
    }
    QFile saved(jsonPath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    QString error;
    const std::optional<EarlierReport> back = EarlierReport::parse(saved.readAll(), {}, error);
    ASSERT_TRUE(back.has_value()) << qPrintable(error);
    EXPECT_EQ(back->total, 3);

    TextReportFormat text(nullptr, nullptr);
    JsonReportFormat json({"/books", "*.*", WordRule::Classic, false, QDateTime(), false});
    TeeReportFormat nowhere(text, json, dir.filePath("no such folder/baseline.json"));
    EXPECT_TRUE(written(nowhere, entries).startsWith("<failed: "));
    EXPECT_TRUE(nowhere.secondFailed());
}

}  // namespace
}  // namespace quorvane
