// Throughput of the streaming word counter on text that is already in memory.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include <random>

#include "WordCounter.h"

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

void countCorpus(benchmark::State& state, const QByteArray& corpus) {
    qint64 words = 0;
    for (auto _ : state) {
        quorvane::WordCounter counter;
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

}  // namespace

BENCHMARK(BM_Prose)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ManyCuts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BinaryNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bytewise)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
