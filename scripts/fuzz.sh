#!/usr/bin/env bash
# Fuzzes every document reader for a bounded time: builds the libFuzzer targets of
# tests/fuzz with clang, then runs each from a copy of its seeds (the fixtures of its kind)
# with its dictionary, as many at once as there are cores. Work files go to a temporary
# folder, never into the source tree.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (30 by default)
#   QUORVANE_FUZZ_BUILD   the build folder (build-fuzz in the source tree by default)
#   QUORVANE_FUZZ_TARGETS the targets to run, space separated (all by default)
# Exits non-zero when a target crashed, leaked, ran over its time or memory, naming the
# target and the input it saved.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build=${QUORVANE_FUZZ_BUILD:-"$root/build-fuzz"}
jobs=$(nproc)

"$root/scripts/install-deps.sh" --fuzz
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DQUORVANE_FUZZ=ON -DQUORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_all -j "$jobs"

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-fuzz.XXXXXX")
manifest="$build/tests/fuzz/fuzz-targets.txt"
wanted=${QUORVANE_FUZZ_TARGETS:-}

# run_target NAME DICT SEED...: one target in its own folder; its log is NAME/log.
run_target() {
    local name=$1 dict=$2
    shift 2
    local dir="$work/$name"
    mkdir -p "$dir/corpus" "$dir/found"
    cp "$@" "$dir/corpus/"
    # A crash, leak, time-out or allocation over the limit stops the target and leaves
    # the input in found/; the exit status says that it did.
    # glib and libgsf keep no frame pointers: only the slow unwinder reaches the libgsf
    # function that the leak suppression names.
    local unwind=""
    [ "$name" = fuzz_doc ] && unwind=":fast_unwind_on_malloc=0"
    (cd "$dir" && LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp:print_suppressions=0" \
        ASAN_OPTIONS="${ASAN_OPTIONS:-}${unwind}" "$build/tests/fuzz/$name" -max_total_time="$seconds" -timeout=2 \
        -malloc_limit_mb=64 -rss_limit_mb=2048 -dict="$dict" -print_final_stats=1 \
        -artifact_prefix="$dir/found/" corpus >"$dir/log" 2>&1)
}

names=()
while read -r name dict seeds; do
    if [ -n "$wanted" ] && [[ " $wanted " != *" $name "* ]]; then
        continue
    fi
    # At most as many targets at once as there are cores.
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true  # the status is in the target's folder
    done
    echo "fuzzing $name for ${seconds}s"
    # shellcheck disable=SC2086  # the seeds are paths without spaces, one word each
    (if run_target "$name" "$dict" $seeds; then echo 0; else echo $?; fi >"$work/$name.status") &
    names+=("$name")
done <"$manifest"
wait

failed=0
for name in "${names[@]}"; do
    if [ "$(cat "$work/$name.status")" = 0 ]; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name/log")
        echo "$name: no fault in ${runs:-?} runs"
        continue
    fi
    failed=1
    echo "FAULT in $name:"
    grep -E "^==[0-9]+==ERROR|SUMMARY|ALARM: working on the last Unit|out-of-memory|runtime error|document text " \
        "$work/$name/log" | head -5 | sed 's/^/    /'
    for input in "$work/$name"/found/*; do
        [ -e "$input" ] && echo "    saved input: $input"
    done
    echo "    log: $work/$name/log"
done

if [ "$failed" = 0 ]; then
    rm -rf "$work"
    echo "fuzzing found nothing"
fi
exit "$failed"
