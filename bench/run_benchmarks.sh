#!/usr/bin/env bash
# Times quorvane-count against wc over a generated corpus and prints the ratios, the peak
# memory on one 1 GiB file and the longest gap between two yields of the count job.
# Usage: bench/run_benchmarks.sh [build-dir]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
counter="$build/cli/quorvane-count"
micro="$build/bench/bench_wordcounter"

if [ ! -x "$counter" ] || [ ! -x "$micro" ]; then
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$build" -j "$(nproc)" --target quorvane-count
    # The micro-benchmark exists only where Google Benchmark was found.
    cmake --build "$build" -j "$(nproc)" --target bench_wordcounter 2>/dev/null || true
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
corpus="$work/corpus"
big="$work/big"
mkdir -p "$corpus" "$big"

files=100
file_size=$((2 * 1024 * 1024))

# Prose-like text: words from a small vocabulary, punctuation, numbers and CR LF line ends.
echo "Generating $files files of $((file_size / 1024 / 1024)) MiB and one 1 GiB file in $work"
awk -v size=$((4 * 1024 * 1024)) 'BEGIN {
    srand(20240607);
    split("the of and to in is was that for it with as his on be at by I had this not are " \
          "but from or have an they which one you were her all she there would their we him " \
          "been has when who will more no if out so said what up its about into than them can " \
          "only other new some could time these two may then do first any my now such like " \
          "Chapter Figure Table Quorvane report, report. data: (see) results; don'\''t 1984 " \
          "3.14 e-mail naïve café", vocab, " ");
    n = length(vocab); out = ""; total = 0; line = 0;
    while (total < size) {
        w = vocab[int(rand() * n) + 1];
        line += length(w) + 1;
        if (line > 72) { out = out w "\r\n"; line = 0 } else { out = out w " " }
        if (length(out) > 65536) { printf "%s", out; total += length(out); out = "" }
    }
    printf "%s", out;
}' > "$work/generated.txt"
head -c $((4 * 1024 * 1024)) "$work/generated.txt" > "$work/base.txt"
cat "$work/base.txt" "$work/base.txt" > "$work/base2.txt"
for ((i = 0; i < files; i++)); do
    dd if="$work/base2.txt" of="$corpus/part$i.txt" iflag=skip_bytes,count_bytes \
        skip=$((i * 20011)) count="$file_size" status=none
done
for ((i = 0; i < 256; i++)); do cat "$work/base.txt"; done > "$big/one.txt"
rm -f "$work/generated.txt" "$work/base.txt" "$work/base2.txt"

corpus_files=("$corpus"/part*.txt)
cat "${corpus_files[@]}" > /dev/null  # into the page cache

now_ns() { date +%s%N; }

# Best of three wall-clock times, in seconds.
best_of_3() {
    local best="" start end t
    for _ in 1 2 3; do
        start=$(now_ns)
        "$@" > /dev/null
        end=$(now_ns)
        t=$((end - start))
        if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
    done
    awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}

report="$work/tallix.txt"
t_count=$(best_of_3 "$counter" --output "$report" "$corpus")
t_wcw=$(best_of_3 env LC_ALL=C wc -w "${corpus_files[@]}")
t_wcl=$(best_of_3 wc -l "${corpus_files[@]}")

bytes=$(cat "${corpus_files[@]}" | wc -c)
echo
echo "Corpus: $files files, $((bytes / 1024 / 1024)) MiB, in the page cache; best of 3"
printf '  quorvane-count    %8.4f s  (%.0f MiB/s)\n' "$t_count" \
    "$(awk -v b="$bytes" -v t="$t_count" 'BEGIN { print b / 1048576 / t }')"
printf '  LC_ALL=C wc -w    %8.4f s\n' "$t_wcw"
printf '  wc -l             %8.4f s\n' "$t_wcl"
awk -v c="$t_count" -v w="$t_wcw" -v l="$t_wcl" 'BEGIN {
    printf "  wc -w / quorvane-count = %.1fx faster  (target: at least 10x)\n", w / c;
    printf "  quorvane-count / wc -l = %.2fx the time (target: at most 3x)\n", c / l;
}'

# The two counters split words differently ("don't", "e-mail" and line ends), so their
# totals differ; quorvane-count's is shown for reference.
echo "  quorvane-count total: $(tail -n 1 "$report" | tr -d '\r')"

echo
echo "One 1 GiB file:"
cat "$big/one.txt" > /dev/null
if [ -x /usr/bin/time ]; then
    /usr/bin/time -v "$counter" --report-yield-gap --output "$work/big-report.txt" "$big" \
        2> "$work/time.txt"
    rss_kib=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' \
        "$work/time.txt")
    printf '  peak memory (max RSS): %.1f MiB  (target: under 64 MiB)\n' \
        "$(awk -v k="$rss_kib" 'BEGIN { print k / 1024 }')"
    grep 'longest gap' "$work/time.txt" | sed 's/^/  1 GiB file: /'
else
    echo "  /usr/bin/time is missing (Debian package 'time'): peak memory not measured"
    "$counter" --report-yield-gap --output "$work/big-report.txt" "$big" 2>&1 \
        | sed 's/^/  1 GiB file: /'
fi

echo
echo "Longest gap between two yields (target: at most 20 ms):"
"$counter" --report-yield-gap --output "$report" "$corpus" 2>&1 | sed 's/^/  corpus: /'

if [ -x "$micro" ]; then
    echo
    echo "Streaming counter on text in memory:"
    "$micro" --benchmark_min_time=0.5 2>/dev/null | sed 's/^/  /'
fi
