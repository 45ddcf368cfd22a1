#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>

#include "count/NumberText.h"
#include "count/ReportLine.h"

namespace quorvane {
namespace {

const QLocale kDayFirst(QLocale::English, QLocale::UnitedKingdom);

ReportOptions allNameOptions() {
    ReportOptions o;
    o.trimExtension = o.underscoresAsSpaces = o.hyphensAsSpaces = o.numbered = true;
    return o;
}

struct LineRow {
    const char* name;
    qint64 index;
    QString entry;
    qint64 words;
    ReportOptions options;
    LetterCase letterCase;
    QString line;
};

class ReportLineRows : public ::testing::TestWithParam<LineRow> {};

TEST_P(ReportLineRows, BuildsTheLine) {
    const LineRow& row = GetParam();
    const QString date =
        dateCreatedText(QDateTime(QDate(2007, 10, 24), QTime(14, 3, 5)), kDayFirst);
    EXPECT_EQ(buildReportLine(row.index, row.entry, row.words, date, row.options, row.letterCase),
              row.line);
}

ReportOptions withDate(ReportOptions o) {
    o.dateCreated = true;
    return o;
}

const QString kChapter = QStringLiteral("chapter_one-final.doc");

using enum LetterCase;

INSTANTIATE_TEST_SUITE_P(
    Rows, ReportLineRows,
    ::testing::Values(
        LineRow{"plain", 2, kChapter, 152, {}, Untouched, "chapter_one-final.doc (152 Words)"},
        LineRow{"name_options_numbered", 2, kChapter, 152, allNameOptions(), Untouched,
                "3. chapter one final (152 Words)"},
        LineRow{"with_date", 2, kChapter, 152, withDate(allNameOptions()), Untouched,
                "3. chapter one final (Date Created: 24/10/2007 14:03:05) (152 Words)"},
        LineRow{"upper", 2, kChapter, 152, withDate(allNameOptions()), Upper,
                "3. CHAPTER ONE FINAL (DATE CREATED: 24/10/2007 14:03:05) (152 WORDS)"},
        LineRow{"lower", 2, kChapter, 152, withDate(allNameOptions()), Lower,
                "3. chapter one final (date created: 24/10/2007 14:03:05) (152 words)"},
        LineRow{"title", 2, kChapter, 152, withDate(allNameOptions()), Title,
                "3. Chapter One Final (date Created: 24/10/2007 14:03:05) (152 Words)"},
        LineRow{"numbered_first", 0, "a.txt", 10, ReportOptions{.numbered = true}, Untouched,
                "1. a.txt (10 Words)"},
        LineRow{"zero_words", 1, "b.txt", 0, ReportOptions{.numbered = true}, Untouched,
                "2. b.txt (0 Words)"},
        LineRow{"dot_name_loses_all", 0, ".profile", 4,
                ReportOptions{.numbered = true, .trimExtension = true}, Untouched, "1.  (4 Words)"},
        LineRow{"first_dot_cut", 0, "my_file-old.tar.gz", 5, allNameOptions(), Untouched,
                "1. my file old (5 Words)"},
        LineRow{"no_dot_unchanged", 0, "README", 5, ReportOptions{.trimExtension = true}, Untouched,
                "README (5 Words)"},
        LineRow{"doubled_underscores", 0, "a__b--c", 5,
                ReportOptions{.underscoresAsSpaces = true, .hyphensAsSpaces = true}, Untouched,
                "a  b  c (5 Words)"},
        LineRow{"title_of_capitals", 0, "REPORT.DOC", 9, {}, Title, "Report.doc (9 Words)"},
        LineRow{"title_after_tab", 0, "x\ty", 9, {}, Title, "X\tY (9 Words)"},
        LineRow{"title_after_paren", 0, "(draft)", 9, {}, Title, "(draft) (9 Words)"},
        LineRow{"non_ascii_name",
                0,
                QStringLiteral("café_ünï.txt"),
                3,
                {},
                Upper,
                QStringLiteral("CAFÉ_ÜNÏ.TXT (3 WORDS)")},
        LineRow{"big_count", 32766, "big", 5000000000LL, ReportOptions{.numbered = true}, Untouched,
                "32767. big (5000000000 Words)"},
        // In a count of subfolders the name options shape the file name only.
        LineRow{"subfolder_name_options", 0, "my_docs/sub-dir.v2/chapter_one-final.doc", 152,
                allNameOptions(), Untouched, "1. my_docs/sub-dir.v2/chapter one final (152 Words)"},
        LineRow{"subfolder_dot_name", 0, "a.b/.profile", 4, ReportOptions{.trimExtension = true},
                Untouched, "a.b/ (4 Words)"},
        LineRow{
            "subfolder_upper_whole_line", 0, "a_b/c-d.txt", 1, {}, Upper, "A_B/C-D.TXT (1 WORDS)"},
        LineRow{"subfolder_title", 0, "sub dir/x_y.txt", 1,
                ReportOptions{.underscoresAsSpaces = true}, Title, "Sub Dir/x Y.txt (1 Words)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReportLine, OptionsDoNotTouchNumberOrDate) {
    ReportOptions o = withDate(allNameOptions());
    const QString line = buildReportLine(0, "a-b_c.d", 1, "1.2-3_4", o, LetterCase::Untouched);
    EXPECT_EQ(line, "1. a b c (Date Created: 1.2-3_4) (1 Words)");
}

TEST(ReportLine, TitleCaseTurnsPmIntoPm) {
    EXPECT_EQ(applyLetterCase("at 2:03:05 PM", LetterCase::Title), "At 2:03:05 Pm");
    EXPECT_EQ(applyLetterCase(QString(), LetterCase::Title), QString());
    EXPECT_EQ(applyLetterCase(QStringLiteral("ÉCOLE élan"), LetterCase::Title),
              QStringLiteral("École Élan"));
}

TEST(ReportLine, TotalLineIsNeverConverted) {
    EXPECT_EQ(totalLine(0), "Total Words: 0");
    EXPECT_EQ(totalLine(9000000000LL), "Total Words: 9000000000");
}

TEST(DateCreatedText, DayFirstLocale) {
    const struct {
        QDateTime when;
        QString text;
    } rows[] = {
        {QDateTime(QDate(2007, 10, 24), QTime(14, 3, 5)), "24/10/2007 14:03:05"},
        {QDateTime(QDate(2007, 10, 24), QTime(0, 0, 0)), "24/10/2007"},
        {QDateTime(QDate(2007, 10, 24), QTime(0, 0, 0, 400)), "24/10/2007"},
        {QDateTime(QDate(2007, 1, 2), QTime(0, 0, 1)), "02/01/2007 00:00:01"},
        {QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)), "31/12/1999 23:59:59"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(dateCreatedText(row.when, kDayFirst), row.text);
    }
}

// Two-digit minutes and seconds read the same padded or not, so they can be looked for in any
// locale's text; an evening hour tells a 12-hour clock from a 24-hour one.
const QDateTime kSummerEvening(QDate(2026, 7, 12), QTime(19, 42, 13));

TEST(DateCreatedText, LocaleRows) {
    const struct {
        const char* locale;
        QString text;
    } rows[] = {
        // Zone in brackets, or joined by a comma: nothing of it may stay behind.
        {"es_ES", "12/7/26 19:42:13"},
        {"ca_ES", "12/7/26 19:42:13"},
        {"eu_ES", "26/7/12 19:42:13"},
        {"hr_HR", "12. 07. 2026. 19:42:13"},
        {"uz_Latn_UZ", "12/07/26 19:42:13"},
        {"fa_IR", QStringLiteral("۲۰۲۶/۷/۱۲ ۱۹:۴۲:۱۳")},
        {"zh_Hant_HK", QStringLiteral("12/7/2026 下午7:42:13")},
        {"nds_DE", "12.07.26 Klock 19.42:13"},
        {"be_BY", "12.07.26 19:42:13"},
        {"sq_AL", "12.7.26 7:42:13 E PASDITES"},
        // Zone first, last, or after quoted text: as before.
        {"zh_CN", "2026/7/12 19:42:13"},
        {"en_US", "7/12/26 7:42:13 PM"},
        {"de_DE", "12.07.26 19:42:13"},
        {"ja_JP", QStringLiteral("2026/07/12 19時42分13秒")},
        {"fr_CA", "2026-07-12 19 h 42 min 13 s"},
        {"bg_BG", QStringLiteral("12.07.26 г. 19:42:13 ч.")},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(dateCreatedText(kSummerEvening, QLocale(QString::fromLatin1(row.locale))),
                  row.text)
            << row.locale;
    }
    EXPECT_EQ(dateCreatedText(QDateTime(QDate(2007, 10, 24), QTime(14, 3, 5)),
                              QLocale(QLocale::English, QLocale::UnitedStates)),
              "10/24/07 2:03:05 PM");
}

TEST(DateCreatedText, EveryLocaleKeepsDateAndTimeAndDropsTheZone) {
    const QRegularExpression emptyBrackets(
        QStringLiteral("[(\\[\\x{FF08}\\x{FF3B}{\\x{3010}]\\s*"
                       "[)\\]\\x{FF09}\\x{FF3D}}\\x{3011}]"));
    const QRegularExpression zoneLetter(QStringLiteral("(^|[^A-Za-z])Z([^A-Za-z]|$)"));
    QStringList zoneTexts = {"UTC", "GMT", "+00", "-00"};
    if (!kSummerEvening.timeZoneAbbreviation().isEmpty()) {
        zoneTexts << kSummerEvening.timeZoneAbbreviation();
    }
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 100);
    for (const QLocale& locale : locales) {
        const QString text = dateCreatedText(kSummerEvening, locale);
        const std::string where = locale.name().toStdString() + " " +
                                  QLocale::scriptToCode(locale.script()).toStdString() + ": " +
                                  text.toStdString();
        const QString date = locale.toString(kSummerEvening.date(), QLocale::ShortFormat);
        ASSERT_TRUE(text.startsWith(date + u' ')) << where;
        const QString time = text.mid(date.size() + 1);
        // The locale's own digits for minutes and seconds, however it spells the rest.
        EXPECT_TRUE(time.contains(locale.toString(kSummerEvening.time(), QStringLiteral("mm"))))
            << where;
        EXPECT_TRUE(time.contains(locale.toString(kSummerEvening.time(), QStringLiteral("ss"))))
            << where;
        EXPECT_FALSE(emptyBrackets.match(text).hasMatch()) << where;
        EXPECT_FALSE(zoneLetter.match(time).hasMatch()) << where;
        for (const QString& zone : zoneTexts) {
            EXPECT_FALSE(time.contains(zone)) << where;
        }
        EXPECT_EQ(time, time.trimmed()) << where;
        EXPECT_FALSE(time.endsWith(u',')) << where;
    }
}

struct NumberRow {
    const char* text;
    std::optional<short> value;
};

class WholeNumberRows : public ::testing::TestWithParam<NumberRow> {};

TEST_P(WholeNumberRows, Converts) {
    EXPECT_EQ(toWholeNumber16(QString::fromLatin1(GetParam().text)), GetParam().value)
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WholeNumberRows,
    ::testing::Values(NumberRow{"0", 0}, NumberRow{" 1 ", 1}, NumberRow{"+2", 2},
                      NumberRow{"\t3\n", 3}, NumberRow{"2.5", 2}, NumberRow{"3.5", 4},
                      NumberRow{"-0.5", 0}, NumberRow{"-1.5", -2}, NumberRow{"1e2", 100},
                      NumberRow{"2.", 2}, NumberRow{".6", 1}, NumberRow{"32767.4", 32767},
                      NumberRow{"32767.5", std::nullopt}, NumberRow{"-32768.5", -32768},
                      NumberRow{"-32769", std::nullopt}, NumberRow{"1e400", std::nullopt},
                      NumberRow{"abc", std::nullopt}, NumberRow{"", std::nullopt},
                      NumberRow{"   ", std::nullopt}, NumberRow{"0x10", std::nullopt},
                      NumberRow{"1,5", std::nullopt}, NumberRow{"1 2", std::nullopt},
                      NumberRow{"inf", std::nullopt}, NumberRow{"nan", std::nullopt},
                      NumberRow{"+-1", std::nullopt}, NumberRow{".", std::nullopt},
                      NumberRow{"1e", std::nullopt}));

// A Qt application runs in the user's C locale, whose decimal mark may be a comma.
TEST(WholeNumber, IgnoresTheProcessLocale) {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no German locale on this machine";
    }
    const std::optional<short> value = toWholeNumber16(QStringLiteral("3.5"));
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_EQ(value, 4);
}

}  // namespace
}  // namespace quorvane
