// Throughput of the streaming word counters on text that is already in memory.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include <random>

#include "count/UnicodeWordCounter.h"
#include "count/WordCounter.h"

namespace {

constexpr qsizetype kCorpusSize = 64 * 1024 * 1024;
constexpr qsizetype kReadSize = 64 * 1024;  // what the count job reads at a time

// Prose-like text: words of 1..12 letters, punctuation, digits, line ends; optionally a
// "CJ$" in some letter case every few dozen bytes, the counter's slowest input.
QByteArray makeCorpus(bool manyCuts) {
    std::mt19937 rng(20240607);
    QByteArray text;
    text.reserve(kCorpusSize + 64);
    std::uniform_int_distribution<int> length(1, 12);
    std::uniform_int_distribution<int> letter(0, 25);
    std::uniform_int_distribution<int> roll(0, 99);
    static const char* const cuts[] = {"CJ$", "cj$", "Cj$", "cJ$"};
    while (text.size() < kCorpusSize) {
        const int n = length(rng);
        for (int i = 0; i < n; ++i) {
            text.append(static_cast<char>((roll(rng) < 5 ? 'A' : 'a') + letter(rng)));
        }
        const int r = roll(rng);
        if (manyCuts && r < 10) {
            text.append(cuts[r % 4]);
        } else if (r < 8) {
            text.append(", ");
        } else if (r < 12) {
            text.append(".\r\n");
        } else if (r < 14) {
            text.append(" 1984 ");
        } else {
            text.append(' ');
        }
    }
    text.truncate(kCorpusSize);
    return text;
}

// Either counter with the block classifier named by the benchmark's argument
// (0 portable, 1 SSE2, 2 AVX2, 3 AVX-512, 4 AVX-512 with byte permutes), so each can be compared
// with the others.
template <typename Counter>
Counter makeCounter(const benchmark::State& state) {
    return Counter(static_cast<quorvane::WordCounter::Scanner>(state.range(0)));
}

template <typename Counter = quorvane::WordCounter>
void countCorpus(benchmark::State& state, const QByteArray& corpus) {
    const auto scanner = static_cast<quorvane::WordCounter::Scanner>(state.range(0));
    if (!quorvane::WordCounter::supportedScanners().contains(scanner)) {
        state.SkipWithError("this CPU lacks the instructions");
        return;
    }
    state.SetLabel(quorvane::WordCounter::scannerName(scanner));
    qint64 words = 0;
    for (auto _ : state) {
        Counter counter = makeCounter<Counter>(state);
        for (qsizetype at = 0; at < corpus.size(); at += kReadSize) {
            counter.feed(corpus.constData() + at,
                         static_cast<std::size_t>(qMin(kReadSize, corpus.size() - at)));
        }
        words = counter.count();
        benchmark::DoNotOptimize(words);
    }
    state.SetBytesProcessed(state.iterations() * corpus.size());
    state.counters["words"] = static_cast<double>(words);
}

// The way the count job feeds the counter: a 64 KiB buffer that a read() has just filled,
// so the bytes come from the cache, not from main memory as above.
void countInCache(benchmark::State& state, const QByteArray& corpus) {
    const auto scanner = static_cast<quorvane::WordCounter::Scanner>(state.range(0));
    if (!quorvane::WordCounter::supportedScanners().contains(scanner)) {
        state.SkipWithError("this CPU lacks the instructions");
        return;
    }
    state.SetLabel(quorvane::WordCounter::scannerName(scanner));
    const QByteArray piece = corpus.left(kReadSize);
    quorvane::WordCounter counter(scanner);
    for (auto _ : state) {
        counter.feed(piece.constData(), static_cast<std::size_t>(piece.size()));
    }
    benchmark::DoNotOptimize(counter.count());
    state.SetBytesProcessed(state.iterations() * piece.size());
}

void BM_ProseInCache(benchmark::State& state) {
    static const QByteArray corpus = makeCorpus(false);
    countInCache(state, corpus);
}

void BM_ManyCutsInCache(benchmark::State& state) {
    static const QByteArray corpus = makeCorpus(true);
    countInCache(state, corpus);
}

void BM_BinaryNoiseInCache(benchmark::State& state) {
    std::mt19937 rng(7);
    QByteArray bytes(kReadSize, Qt::Uninitialized);
    for (char& b : bytes) {
        b = static_cast<char>(rng());
    }
    countInCache(state, bytes);
}

void BM_Prose(benchmark::State& state) {
    static const QByteArray corpus = makeCorpus(false);
    countCorpus(state, corpus);
}

void BM_ManyCuts(benchmark::State& state) {
    static const QByteArray corpus = makeCorpus(true);
    countCorpus(state, corpus);
}

void BM_BinaryNoise(benchmark::State& state) {
    static const QByteArray corpus = [] {
        std::mt19937 rng(7);
        QByteArray bytes(kCorpusSize, Qt::Uninitialized);
        for (char& b : bytes) {
            b = static_cast<char>(rng());
        }
        return bytes;
    }();
    countCorpus(state, corpus);
}

void BM_Bytewise(benchmark::State& state) {
    static const QByteArray corpus = makeCorpus(false);
    for (auto _ : state) {
        quorvane::WordCounter counter;
        counter.feedBytewise(corpus.constData(), static_cast<std::size_t>(corpus.size()));
        benchmark::DoNotOptimize(counter.count());
    }
    state.SetBytesProcessed(state.iterations() * corpus.size());
}

// Text in another script: the words of a short sample, shuffled, separated by spaces and
// now and then punctuation and a line end.
QByteArray makeScriptCorpus(const char8_t* sample) {
    const QList<QByteArray> words = QByteArray(reinterpret_cast<const char*>(sample)).split(' ');
    std::mt19937 rng(11);
    std::uniform_int_distribution<qsizetype> pick(0, words.size() - 1);
    std::uniform_int_distribution<int> roll(0, 99);
    QByteArray text;
    text.reserve(kCorpusSize + 64);
    while (text.size() < kCorpusSize) {
        text.append(words[pick(rng)]);
        const int r = roll(rng);
        text.append(r < 8 ? ", " : r < 12 ? ".\r\n" : " ");
    }
    // Whole characters only, or the end would make the text Windows-1252.
    qsizetype end = kCorpusSize;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.truncate(end);
    return text;
}

// English prose as it is usually typed: ASCII, with a curly quote, a dash or an accented
// word every few hundred bytes.
QByteArray makeTypographicCorpus() {
    QByteArray text = makeCorpus(false);
    std::mt19937 rng(5);
    static const char* const extras[] = {"\xE2\x80\x99", "\xE2\x80\x94", "caf\xC3\xA9",
                                         "\xE2\x80\x9C"};
    QByteArray out;
    out.reserve(text.size() + text.size() / 50);
    for (qsizetype at = 0; at < text.size(); at += 300) {
        out.append(text.mid(at, 300));
        out.append(extras[rng() % 4]);
    }
    return out;
}

void BM_UnicodeProse(benchmark::State& state) {
    static const QByteArray corpus = makeCorpus(false);
    countCorpus<quorvane::UnicodeWordCounter>(state, corpus);
}

void BM_UnicodeTypographicProse(benchmark::State& state) {
    static const QByteArray corpus = makeTypographicCorpus();
    countCorpus<quorvane::UnicodeWordCounter>(state, corpus);
}

void BM_UnicodeWindows1252(benchmark::State& state) {
    static const QByteArray corpus = [] {
        QByteArray text = makeTypographicCorpus();
        text.replace("\xE2\x80\x99", "\x92").replace("\xC3\xA9", "\xE9");
        return text;
    }();
    countCorpus<quorvane::UnicodeWordCounter>(state, corpus);
}

void BM_UnicodeRussian(benchmark::State& state) {
    static const QByteArray corpus = makeScriptCorpus(
        u8"Все счастливые семьи похожи друг на друга каждая несчастливая семья несчастлива "
        u8"по своему");
    countCorpus<quorvane::UnicodeWordCounter>(state, corpus);
}

void BM_UnicodeChinese(benchmark::State& state) {
    static const QByteArray corpus =
        makeScriptCorpus(u8"幸福的家庭都是相似的 不幸的家庭各有各的不幸 我爱你 你好");
    countCorpus<quorvane::UnicodeWordCounter>(state, corpus);
}

}  // namespace

BENCHMARK(BM_Prose)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProseInCache)->DenseRange(0, 4);
BENCHMARK(BM_ManyCutsInCache)->DenseRange(0, 4);
BENCHMARK(BM_BinaryNoiseInCache)->DenseRange(0, 4);
BENCHMARK(BM_ManyCuts)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BinaryNoise)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bytewise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnicodeProse)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnicodeTypographicProse)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnicodeWindows1252)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnicodeRussian)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnicodeChinese)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
