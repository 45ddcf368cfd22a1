#include <gtest/gtest.h>

#include <QByteArray>

#include <random>

#include "BlockScan.h"
#include "TextFilter.h"
#include "WordCounter.h"

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
        std::uniform_int_distribution<std::size_t> whichPiece(0, std::size(pieceSizes));
        for (int round = 0; round < 1500; ++round) {
            const QByteArray content = randomContent(rng, lengthOf(rng));
            const qint64 expected = wordCount(TrimASC(cutAtLastCJ(content)));

            WordCounter whole;
            whole.feed(content.constData(), static_cast<std::size_t>(content.size()));
            ASSERT_EQ(whole.count(), expected) << "seed " << seed << " round " << round;

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

#ifdef QUORVANE_HAVE_SSE2
TEST(BlockScan, VectorAndPortableClassifyAlike) {
    std::mt19937 rng(99);
    unsigned char block[blockscan::kBlockSize];
    for (int round = 0; round < 2000; ++round) {
        for (unsigned char& b : block) {
            b = static_cast<unsigned char>(round < 4 ? (round * 64 + (&b - block)) : rng());
        }
        const blockscan::Masks vector = blockscan::classifySse2(block);
        const blockscan::Masks portable = blockscan::classifyPortable(block);
        ASSERT_EQ(vector.word, portable.word);
        ASSERT_EQ(vector.space, portable.space);
        ASSERT_EQ(vector.dollar, portable.dollar);
        for (const unsigned char letter : {'c', 'j'}) {
            ASSERT_EQ(blockscan::letterMaskSse2(block, letter),
                      blockscan::letterMaskPortable(block, letter));
        }
    }
}
#endif

}  // namespace
}  // namespace quorvane
