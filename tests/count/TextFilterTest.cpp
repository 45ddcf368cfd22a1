#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <random>

#include "count/BlockScan.h"
#include "count/TextFilter.h"
#include "count/UnicodeWordCounter.h"
#include "count/WordCounter.h"

namespace quorvane {
namespace {

struct FilterRow {
    const char* name;
    QByteArray content;
    QByteArray filtered;
    qint64 words;
};

class TrimAndCount : public ::testing::TestWithParam<FilterRow> {};

TEST_P(TrimAndCount, FiltersAndCounts) {
    const FilterRow& row = GetParam();
    const QByteArray filtered = TrimASC(row.content);
    EXPECT_EQ(filtered, row.filtered);
    EXPECT_EQ(wordCount(filtered), row.words);

    WordCounter counter;
    counter.feed(row.content.constData(), static_cast<std::size_t>(row.content.size()));
    EXPECT_EQ(counter.count(), row.words);
}

QByteArray twoBytesPerChar(const QByteArray& ascii) {
    QByteArray wide;
    for (const char c : ascii) {
        wide.append(c).append('\0');
    }
    return wide;
}

QByteArray everyByteBut(const QByteArray& kept) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        if (!kept.contains(static_cast<char>(b))) {
            all.append(static_cast<char>(b));
        }
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TrimAndCount,
    ::testing::Values(
        FilterRow{"empty", "", "", 0}, FilterRow{"only_spaces", "     ", "", 0},
        FilterRow{"only_punctuation", "!?,;:'\"()-_", "", 0},
        FilterRow{"control_bytes", QByteArray("\t\r\n\0\x01\x1f\x7f", 7), "", 0},
        FilterRow{"high_bytes", "\x80\xa0\xe9\xff", "", 0},
        FilterRow{"every_dropped_byte",
                  everyByteBut("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ."),
                  "", 0},
        FilterRow{"two_words", "Hello world", "Hello world", 2},
        FilterRow{"padded", "  Hello    world  ", "Hello world", 2},
        FilterRow{"comma_joins", "Hello,world", "Helloworld", 1},
        FilterRow{"comma_space", "Hello, world", "Hello world", 2},
        FilterRow{"crlf_joins", "one\r\ntwo", "onetwo", 1},
        FilterRow{"space_crlf", "one \r\ntwo", "one two", 2},
        FilterRow{"lone_stop", "a . b", "a . b", 3},
        FilterRow{"stop_ends_word", "end. Next", "end. Next", 2},
        FilterRow{"accents", "caf\xe9 cr\xe8me", "caf crme", 2},
        FilterRow{"utf8_accents", "caf\xc3\xa9 cr\xc3\xa8me", "caf crme", 2},
        FilterRow{"apostrophe", "don't", "dont", 1},
        FilterRow{"spaces_around_tab", "a \t b", "a b", 2},
        FilterRow{"single_word", "word", "word", 1},
        FilterRow{"digits_and_stops", "3.14 1,000 v2.0.1", "3.14 1000 v2.0.1", 3},
        FilterRow{"stops_only", "...", "...", 1},
        FilterRow{"two_bytes_per_char", twoBytesPerChar("Hello, big world"), "Hello big world", 3},
        FilterRow{"leading_dropped_then_space", "\x01 a", "a", 1},
        FilterRow{"letter_range_edges", "@[`{/:", "", 0},
        FilterRow{"letter_range_inside", "AZaz09", "AZaz09", 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct CutRow {
    const char* name;
    QByteArray content;
    QByteArray cut;
};

class CutAtLastCJ : public ::testing::TestWithParam<CutRow> {};

TEST_P(CutAtLastCJ, KeepsUpToTheFirstCharacterOfTheLastMatch) {
    EXPECT_EQ(cutAtLastCJ(GetParam().content), GetParam().cut);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CutAtLastCJ,
    ::testing::Values(CutRow{"none", "abc def", "abc def"}, CutRow{"empty", "", ""},
                      CutRow{"two_matches", "abc CJ$ def cj$ xyz", "abc CJ$ def c"},
                      CutRow{"mixed_case", "x Cj$ y cJ$", "x Cj$ y c"},
                      CutRow{"at_start", "CJ$rest", "C"}, CutRow{"at_end", "text CJ$", "text C"},
                      CutRow{"overlap_chain", "CCJ$$", "CC"},
                      CutRow{"partial_only", "CJ C$ J$ cj", "CJ C$ J$ cj"},
                      CutRow{"not_other_letters", "DJ$ CK$ CJ#", "DJ$ CK$ CJ#"},
                      CutRow{"high_bytes_do_not_fold", "\xc3\xca$ \xe3\xea$",
                             "\xc3\xca$ \xe3\xea$"},
                      CutRow{"zero_bytes_around", QByteArray("\0cj$\0", 5), QByteArray("\0c", 2)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WordCounterCut, CountStopsAfterTheFirstCharacterOfTheLastMatch) {
    const struct {
        QByteArray content;
        qint64 words;
    } rows[] = {
        {"one two CJ$ three four", 3},  // "one two C"
        {"one twoCJ$ three", 2},        // "one twoC"
        {"cj$", 1},                     // "c"
        {"a cj$ b cj$ c d e", 4},       // "a cj$ b c", filtered "a cj b c"
        {"a b CJ$ c", 3},
        {"a b  \x01 CJ$", 3},
    };
    for (const auto& row : rows) {
        WordCounter counter;
        counter.feed(row.content.constData(), static_cast<std::size_t>(row.content.size()));
        EXPECT_EQ(counter.count(), row.words) << row.content.constData();
        EXPECT_EQ(wordCount(TrimASC(cutAtLastCJ(row.content))), row.words);
    }
}

// Random text over every byte value, weighted towards the bytes that matter: spaces,
// letters (the c and j of a cut above all), full stops, dropped bytes and whole "CJ$"s.
QByteArray randomContent(std::mt19937& rng, int length) {
    static const char* const cuts[] = {"CJ$", "cj$", "Cj$", "cJ$", "CCJ$", "CJ$J$"};
    std::uniform_int_distribution<int> pick(0, 99);
    std::uniform_int_distribution<int> anyByte(0, 255);
    QByteArray text;
    while (text.size() < length) {
        const int r = pick(rng);
        if (r < 20) {
            text.append(' ');
        } else if (r < 45) {
            text.append(static_cast<char>("abcjCJxyZ"[anyByte(rng) % 9]));
        } else if (r < 50) {
            text.append('.');
        } else if (r < 58) {
            text.append(static_cast<char>("\0\t\r\n,$\x80\xff"[anyByte(rng) % 8]));
        } else if (r < 62) {
            text.append(cuts[anyByte(rng) % 6]);
        } else {
            text.append(static_cast<char>(anyByte(rng)));
        }
    }
    return text;
}

// The streaming counter, fed in pieces of every awkward size, must agree with the
// filter-then-count definition whatever the bytes and wherever pieces and blocks split.
TEST(WordCounterEquivalence, MatchesTrimAndCountOnRandomInput) {
    const std::size_t pieceSizes[] = {1, 2, 3, 63, 64, 65, 127, 128, 129, 1000};
    for (const unsigned seed : {1u, 2u, 3u, 42u}) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> lengthOf(0, 700);
        std::uniform_int_distribution<int> longLengthOf(1000, 5000);
        std::uniform_int_distribution<std::size_t> whichPiece(0, std::size(pieceSizes));
        for (int round = 0; round < 1500; ++round) {
            // Every tenth text is long enough for the counter to start on a cache line.
            const QByteArray content =
                randomContent(rng, round % 10 == 0 ? longLengthOf(rng) : lengthOf(rng));
            const qint64 expected = wordCount(TrimASC(cutAtLastCJ(content)));

            // Every block classifier this CPU has, looking for a cut either way: each must
            // give the same counts, from wherever in a cache line the text starts, whole
            // or in two pieces split anywhere.
            const std::size_t offset = static_cast<std::size_t>(round) % 64;
            alignas(64) static char placed[64 + 5000];
            std::copy(content.cbegin(), content.cend(), placed + offset);
            const auto size = static_cast<std::size_t>(content.size());
            const std::size_t split = size == 0 ? 0 : rng() % size;
            for (const WordCounter::Scanner scanner : WordCounter::supportedScanners()) {
                for (const auto search :
                     {WordCounter::CutSearch::WhereDollar, WordCounter::CutSearch::EveryBlock}) {
                    SCOPED_TRACE(testing::Message()
                                 << WordCounter::scannerName(scanner) << " search " << int(search)
                                 << " seed " << seed << " round " << round);
                    WordCounter whole(scanner, search);
                    whole.feed(placed + offset, size);
                    ASSERT_EQ(whole.count(), expected);
                    WordCounter halves(scanner, search);
                    halves.feed(placed + offset, split);
                    halves.feed(placed + offset + split, size - split);
                    ASSERT_EQ(halves.count(), expected) << "split at " << split;
                }
            }

            WordCounter bytewise;
            bytewise.feedBytewise(content.constData(), static_cast<std::size_t>(content.size()));
            ASSERT_EQ(bytewise.count(), expected) << "seed " << seed << " round " << round;

            // Mixed piece sizes; index size(pieceSizes) draws a random size instead.
            WordCounter pieces;
            for (std::size_t at = 0; at < static_cast<std::size_t>(content.size());) {
                const std::size_t i = whichPiece(rng);
                std::size_t size = i < std::size(pieceSizes) ? pieceSizes[i] : rng() % 200 + 1;
                size = std::min(size, static_cast<std::size_t>(content.size()) - at);
                pieces.feed(content.constData() + at, size);
                at += size;
            }
            ASSERT_EQ(pieces.count(), expected) << "seed " << seed << " round " << round;
        }
    }
}

TEST(WordCounterEquivalence, LongRunsAcrossManyBlocks) {
    // Runs of dropped bytes and of spaces longer than a block carry their state across.
    const QByteArray rows[] = {
        "a" + QByteArray(200, ' ') + "b",
        "a " + QByteArray(200, '\x01') + "b",
        "a" + QByteArray(200, '\x01') + "b",
        QByteArray(130, 'w') + " " + QByteArray(130, '\xff') + "x",
        QByteArray(63, ' ') + "cj$" + QByteArray(64, 'k'),
        QByteArray(62, 'k') + "CJ$" + QByteArray(70, ' ') + "z",
        QByteArray(61, ' ') + "wc" + "J$" + QByteArray(10, ' ') + "q",
    };
    for (const QByteArray& content : rows) {
        const qint64 expected = wordCount(TrimASC(cutAtLastCJ(content)));
        for (const std::size_t piece : {std::size_t{1}, std::size_t{64}, std::size_t{65},
                                        static_cast<std::size_t>(content.size())}) {
            WordCounter counter;
            for (std::size_t at = 0; at < static_cast<std::size_t>(content.size()); at += piece) {
                counter.feed(content.constData() + at,
                             std::min(piece, static_cast<std::size_t>(content.size()) - at));
            }
            EXPECT_EQ(counter.count(), expected) << "piece " << piece;
        }
    }
}

TEST(WordCounterEquivalence, ResetStartsAfresh) {
    WordCounter counter;
    counter.feed("a b cj$ c", 9);
    counter.reset();
    counter.feed("x y", 3);
    EXPECT_EQ(counter.count(), 2);
}

// ---- The Unicode rule ----

// Feeds the bytes whole (piece 0) or in pieces of the given size.
qint64 unicodeCount(const QByteArray& bytes, std::size_t piece = 0) {
    UnicodeWordCounter counter;
    const auto size = static_cast<std::size_t>(bytes.size());
    if (piece == 0) {
        piece = std::max<std::size_t>(size, 1);
    }
    for (std::size_t at = 0; at < size; at += piece) {
        counter.feed(bytes.constData() + at, std::min(piece, size - at));
    }
    return counter.count();
}

QByteArray u8(const char8_t* text) {
    return QByteArray(reinterpret_cast<const char*>(text));
}

// The text in an encoding of Qt's, behind that encoding's byte-order mark.
QByteArray withMark(QStringConverter::Encoding encoding, const QString& text) {
    static const struct {
        QStringConverter::Encoding encoding;
        QByteArray mark;
    } marks[] = {
        {QStringConverter::Utf8, QByteArray("\xEF\xBB\xBF")},
        {QStringConverter::Utf16LE, QByteArray("\xFF\xFE")},
        {QStringConverter::Utf16BE, QByteArray("\xFE\xFF")},
        {QStringConverter::Utf32LE, QByteArray("\xFF\xFE\0\0", 4)},
        {QStringConverter::Utf32BE, QByteArray("\0\0\xFE\xFF", 4)},
    };
    QStringEncoder encode(encoding);
    for (const auto& m : marks) {
        if (m.encoding == encoding) {
            return m.mark + QByteArray(encode(text));
        }
    }
    return {};
}

QByteArray withMark(QStringConverter::Encoding encoding, const char8_t* text) {
    return withMark(encoding, QString::fromUtf8(u8(text)));
}

struct UnicodeRow {
    const char* name;
    QByteArray content;
    qint64 words;
};

class UnicodeRule : public ::testing::TestWithParam<UnicodeRow> {};

TEST_P(UnicodeRule, CountsWhatPeopleSee) {
    const UnicodeRow& row = GetParam();
    EXPECT_EQ(unicodeCount(row.content), row.words);
    // Every piece boundary, the byte-order mark and characters cut in two among them.
    EXPECT_EQ(unicodeCount(row.content, 1), row.words);
    EXPECT_EQ(unicodeCount(row.content, 7), row.words);
}

const QByteArray kProse = QByteArray("word ").repeated(20000);  // 100,000 bytes

INSTANTIATE_TEST_SUITE_P(
    Rows, UnicodeRule,
    ::testing::Values(
        UnicodeRow{"empty", "", 0}, UnicodeRow{"white_space_only", " \t\r\n\f\v", 0},
        UnicodeRow{"apostrophe", "don't", 1}, UnicodeRow{"hyphen", "e-mail", 1},
        UnicodeRow{"naive", u8(u8"naïve"), 1}, UnicodeRow{"greek_word", u8(u8"Ελληνικά"), 1},
        UnicodeRow{"greek", u8(u8"Ελληνικά κείμενα"), 2},
        UnicodeRow{"russian", u8(u8"Привет, мир"), 2},
        UnicodeRow{"lone_dash", "-", 0}, UnicodeRow{"dashes", u8(u8" - — – ... !? "), 0},
        UnicodeRow{"line_break", "end\nNext", 2}, UnicodeRow{"crlf", "end\r\nNext", 2},
        UnicodeRow{"full_stop_joins_nothing", "end.Next", 1},
        UnicodeRow{"digits", "1984", 1}, UnicodeRow{"number", "3.14 1,000", 2},
        UnicodeRow{"symbols_only", "$ % & * + = @ #", 0},
        UnicodeRow{"zero_bytes", QByteArray("a\0b \0", 5), 1},
        // Marks: after a letter they are part of it, on their own they make a word.
        UnicodeRow{"combining_acute", u8(u8"e\u0301te"), 1},
        UnicodeRow{"lone_mark", u8(u8" \u0301 "), 1},
        UnicodeRow{"devanagari", u8(u8"नमस्ते दुनिया"), 2},
        // East Asian text: a word per character, with marks that follow it.
        UnicodeRow{"chinese", u8(u8"我爱你"), 3},
        UnicodeRow{"chinese_punctuation", u8(u8"我爱你。你好！"), 5},
        UnicodeRow{"japanese", u8(u8"私はラーメンが好きです"), 11},
        UnicodeRow{"japanese_and_latin", u8(u8"東京タワーはTokyo Towerです"), 10},
        UnicodeRow{"decomposed_kana", u8(u8"か\u3099き"), 2},
        UnicodeRow{"halfwidth_katakana", u8(u8"ｶﾀｶﾅ"), 4},
        UnicodeRow{"ideograph_between_letters", u8(u8"a我b"), 3},
        UnicodeRow{"korean_by_spaces", u8(u8"안녕하세요 세계"), 2},
        UnicodeRow{"beyond_the_basic_plane", u8(u8"😀 a𠀀b 𝐀𝐁"), 4},
        // White space is Unicode's; format characters and other controls join.
        UnicodeRow{"no_break_space", u8(u8"a\u00A0b"), 2},
        UnicodeRow{"ideographic_space", u8(u8"a\u3000b"), 2},
        UnicodeRow{"next_line", u8(u8"a\u0085b"), 2},
        UnicodeRow{"zero_width_space", u8(u8"a\u200Bb"), 1},
        UnicodeRow{"information_separator", "a\x1c" "b", 1},
        // Byte-order marks.
        UnicodeRow{"utf8_mark", u8(u8"\uFEFFone two"), 2},
        UnicodeRow{"utf16le", withMark(QStringConverter::Utf16LE, u8"Hello wörld 我爱"), 4},
        UnicodeRow{"utf16be", withMark(QStringConverter::Utf16BE, u8"Hello wörld 我爱"), 4},
        UnicodeRow{"utf32le", withMark(QStringConverter::Utf32LE, u8"Hello wörld 我爱"), 4},
        UnicodeRow{"utf32be", withMark(QStringConverter::Utf32BE, u8"Hello wörld 我爱"), 4},
        UnicodeRow{"utf16_pairs", withMark(QStringConverter::Utf16LE, u8"😀 a𠀀b"), 3},
        UnicodeRow{"utf16_lone_surrogate", QByteArray("\xFF\xFE" "a\0\0\xD8 \0b\0", 10), 2},
        UnicodeRow{"utf16_odd_byte_at_end", QByteArray("\xFF\xFE" "a\0b", 5), 1},
        UnicodeRow{"utf32_beyond_unicode", QByteArray("\0\0\xFE\xFF\0\x11\0\0", 8), 0},
        UnicodeRow{"utf16_mark_only", "\xFF\xFE", 0},
        UnicodeRow{"utf32_mark_only", QByteArray("\xFF\xFE\0\0", 4), 0},
        // The mark says UTF-8: a broken character is no letter, never Windows-1252.
        UnicodeRow{"utf8_mark_then_invalid", "\xEF\xBB\xBF\xE9", 0},
        UnicodeRow{"utf8_mark_then_broken_character", "\xEF\xBB\xBF" "ab\xE2\x80 cd", 2},
        // No mark and not UTF-8: Windows-1252, decided by the whole file.
        UnicodeRow{"cp1252", "caf\xE9 cr\xE8me", 2},
        UnicodeRow{"cp1252_quotes_and_dash", "\x93quoted\x94 \x96 text", 2},
        UnicodeRow{"cp1252_no_break_space", "a\xA0" "b", 2},
        UnicodeRow{"utf8_dash", "a \xE2\x80\x94 b", 2},
        UnicodeRow{"invalid_at_the_end", "a \xE2\x80\x94 b \xFF", 4},
        UnicodeRow{"character_cut_at_the_end", "a \xE2\x80", 2},
        UnicodeRow{"overlong", "\xC0\xAF", 1},
        UnicodeRow{"encoded_surrogate", "\xED\xA0\x80", 1},
        UnicodeRow{"mark_cut_short", "\xEF\xBB", 1}, UnicodeRow{"lone_fe", "\xFE", 1},
        UnicodeRow{"long_prose_valid", kProse + "\xE2\x80\x94 ", 20000},
        UnicodeRow{"long_prose_invalid_late", kProse + "\xE2\x80\x94 \xFF", 20002},
        // The "CJ$" cut, on the characters.
        UnicodeRow{"cut", "one two CJ$ three", 3}, UnicodeRow{"cut_lower", "abc cj$", 2},
        UnicodeRow{"cut_alone", "Cj$", 1}, UnicodeRow{"last_cut_wins", "x cJ$ y CJ$ z", 4},
        UnicodeRow{"cut_after_ideographs", u8(u8"我爱CJ$你"), 3},
        UnicodeRow{"cut_in_cp1252", "caf\xE9 CJ$ gone", 2},
        UnicodeRow{"cut_in_utf16", withMark(QStringConverter::Utf16BE, u8"one CJ$ two"), 2},
        UnicodeRow{"full_width_is_no_cut", u8(u8"ＣＪ＄ a"), 2},
        UnicodeRow{"mark_inside_is_no_cut", u8(u8"C\u0301J$ x"), 2},
        UnicodeRow{"cut_across_blocks", QByteArray(62, 'k') + "CJ$" + QByteArray(70, ' ') + "z", 1},
        UnicodeRow{"cut_after_long_prose", kProse + "cj$ more", 20001}),
    [](const auto& info) { return std::string(info.param.name); });

// Unicode's White_Space property, all of it, and characters that look like space but are not.
TEST(UnicodeRuleSpace, WhiteSpaceAndNothingElseSeparates) {
    const char32_t whiteSpace[] = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,
                                   0xA0,   0x1680, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004,
                                   0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A, 0x2028,
                                   0x2029, 0x202F, 0x205F, 0x3000};
    const char32_t joining[] = {0x1C,   0x1F,   0x7F,   0x180E, 0x200B, 0x200C,
                                0x200D, 0x2060, 0xFEFF, 0x00AD, 0x1D159};
    const auto text = [](char32_t c) {
        return (QStringLiteral("a") + QString::fromUcs4(&c, 1) + QStringLiteral("b")).toUtf8();
    };
    for (const char32_t c : whiteSpace) {
        EXPECT_EQ(unicodeCount(text(c)), 2) << std::hex << unsigned(c);
    }
    for (const char32_t c : joining) {
        EXPECT_EQ(unicodeCount(text(c)), 1) << std::hex << unsigned(c);
    }
}

// Random text of the pieces that matter: ASCII words and runs longer than a block, white
// space of every kind, letters of other scripts, ideographs, marks, the cut, and now and
// then a byte that is not UTF-8.
QByteArray randomUnicodeText(std::mt19937& rng, int length, bool allowInvalid) {
    static const char8_t* const pieces[] = {
        u8" ", u8"  ", u8"\n", u8"\r\n", u8"\t", u8"word", u8"Ab1", u8"don't", u8"-", u8"—",
        u8"’", u8"é", u8"e\u0301", u8"\u0301", u8"Ελλην", u8"Привет", u8"我", u8"爱", u8"カ",
        u8"\u3099", u8"ー", u8"\u3000", u8"\u00A0", u8"😀", u8"𠀀", u8"\u200B", u8"1984",
        u8"CJ$", u8"cj$", u8"C", u8"J", u8"$", u8".", u8"lorem ipsum dolor sit amet, "
        u8"consectetur adipiscing elit, sed do eiusmod tempor incididunt ut labore"};
    static const char* const invalid[] = {"\xFF", "\x80", "\xC3", "\xE2\x80", "\xF0\x9F\x98",
                                          "\xED\xA0\x80", "\xC0\xAF"};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> roll(0, 199);
    QByteArray text;
    while (text.size() < length) {
        if (allowInvalid && roll(rng) == 0) {
            text.append(invalid[rng() % std::size(invalid)]);
        } else {
            text.append(u8(pieces[pick(rng)]));
        }
    }
    return text;
}

// Fed in pieces of any size, whatever the encoding, the count is the count of the whole;
// and the same text counts the same in every encoding a mark can name.
TEST(UnicodeRuleEquivalence, PiecesAndEncodingsAgree) {
    const std::size_t pieceSizes[] = {1, 2, 3, 7, 63, 64, 65, 127, 1000};
    for (const unsigned seed : {1u, 2u, 3u, 42u}) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> lengthOf(0, 700);
        std::uniform_int_distribution<std::size_t> whichPiece(0, std::size(pieceSizes));
        for (int round = 0; round < 400; ++round) {
            const bool valid = round % 2 == 0;
            const QByteArray text = randomUnicodeText(rng, lengthOf(rng), !valid);
            QList<QByteArray> forms = {text};
            if (valid) {
                const QString decoded = QString::fromUtf8(text);
                for (const auto encoding :
                     {QStringConverter::Utf8, QStringConverter::Utf16LE, QStringConverter::Utf16BE,
                      QStringConverter::Utf32LE, QStringConverter::Utf32BE}) {
                    forms << withMark(encoding, decoded);
                }
            }
            const qint64 expected = unicodeCount(text);
            for (const QByteArray& form : forms) {
                SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << round << " "
                                                << form.left(40).toHex(' ').constData());
                ASSERT_EQ(unicodeCount(form), expected);
                for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3},
                                                std::size_t{7}}) {
                    ASSERT_EQ(unicodeCount(form, piece), expected) << "piece " << piece;
                }
                UnicodeWordCounter mixed;
                for (std::size_t at = 0; at < static_cast<std::size_t>(form.size());) {
                    const std::size_t i = whichPiece(rng);
                    std::size_t size = i < std::size(pieceSizes) ? pieceSizes[i] : rng() % 200 + 1;
                    size = std::min(size, static_cast<std::size_t>(form.size()) - at);
                    mixed.feed(form.constData() + at, size);
                    at += size;
                }
                ASSERT_EQ(mixed.count(), expected);
            }
        }
    }
}

