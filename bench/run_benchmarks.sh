#!/usr/bin/env bash
# Times quorvane-count against wc and a minimal Qt Core program on generated folders and
# prints every target with its figure and PASS or FAIL: start-up, a corpus of 100 files
# (200 MiB), one 1 GiB file, 100,000 small files (listing, the headless counter, and a
# whole run of the window, offscreen and under Xvfb), 1,000,000 small files, peak memory,
# the longest stretch without handling events, and the counter in memory. Every
# comparison is timed as pairs in alternation (A B A B ...) and quoted as medians.
# Usage: bench/run_benchmarks.sh [build-dir]
#   QUORVANE_BENCH_RUNS=N   pairs per comparison (default 9)
#   QUORVANE_BENCH_WINDOW_PAIRS=N  window runs paired with CLI runs (default 5)
#   QUORVANE_BENCH_MILLION=0 leaves out the million files (1.6 GB on disk, a few minutes)
# Run it on a quiet machine: other work on the same cores changes every figure.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
counter="$build/cli/quorvane-count"
micro="$build/bench/bench_wordcounter"
folder_bench="$build/bench/bench_folder"
minimal="$build/bench/bench_minimal_qt"

"$root/scripts/install-deps.sh" --bench
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target quorvane-count
# The micro-benchmarks exist only where Google Benchmark was found.
cmake --build "$build" -j "$(nproc)" --target bench_wordcounter bench_folder bench_minimal_qt \
    2>/dev/null || true

# What the figures were measured on.
echo "CPU:    $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), $(nproc) cores"
echo "Kernel: $(uname -sr)"
echo "Build:  $(awk -F= '/^CMAKE_BUILD_TYPE:/ { print $2 }' "$build/CMakeCache.txt") in $build"
echo "Commit: $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)$(
    git -C "$root" diff --quiet HEAD 2>/dev/null || echo ' (with changes not committed)')"

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
corpus="$work/corpus"
big="$work/big"
small="$work/small"
mkdir -p "$corpus" "$big" "$small"

files=100
file_size=$((2 * 1024 * 1024))
small_files=100000

# Prose-like text: words from a small vocabulary, punctuation, numbers and CR LF line ends.
echo "Generating $files files of 2 MiB, one 1 GiB file and $small_files small files in $work"
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
# 100,000 files of 1,600 bytes each, named f000000...
for ((i = 0; i < 39; i++)); do cat "$work/base.txt"; done > "$work/smalls.txt"
truncate -s $((small_files * 1600)) "$work/smalls.txt"
(cd "$small" && split -a 6 -d -b 1600 "$work/smalls.txt" f)
rm -f "$work/smalls.txt"
million=""
if [ "${QUORVANE_BENCH_MILLION:-1}" != 0 ]; then
    # Ten links to each of the 100,000 in one folder: a million names of the same kind,
    # without another 1.5 GB of data to write.
    million="$work/million"
    mkdir -p "$million"
    perl -e 'opendir(my $d, $ARGV[0]) or die; my @n = grep { /^f/ } readdir($d);
             for my $i (0 .. 9) { link("$ARGV[0]/$_", "$ARGV[1]/$i$_") or die "$!" for @n }' \
        "$small" "$million"
fi
rm -f "$work/generated.txt" "$work/base.txt" "$work/base2.txt"

corpus_files=("$corpus"/part*.txt)
# The page cache as counting a folder read from disk finds it. Files just written hold
# their pages as they were written: dd above wrote the corpus 512 bytes at a time, which
# leaves every 4 KiB page a separate piece of the cache, and reading them then costs a
# lookup per page, for wc as for us. Read back from disk, the cache holds them in the
# larger pieces read-ahead asks for. A copy kept as written shows that case beside the
# target.
written="$work/corpus-as-written"
mkdir -p "$written"
for f in "${corpus_files[@]}"; do
    dd if="$f" of="$written/$(basename "$f")" bs=512 status=none
done
sync
for f in "${corpus_files[@]}" "$big/one.txt"; do
    dd if="$f" iflag=nocache count=0 status=none  # out of the page cache
