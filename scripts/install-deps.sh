#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that building, running and testing Quorvane need,
# and only those that are missing, so a second call costs nothing.
# Usage: scripts/install-deps.sh [--windows-check] [--fuzz] [--package] [--bench]
#   --windows-check (or QUORVANE_WINDOWS_CHECK=1) adds the MinGW-w64 cross compiler that
#   scripts/check-windows.sh needs; nothing else needs it.
#   --fuzz (or QUORVANE_FUZZ=1) adds clang and its libFuzzer runtime for scripts/fuzz.sh.
#   --package (or QUORVANE_PACKAGE=1) adds what scripts/package.sh and
#   scripts/package-test.sh need: the Debian packaging tools, every Build-Depends of
#   debian/control, and man-db for the installed manual pages.
#   --bench (or QUORVANE_BENCH=1) adds what bench/run_benchmarks.sh uses beyond the build:
#   an X server for the window (xvfb), /usr/bin/time for peak memory, and perl.
set -euo pipefail

windows_check=${QUORVANE_WINDOWS_CHECK:-0}
fuzz=${QUORVANE_FUZZ:-0}
package=${QUORVANE_PACKAGE:-0}
bench=${QUORVANE_BENCH:-0}
for arg in "$@"; do
    case "$arg" in
        --windows-check) windows_check=1 ;;
        --fuzz) fuzz=1 ;;
        --package) package=1 ;;
        --bench) bench=1 ;;
        *) echo "usage: $0 [--windows-check] [--fuzz] [--package] [--bench]" >&2; exit 1 ;;
    esac
done

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "install-deps.sh: no dpkg on this system, nothing installed;" \
         "install CMake, a C++20 compiler, Qt 6 and GoogleTest yourself." >&2
    exit 0
fi

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-qpa-plugins qt6-wayland libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    desktop-file-utils appstream fonts-dejavu-core fonts-liberation2
    libzip-dev libpoppler-private-dev poppler-data libxml2-dev libgsf-1-dev libseccomp-dev
    liburing-dev
    libmd4c-dev
)
if [ "$windows_check" = 1 ]; then
    packages+=(g++-mingw-w64-x86-64-posix)
fi
if [ "$package" = 1 ]; then
    # Kept in step with Build-Depends in debian/control, which dpkg-buildpackage checks.
    packages+=(devscripts debhelper lintian dpkg-dev man-db)
fi
if [ "$bench" = 1 ]; then
    packages+=(xvfb xauth time perl)
fi
if [ "$fuzz" = 1 ]; then
    # libclang-rt-dev is the runtime (libFuzzer, the sanitizers) of Debian's default clang.
    packages+=(clang libclang-rt-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
