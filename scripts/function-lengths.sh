#!/usr/bin/env bash
# Lists the longest functions of the production code, longest first: name, lines, place.
# Usage: scripts/function-lengths.sh [how-many] (default 20). Needs Universal Ctags.
set -euo pipefail
cd "$(dirname "$0")/.."
ctags -x --_xformat='%N %e %n %F' --c++-kinds=f --fields=+ne -R --languages=C++ \
    count documents cli platform window about |
    awk '{ printf "%5d  %s  %s:%s\n", $2 - $3 + 1, $1, $4, $3 }' |
    sort -rn | head -n "${1:-20}"
