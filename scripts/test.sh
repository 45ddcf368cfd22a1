#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# Usage: scripts/test.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true

"$root/scripts/install-deps.sh"
# The folder may have been configured without tests (by hand, or by an older run.sh) and
# CMake keeps that; the tests are switched on last so that nothing can leave them out.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" -DQUORVANE_BUILD_TESTS=ON
cmake --build "$build" -j "$(nproc)"
# A run that finds no tests has tested nothing and must not pass.
ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$(nproc)"
