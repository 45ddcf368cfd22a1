#!/usr/bin/env bash
# Installs what is missing, builds Quorvane and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

"$root/scripts/install-deps.sh"
# The same build folder as scripts/test.sh, so the options are left as they are: only the
# two programs are built here, and an option set here would stay in the folder's cache and
# change what a later scripts/test.sh builds.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)" --target quorvane quorvane-count
exec "$build/window/quorvane" "$@"