// Bytes that are not UTF-8 count as Qt's own Windows-1252 decoder reads them.
TEST(UnicodeRuleEquivalence, NotUtf8IsWindows1252) {
    QStringDecoder windows1252("windows-1252");
    if (!windows1252.isValid()) {
        GTEST_SKIP() << "this Qt has no Windows-1252 decoder";
    }
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> lengthOf(1, 300);
    for (int round = 0; round < 500; ++round) {
        QByteArray bytes = randomUnicodeText(rng, lengthOf(rng), false);
        // Any byte beyond ASCII, and one that UTF-8 never holds.
        for (int k = 0; k < 4; ++k) {
            bytes.insert(static_cast<qsizetype>(rng() % (bytes.size() + 1)),
                         static_cast<char>(0x80 + rng() % 0x80));
        }
        bytes.insert(static_cast<qsizetype>(rng() % (bytes.size() + 1)), '\xFF');
        // Never a byte-order mark by chance.
        bytes.prepend('x');
        const QString decoded = windows1252.decode(bytes);
        SCOPED_TRACE(bytes.toHex(' ').toStdString());
        ASSERT_EQ(unicodeCount(bytes), unicodeCount(withMark(QStringConverter::Utf32LE, decoded)));
    }
}

#ifdef QUORVANE_HAVE_SSE2
TEST(BlockScan, VectorAndPortableClassifyAlike) {
    using Classify = blockscan::Masks (*)(const unsigned char*);
    using LetterMask = quint64 (*)(const unsigned char*, unsigned char);
    struct Classifier {
        WordCounter::Scanner scanner;
        Classify classify;
        LetterMask letterMask;
    };
    const Classifier classifiers[] = {
        {WordCounter::Scanner::Sse2, blockscan::classifySse2, blockscan::letterMaskSse2},
#ifdef QUORVANE_HAVE_WIDE_VECTORS
        {WordCounter::Scanner::Avx2, blockscan::classifyAvx2, blockscan::letterMaskAvx2},
        // The AVX-512 scanners find cut ends without letter masks; the counters' test
        // holds them to the reference.
        {WordCounter::Scanner::Avx512, blockscan::classifyAvx512, nullptr},
        {WordCounter::Scanner::Avx512Vbmi, blockscan::classifyAvx512Vbmi, nullptr},
#endif
    };
    const QList<WordCounter::Scanner> supported = WordCounter::supportedScanners();
    std::mt19937 rng(99);
    unsigned char block[blockscan::kBlockSize];
    for (int round = 0; round < 2000; ++round) {
        // The first four rounds hold every byte value once.
        for (unsigned char& b : block) {
            b = static_cast<unsigned char>(round < 4 ? (round * 64 + (&b - block)) : rng());
        }
        const blockscan::Masks portable = blockscan::classifyPortable(block);
        for (const Classifier& c : classifiers) {
            if (!supported.contains(c.scanner)) {
                continue;
            }
            const char* name = WordCounter::scannerName(c.scanner);
            const blockscan::Masks vector = c.classify(block);
            ASSERT_EQ(vector.word, portable.word) << name << " round " << round;
            ASSERT_EQ(vector.space, portable.space) << name << " round " << round;
            ASSERT_EQ(vector.dollar, portable.dollar) << name << " round " << round;
            for (const unsigned char letter : {'c', 'j'}) {
                if (c.letterMask == nullptr) {
                    break;
                }
                ASSERT_EQ(c.letterMask(block, letter), blockscan::letterMaskPortable(block, letter))
                    << name << " round " << round;
            }
        }
    }
}
#endif

}  // namespace
}  // namespace quorvane