done
cat "${corpus_files[@]}" "$big/one.txt" "$written"/* > /dev/null  # back into it
find "$small" -type f -exec cat {} + > /dev/null

# Wall-clock nanoseconds without starting a process, so that a short command (a
# start-up of a few milliseconds) is timed as it is.
now_ns() { local t=${EPOCHREALTIME/./}; echo "${t}000"; }

# The median of the first n values of v (sorted in place), for the awk programs below.
awk_median='
    function median(v, n,   i, j, t) {
        for (i = 2; i <= n; i++) { t = v[i]; for (j = i - 1; j >= 1 && v[j] > t; j--) v[j + 1] = v[j]; v[j + 1] = t }
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }'

# paired RUNS A-COMMAND... --vs B-COMMAND...
# Runs A and B in turn (one warm-up each, then A B A B ... RUNS pairs) and prints the
# median seconds of A, of B, and the median of the pair-by-pair ratio A/B: a comparison
# that holds when the machine's speed drifts during the run.
paired() {
    local runs=$1 a=() b=() i s e
    shift
    while [ "$1" != --vs ]; do a+=("$1"); shift; done
    shift
    b=("$@")
    "${a[@]}" > /dev/null 2>&1 || true
    "${b[@]}" > /dev/null 2>&1 || true
    : > "$work/pairs.txt"
    for ((i = 0; i < runs; i++)); do
        s=$(now_ns); "${a[@]}" > /dev/null 2>&1 || true; e=$(now_ns)
        local ta=$((e - s))
        s=$(now_ns); "${b[@]}" > /dev/null 2>&1 || true; e=$(now_ns)
        echo "$ta $((e - s))" >> "$work/pairs.txt"
    done
    awk "$awk_median"'
        { n++; a[n] = $1; b[n] = $2; r[n] = $1 / $2 }
        END { printf "%.4f %.4f %.3f\n", median(a, n) / 1e9, median(b, n) / 1e9, median(r, n) }
    ' "$work/pairs.txt"
}
RUNS=${QUORVANE_BENCH_RUNS:-9}

failures=0
# target NAME FIGURE-TEXT OK(1/0)
target() {
    local verdict=PASS
    if [ "$3" != 1 ]; then verdict=FAIL; failures=$((failures + 1)); fi
    printf '  %-4s  %-60s %s\n' "$verdict" "$1" "$2"
}
le() { awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b) ? 1 : 0 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

peak_mib() {  # runs a command, prints its peak memory in MiB
    /usr/bin/time -f '%M' -o "$work/rss.txt" "$@" > /dev/null 2>&1 || true
    awk '{ printf "%.1f", $1 / 1024 }' "$work/rss.txt"
}

# compare LABEL LIMIT A... --vs B...: a paired comparison as a target, A/B at most LIMIT.
compare() {
    local label=$1 limit=$2 ta tb r
    shift 2
    read -r ta tb r < <(paired "$RUNS" "$@")
    target "$label" "$ta s vs $tb s, median ratio ${r}x" "$(le "$r" "$limit")"
}
# faster LABEL TIMES A... --vs B...: A at least TIMES faster than B.
faster() {
    local label=$1 times=$2 ta tb r
    shift 2
    read -r ta tb r < <(paired "$RUNS" "$@")
    local speedup
    speedup=$(awk -v r="$r" 'BEGIN { printf "%.1f", 1 / r }')
    target "$label" "$ta s vs $tb s, median ${speedup}x faster" "$(le "$times" "$speedup")"
}

echo
echo "Targets (paired runs in alternation, medians of $RUNS, page cache warm):"
report="$work/tallix.txt"
one="$work/one-small"
mkdir -p "$one"
cp "$small/f000000" "$one/"
if [ -x "$minimal" ]; then
    compare "start-up: --version within 1.25x a minimal Qt Core program" 1.25 \
        "$counter" --version --vs "$minimal" --version
    compare "start-up: one small file within 1.5x a minimal Qt Core program" 1.5 \
        "$counter" --output "$report" "$one" --vs "$minimal" --version
fi
for what in corpus big; do
    if [ "$what" = corpus ]; then set -- "${corpus_files[@]}"; dir=$corpus; label="corpus (200 MiB)"; limit=0.75
    else set -- "$big/one.txt"; dir=$big; label="1 GiB file"; limit=0.9; fi
    compare "$label: at most ${limit}x wc -l" "$limit" \
        "$counter" --output "$report" "$dir" --vs wc -l "$@"
    faster "$label: at least 30x faster than LC_ALL=C wc -w" 30 \
        "$counter" --output "$report" "$dir" --vs env LC_ALL=C wc -w "$@"
    if [ "$what" = corpus ]; then
        read -r ta tb r < <(paired "$RUNS" "$counter" --output "$report" "$written" \
                                --vs wc -l "$written"/part*.txt)
        echo "  info  the corpus as written 512 bytes at a time: $ta s vs wc -l $tb s, ${r}x"
    fi
    # Reading into a buffer against counting mapped pages, the same files in turn.
    if "$counter" --io read --version > /dev/null 2>&1; then
        read -r ta tb r < <(paired "$RUNS" "$counter" --io map --output "$report" "$dir" \
                                --vs "$counter" --io read --output "$report" "$dir")
        echo "  info  $label: mapped $ta s, read $tb s, mapped/read ${r}x"
    fi
done

read -r t_small _ _ < <(paired "$RUNS" "$counter" --output "$report" "$small" --vs true)
target "100,000 small files: counted by the CLI in under 0.6 s" "$t_small s (median)" "$(le "$t_small" 0.6)"
# Runs of small files read ahead together (io_uring) against one file at a time.
if "$counter" --io each --version > /dev/null 2>&1; then
    read -r ta tb r < <(paired "$RUNS" "$counter" --output "$report" "$small" \
                            --vs "$counter" --io each --output "$report" "$small")
    echo "  info  100,000 small files: read ahead $ta s, one at a time $tb s, ${r}x"
fi
# Against a JSON report of the same files: reading it and matching every path by name.
earlier="$work/earlier.json"
"$counter" --format json --output "$earlier" "$small" > /dev/null 2>&1 || true
# A limit of 10% on a cost of a few per cent, on runs that vary by a tenth from one to the
# next: more pairs than the others, so that the median holds.
RUNS_BEFORE=$RUNS
RUNS=$((RUNS > 15 ? RUNS : 15))
compare "100,000 small files: --compare with their earlier report adds under 10%" 1.10 \
    "$counter" --compare "$earlier" --output "$report" "$small" \
    --vs "$counter" --output "$report" "$small"
RUNS=$RUNS_BEFORE
# window_paired PAIRS COMMAND...: the window benchmark (COMMAND, the median of its three
# runs) and three runs of the CLI (their median) in turn, PAIRS times. Prints the medians
# of the window, of the CLI and of the pair-by-pair ratio, the longest the window went
# without handling events in any run, and the median time to list the folder.
window_paired() {
    local pairs=$1 i j s e out
    shift
    : > "$work/window-pairs.txt"
    for ((i = 0; i < pairs; i++)); do
        out=$("$@" 2>/dev/null) || true
        : > "$work/cli-runs.txt"
        for ((j = 0; j < 3; j++)); do
            s=$(now_ns); "$counter" --output "$report" "$small" > /dev/null 2>&1 || true; e=$(now_ns)
            echo $((e - s)) >> "$work/cli-runs.txt"
        done
        echo "$(awk '/^window run:/ { print $3 }' <<<"$out") $(sort -n "$work/cli-runs.txt" |
            awk 'NR == 2 { print $1 / 1e9 }') $(awk '/^longest without/ { print $(NF - 1) }' <<<"$out"
            ) $(awk '/^listing:/ { print $(NF - 1) }' <<<"$out")" >> "$work/window-pairs.txt"
    done
    awk "$awk_median"'
        NF == 4 { n++; w[n] = $1; c[n] = $2; r[n] = $1 / $2; l[n] = $4; if ($3 > g) g = $3 }
        END { if (n) printf "%.3f %.3f %.2f %.2f %.3f\n", median(w, n), median(c, n), median(r, n), g, median(l, n) }
    ' "$work/window-pairs.txt"
}
WINDOW_PAIRS=${QUORVANE_BENCH_WINDOW_PAIRS:-5}

if [ -x "$folder_bench" ]; then
    cfg="$work/config"
    mkdir -p "$cfg"
    read -r t_window t_cli r gap t_list < <(window_paired "$WINDOW_PAIRS" \
        env XDG_CONFIG_HOME="$cfg" QT_QPA_PLATFORM=offscreen "$folder_bench" "$small")
    target "100,000 small files: listed in under 0.2 s" "$t_list s (median)" "$(le "$t_list" 0.2)"
    target "100,000 small files: window (offscreen) at most 1.15x the CLI" \
        "$t_window s vs $t_cli s, median ratio ${r}x" "$(le "$r" 1.15)"
    target "window (offscreen): never longer than 10 ms without handling events" \
        "$gap ms (longest of $((3 * WINDOW_PAIRS)) runs)" "$(le "$gap" 10)"
    if command -v xvfb-run > /dev/null; then
        read -r t_window t_cli r gap _ < <(window_paired "$WINDOW_PAIRS" \
            env XDG_CONFIG_HOME="$cfg" QT_QPA_PLATFORM=xcb \
            xvfb-run -a -s '-screen 0 1280x1024x24' "$folder_bench" --show "$small")
        target "100,000 small files: window under Xvfb at most 1.15x the CLI" \
            "$t_window s vs $t_cli s, median ratio ${r}x" "$(le "$r" 1.15)"
        target "window (Xvfb): never longer than 10 ms without handling events" \
            "$gap ms (longest of $((3 * WINDOW_PAIRS)) runs)" "$(le "$gap" 10)"
    else
        echo "  (xvfb-run is missing, Debian package 'xvfb': the window under X not measured)"
    fi
fi

if [ -n "$million" ]; then
    read -r t_million t_hundred r < <(paired 5 "$counter" --output "$report" "$million" \
                                         --vs "$counter" --output "$report" "$small")
    target "1,000,000 small files: at most 10.5x the time of 100,000" \
        "$t_million s vs $t_hundred s, median ratio ${r}x" "$(le "$r" 10.5)"
fi

if [ -x /usr/bin/time ]; then
    m_big=$(peak_mib "$counter" --output "$report" "$big")
    m_small=$(peak_mib "$counter" --output "$report" "$small")
    target "peak memory, 1 GiB file, under 64 MiB" "$m_big MiB" "$(le "$m_big" 64)"
    target "peak memory, 100,000 files, under 64 MiB" "$m_small MiB" "$(le "$m_small" 64)"
    if [ -n "$million" ]; then
        m_million=$(peak_mib "$counter" --output "$report" "$million")
        target "peak memory, 1,000,000 files, under 64 MiB" "$m_million MiB" "$(le "$m_million" 64)"
    fi
else
    echo "  (/usr/bin/time is missing, Debian package 'time': peak memory not measured)"
fi

gap_big=$("$counter" --report-yield-gap --output "$report" "$big" 2>&1 | awk '/longest gap/ { print $(NF - 1) }')
gap_corpus=$("$counter" --report-yield-gap --output "$report" "$corpus" 2>&1 | awk '/longest gap/ { print $(NF - 1) }')
target "count job: yields at least every 10 ms (1 GiB file)" "$gap_big ms" "$(le "$gap_big" 10)"
target "count job: yields at least every 10 ms (corpus)" "$gap_corpus ms" "$(le "$gap_corpus" 10)"

if [ -x "$micro" ]; then
    # The figure to beat: the SSE2 classifier every x86-64 has, which was the counter's
    # only one and counts as fast as that counter did, measured in the same run on a
    # buffer in the cache, as the count job feeds the counter (the corpora streamed from
    # main memory follow below, for reference).
    "$micro" --benchmark_filter='InCache/' --benchmark_min_time=0.3 \
        --benchmark_format=csv 2>/dev/null > "$work/micro.csv" || true
    for corpus_name in ProseInCache ManyCutsInCache BinaryNoiseInCache; do
        base=$(awk -F, -v n="\"BM_${corpus_name}/1\"" '$1 == n { print $6 }' "$work/micro.csv")
        best=$(awk -F, -v p="\"BM_${corpus_name}/" '
            index($1, p) == 1 && $6 != "" && $6 + 0 > b + 0 { b = $6 } END { print b }' "$work/micro.csv")
        if [ -n "$base" ] && [ -n "$best" ]; then
            target "counter, $corpus_name: 3x the SSE2 figure" \
                "$(awk -v v="$best" 'BEGIN { printf "%.2f", v / 1e9 }') GB/s vs $(awk -v v="$base" 'BEGIN { printf "%.2f", v / 1e9 }') GB/s = $(ratio "$best" "$base")x" \
                "$(le 3 "$(ratio "$best" "$base")")"
        fi
    done
    echo
    echo "Counters in memory:"
    "$micro" --benchmark_min_time=0.3 2>/dev/null | sed 's/^/  /'
fi

echo
echo "quorvane-count total on the corpus: $(tail -n 1 "$report" | tr -d '\r')"
echo "$failures target(s) failed"
