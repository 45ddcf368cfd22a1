#include <gtest/gtest.h>

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <optional>
#include <random>
#include <vector>

#include "count/BlockScan.h"
#include "count/RuleCounter.h"
#include "count/UnicodeWordCounter.h"
#include "count/WordCounter.h"

namespace quorvane {
namespace {

// ---- A plain reference: Qt decodes, then one character at a time ----

enum class RefKind { Other, Space, Word, Mark, Ideograph };

RefKind refKind(char32_t c) {
    if (QChar::isSpace(c)) {
        return RefKind::Space;
    }
    const QChar::Category cat = QChar::category(c);
    if (cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining ||
        cat == QChar::Mark_Enclosing) {
        return RefKind::Mark;
    }
    if (!QChar::isLetterOrNumber(c)) {
        return RefKind::Other;
    }
    const QChar::Script script = QChar::script(c);
    const bool kanaLength = c == 0x30FC || c == 0xFF70;
    return kanaLength || script == QChar::Script_Han || script == QChar::Script_Hiragana ||
                   script == QChar::Script_Katakana
               ? RefKind::Ideograph
               : RefKind::Word;
}

qint64 referenceWords(const QList<uint>& codes) {
    // Everything after the first character of the last "CJ$" is ignored.
    qsizetype end = codes.size();
    for (qsizetype i = codes.size() - 3; i >= 0; --i) {
        if ((codes[i] | 0x20) == 'c' && (codes[i + 1] | 0x20) == 'j' && codes[i + 2] == '$') {
            end = i + 1;
            break;
        }
    }
    qint64 words = 0;
    bool mayStart = true;
    bool afterIdeograph = false;
    for (qsizetype i = 0; i < end; ++i) {
        switch (refKind(codes[i])) {
            case RefKind::Space:
                mayStart = true;
                afterIdeograph = false;
                break;
            case RefKind::Ideograph:
                ++words;
                mayStart = true;
                afterIdeograph = true;
                break;
            case RefKind::Mark:
                if (!afterIdeograph) {
                    words += mayStart ? 1 : 0;
                    mayStart = false;
                }
                break;
            case RefKind::Word:
                words += mayStart ? 1 : 0;
                mayStart = false;
                afterIdeograph = false;
                break;
            case RefKind::Other:
                afterIdeograph = false;
                break;
        }
    }
    return words;
}

struct MarkedForm {
    QStringConverter::Encoding encoding;
    QByteArray mark;
};

const MarkedForm kMarked[] = {
    {QStringConverter::Utf8, QByteArray("\xEF\xBB\xBF")},
    {QStringConverter::Utf16LE, QByteArray("\xFF\xFE")},
    {QStringConverter::Utf16BE, QByteArray("\xFE\xFF")},
    {QStringConverter::Utf32LE, QByteArray("\xFF\xFE\0\0", 4)},
    {QStringConverter::Utf32BE, QByteArray("\0\0\xFE\xFF", 4)},
};

// The reference count of bytes without a mark: UTF-8 when Qt finds no error, else
// Windows-1252. Empty where this Qt has no Windows-1252 decoder.
std::optional<qint64> referenceUnmarked(const QByteArray& bytes) {
    // Stateless: a character cut short at the end is an error, as it is to the counter,
    // not a start kept for input that never comes.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                    QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return referenceWords(text.toUcs4());
    }
    QStringDecoder windows1252("windows-1252");
    if (!windows1252.isValid()) {
        return std::nullopt;
    }
    return referenceWords(QString(windows1252.decode(bytes)).toUcs4());
}

// ---- Random text ----

QByteArray u8(const char8_t* text) {
    return QByteArray(reinterpret_cast<const char*>(text));
}

// Runs of one script long enough to fill blocks, and the characters that break the block
// scan's shortcuts: marks after ideographs, the one E4 lead that is no ideograph, the lead
// bytes E0 and ED with their narrower ranges, spaces beyond ASCII, characters beyond the
// Basic Multilingual Plane, code units that hold a 0x20 byte, and the cut.
QByteArray randomText(std::mt19937& rng, int length, bool allowInvalid) {
    static const char8_t* const pieces[] = {
        u8" ",
        u8"  ",
        u8"\n",
        u8"\r\n",
        u8"\t",
        u8"word",
        u8"Ab1",
        u8"don't",
        u8"-",
        u8"—",
        u8"«",
        u8"»",
        u8"é",
        u8"e\u0301",
        u8"\u0301",
        u8"Привет",
        u8"мир",
        u8"ёлка",
        u8"Ѳѳ",
        u8"҂",
        u8"\u0483",
        u8"我爱你",
        u8"一个",
        u8"幸福的家庭",
        u8"，",
        u8"。",
        u8"䷀",
        u8"㐀",
        u8"\u4DBF",
        u8"\u9FFF",
        u8"カタカナ",
        u8"\u3099",
        u8"ー",
        u8"\u3000",
        u8"\u00A0",
        u8"\u2000",
        u8"Ġ",
        u8"†",
        u8"ࠀ",
        u8"한국어",
        u8"😀",
        u8"𠀀",
        u8"\u200B",
        u8"1984",
        u8"CJ$",
        u8"cj$",
        u8"C",
        u8"J",
        u8"$",
        u8".",
        u8"\u0300我",
        u8"Все счастливые семьи похожи друг на друга, каждая несчастливая семья ",
        u8"幸福的家庭都是相似的不幸的家庭各有各的不幸我爱你你好幸福的家庭都是相似的",
        u8"lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod"};
    static const char* const invalid[] = {
        "\xFF",     "\x80",         "\xC3", "\xE2\x80", "\xF0\x9F\x98", "\xED\xA0\x80",
        "\xC0\xAF", "\xE0\x80\x80", "\x9D", "\xA0",     "\xD7"};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> roll(0, 99);
    QByteArray text;
    while (text.size() < length) {
        if (allowInvalid && roll(rng) < 3) {
            text.append(invalid[rng() % std::size(invalid)]);
        } else {
            text.append(u8(pieces[pick(rng)]));
        }
    }
    // Never a byte-order mark by chance.
    for (const MarkedForm& form : kMarked) {
        if (text.startsWith(form.mark)) {
            text.prepend('x');
        }
    }
    return text;
}

struct Form {
    QByteArray bytes;
    qint64 expected;
};

// The text without a mark, and, when it is valid, behind each mark in that encoding.
std::vector<Form> formsOf(const QByteArray& text) {
    std::vector<Form> forms;
    const std::optional<qint64> unmarked = referenceUnmarked(text);
    if (unmarked) {
        forms.push_back({text, *unmarked});
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                    QStringConverter::Flag::Stateless);
    const QString decoded = utf8.decode(text);
    if (utf8.hasError()) {
        return forms;
    }
    const qint64 expected = referenceWords(decoded.toUcs4());
    for (const MarkedForm& marked : kMarked) {
        QStringEncoder encode(marked.encoding);
        forms.push_back({marked.mark + QByteArray(encode(decoded)), expected});
    }
    return forms;
}

// Cut points as the count would find them: partStartIn from random places, in order.
std::vector<std::size_t> randomCuts(std::mt19937& rng, const QByteArray& bytes) {
    const auto size = static_cast<std::size_t>(bytes.size());
    const QByteArrayView head(bytes.constData(), std::min<qsizetype>(bytes.size(), 4));
    std::vector<std::size_t> cuts;
    const int tries = static_cast<int>(rng() % 5);
    for (int t = 0; t < tries && size > 0; ++t) {
        const std::size_t from = rng() % size;
        const qint64 found = RuleCounter::partStartIn(WordRule::Unicode, bytes.constData() + from,
                                                      size - from, static_cast<qint64>(from), head);
        if (found >= 0 && from + static_cast<std::size_t>(found) < size) {
            cuts.push_back(from + static_cast<std::size_t>(found));
        }
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    return cuts;
}

// Feeds a part in pieces of random size, some of them shorter than a block.
template <typename Counter>
void feedInPieces(std::mt19937& rng, Counter& counter, const char* data, std::size_t size) {
    for (std::size_t at = 0; at < size;) {
        const std::size_t piece =
            std::min<std::size_t>(size - at, rng() % 3 == 0 ? rng() % 9 + 1 : rng() % 400 + 1);
        counter.feed(data + at, piece);
        at += piece;
    }
}

// Every block scanner agrees with the reference, fed whole from any alignment or in
// pieces, and split into parts wherever partStartIn puts the cuts.
TEST(UnicodeScanEquivalence, ScannersAndPartsMatchTheReference) {
    if (!QStringDecoder("windows-1252").isValid()) {
        GTEST_SKIP() << "this Qt has no Windows-1252 decoder for the reference";
    }
    std::uniform_int_distribution<int> lengthOf(0, 900);
    alignas(64) static char placed[64 + 8192];
    for (const unsigned seed : {1u, 2u, 3u, 5u}) {
        std::mt19937 rng(seed);
        for (int round = 0; round < 150; ++round) {
            const QByteArray text = randomText(rng, lengthOf(rng), round % 2 == 1);
            for (const Form& form : formsOf(text)) {
                const auto size = static_cast<std::size_t>(form.bytes.size());
                ASSERT_LE(size, sizeof placed - 64);
                const std::size_t offset = static_cast<std::size_t>(round) % 64;
                std::copy(form.bytes.cbegin(), form.bytes.cend(), placed + offset);
                const std::vector<std::size_t> cuts = randomCuts(rng, form.bytes);
                for (const WordCounter::Scanner scanner : WordCounter::supportedScanners()) {
                    SCOPED_TRACE(testing::Message() << WordCounter::scannerName(scanner) << " seed "
                                                    << seed << " round " << round << " "
                                                    << form.bytes.left(48).toHex(' ').constData());
                    UnicodeWordCounter whole(scanner);
                    whole.feed(placed + offset, size);
                    ASSERT_EQ(whole.count(), form.expected);
                    UnicodeWordCounter pieces(scanner);
                    feedInPieces(rng, pieces, form.bytes.constData(), size);
                    ASSERT_EQ(pieces.count(), form.expected);

                    std::vector<UnicodeWordCounter::Part> parts;
                    std::size_t begin = 0;
                    for (std::size_t k = 0; k <= cuts.size(); ++k) {
                        const std::size_t end = k < cuts.size() ? cuts[k] : size;
                        UnicodeWordCounter part =
                            k == 0 ? UnicodeWordCounter(scanner)
                                   : UnicodeWordCounter::forLaterPart(
                                         form.bytes.constData(), std::min<std::size_t>(size, 4),
                                         scanner);
                        feedInPieces(rng, part, placed + offset + begin, end - begin);
                        parts.push_back(part.part());
                        begin = end;
                    }
                    ASSERT_EQ(UnicodeWordCounter::combineParts(parts.data(), parts.size()),
                              form.expected)
                        << cuts.size() << " cuts, first at " << (cuts.empty() ? 0 : cuts[0]);
                }
            }
        }
    }
}

// The facade splits as the counter does: the first part decides the encoding itself, the
// later ones take it from the file's head.
TEST(UnicodeScanEquivalence, RuleCounterPartsAddUp) {
    struct Row {
        const char* name;
        QByteArray bytes;
    };
    const QByteArray russian = u8(u8"Все счастливые семьи похожи друг на друга ").repeated(40);
    const QByteArray chinese = u8(u8"幸福的家庭都是相似的 不幸的家庭各有各的不幸 ").repeated(40);
    const Row rows[] = {
        {"russian", russian},
        {"chinese_cut_late", chinese + "CJ$ gone"},
        {"invalid_in_the_last_part", russian + "\xFF"},
        {"invalid_in_the_first_part", "\xE9 " + russian},
        {"utf16", QByteArray("\xFF\xFE") + QByteArray(QStringEncoder(QStringConverter::Utf16LE)(
                                               QString::fromUtf8(russian + chinese)))},
        {"utf32be",
         QByteArray("\0\0\xFE\xFF", 4) + QByteArray(QStringEncoder(QStringConverter::Utf32BE)(
                                             QString::fromUtf8(chinese + russian)))},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RuleCounter whole(WordRule::Unicode);
        whole.feed(row.bytes.constData(), static_cast<std::size_t>(row.bytes.size()));
        const qint64 expected = whole.count();
        const QByteArrayView head(row.bytes.constData(), RuleCounter::kHeadSize);
        // A cut searched for from every 97th byte on.
        for (qsizetype step = 97; step < row.bytes.size(); step += 389) {
            std::vector<RuleCounter::Part> parts;
            qsizetype begin = 0;
            while (begin < row.bytes.size()) {
                const qsizetype from = std::min(begin + step, row.bytes.size());
                const qint64 found = RuleCounter::partStartIn(
                    WordRule::Unicode, row.bytes.constData() + from,
                    static_cast<std::size_t>(row.bytes.size() - from), from, head);
                const qsizetype end = found < 0 ? row.bytes.size() : from + found;
                RuleCounter part = begin == 0 ? RuleCounter(WordRule::Unicode)
                                              : RuleCounter::forLaterPart(WordRule::Unicode, head);
                part.feed(row.bytes.constData() + begin, static_cast<std::size_t>(end - begin));
                parts.push_back(part.part());
                begin = end;
            }
            ASSERT_GT(parts.size(), 1u) << "step " << step;
            ASSERT_EQ(RuleCounter::combineParts(WordRule::Unicode, parts), expected)
                << "step " << step;
        }
    }
}

// Each CPU's byte tests give what the portable ones give, for every byte value.
template <typename Bytes>
void expectLikePortable(const unsigned char* block, const blockscan::HighByteTable& table) {
    const blockscan::TextMasks want =
        blockscan::classifyText<blockscan::PortableBytes>(block, table);
    const blockscan::TextMasks got = blockscan::classifyText<Bytes>(block, table);
    const std::pair<quint64, quint64> fields[] = {
        {got.word, want.word},
        {got.space, want.space},
        {got.dollar, want.dollar},
        {got.high, want.high},
        {got.continuation, want.continuation},
        {got.lead2, want.lead2},
        {got.lead3, want.lead3},
        {got.lead4, want.lead4},
        {got.letterLead, want.letterLead},
        {got.ideographLead, want.ideographLead},
        {got.e4, want.e4},
        {got.b7, want.b7},
        {got.a0, want.a0},
        {got.tableBits, want.tableBits},
    };
    for (std::size_t f = 0; f < std::size(fields); ++f) {
        ASSERT_EQ(fields[f].first, fields[f].second) << "field " << f;
    }
    for (const unsigned char letter : {'c', 'j'}) {
        ASSERT_EQ(blockscan::letterMaskOf<Bytes>(block, letter),
                  blockscan::letterMaskOf<blockscan::PortableBytes>(block, letter));
    }
}

TEST(UnicodeScanBlocks, VectorAndPortableClassifyAlike) {
    blockscan::HighByteTable table;
    std::mt19937 rng(17);
    for (unsigned b = 0x80; b < 0x100; ++b) {
        if (rng() % 3 == 0) {
            table.set(static_cast<unsigned char>(b));
        }
    }
    const QList<WordCounter::Scanner> supported = WordCounter::supportedScanners();
    alignas(64) unsigned char block[blockscan::kBlockSize];
    for (int round = 0; round < 1000; ++round) {
        // The first four rounds hold every byte value once.
        for (int i = 0; i < blockscan::kBlockSize; ++i) {
            block[i] = static_cast<unsigned char>(round < 4 ? round * 64 + i : rng());
        }
        SCOPED_TRACE(testing::Message() << "round " << round);
#ifdef QUORVANE_HAVE_SSE2
        expectLikePortable<blockscan::Sse2Bytes>(block, table);
#endif
#ifdef QUORVANE_HAVE_WIDE_VECTORS
        if (supported.contains(WordCounter::Scanner::Avx2)) {
            expectLikePortable<blockscan::Avx2Bytes>(block, table);
        }
        if (supported.contains(WordCounter::Scanner::Avx512)) {
            expectLikePortable<blockscan::Avx512Bytes>(block, table);
        }
#endif
    }
}

}  // namespace
}  // namespace quorvane
