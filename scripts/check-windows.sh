#!/usr/bin/env bash
# Compiles every production source as the Windows build would (syntax and warnings only,
# nothing is linked), with Debian's MinGW-w64 cross compiler against Debian's Qt 6 headers,
# so that a Linux machine catches what would break on Windows: a POSIX call that slipped
# out of platform/posix, a Windows call misspelt in platform/win, a system check outside
# platform/. Tests and benchmarks are left out; so are the platform/posix sources, which
# the Windows build does not compile, and the document readers, which it leaves out unless
# QUORVANE_DOCUMENT_TEXT is switched on there (documents/CMakeLists.txt).
#
# Usage: scripts/check-windows.sh [--with-document-text]
#   --with-document-text also checks the document readers, as a Windows build with
#   QUORVANE_DOCUMENT_TEXT=ON would compile them.
#   The compiler comes with `scripts/install-deps.sh --windows-check`. QUORVANE_MINGW_CXX
#   and QUORVANE_QT_INCLUDE name another compiler or Qt include folder.
# Prints the number of files checked; stops at the first file that does not compile.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

with_document_text=0
for arg in "$@"; do
    case "$arg" in
        --with-document-text) with_document_text=1 ;;
        *) echo "usage: $0 [--with-document-text]" >&2; exit 1 ;;
    esac
done

cxx=${QUORVANE_MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
qt=${QUORVANE_QT_INCLUDE:-/usr/include/x86_64-linux-gnu/qt6}

if ! command -v "$cxx" >/dev/null 2>&1; then
    echo "check-windows.sh: $cxx not found; run scripts/install-deps.sh --windows-check" >&2
    exit 1
fi
if [ ! -f "$qt/QtCore/qglobal.h" ]; then
    echo "check-windows.sh: no Qt 6 headers in $qt; run scripts/install-deps.sh" >&2
    exit 1
fi

# The sources a Windows build compiles only on request: those documents/CMakeLists.txt
# adds inside if(QUORVANE_DOCUMENT_TEXT), whose default there is OFF on Windows.
left_out=""
if [ "$with_document_text" = 0 ] && [ -f documents/CMakeLists.txt ]; then
    left_out=$(sed -n '/^if(QUORVANE_DOCUMENT_TEXT)/,/^endif()/p' documents/CMakeLists.txt |
                   grep -oE '[A-Za-z0-9_]+\.(cpp|h)' | sed 's|^|documents/|' || true)
fi
is_left_out() {
    [ -n "$left_out" ] && grep -qxF "$1" <<<"$left_out"
}

# The production files, .cpp and .h, that a Windows build reads (the reader worker program
# is built only where workers run).
production_files() {
    find count documents platform about window cli -name "$1" -not -path 'platform/posix/*' \
        -not -path 'documents/reader/*' |
        LC_ALL=C sort | while IFS= read -r file; do
            is_left_out "$file" || echo "$file"
        done
}

# 1. Where systems may be told apart: only in platform/posix and platform/win. Anything
#    else is the same code on every system, so a check elsewhere is a seam in the wrong place.
os_checks=$(grep -rnE '\b(_WIN32|_WIN64|__linux__|__unix__|__APPLE__|Q_OS_[A-Z0-9_]+)\b' \
                --include='*.cpp' --include='*.h' count documents platform about window cli |
                grep -vE '^platform/(posix|win)/' || true)
if [ -n "$os_checks" ]; then
    echo "check-windows.sh: system checks outside platform/posix and platform/win:" >&2
    echo "$os_checks" >&2
    exit 1
fi

# 2. POSIX headers that MinGW happens to supply but Microsoft's compiler does not; the cross
#    compile below would let them through.
posix_header='#\s*include\s*<(unistd|dirent|pthread|poll|strings|sys/(socket|un|mman|time|wait|resource|ioctl|mount|select|statvfs|uio))\.h>'
posix_headers=$( (production_files '*.cpp'; production_files '*.h') |
                    xargs -r grep -nHE "$posix_header" || true)
if [ -n "$posix_headers" ]; then
    echo "check-windows.sh: POSIX-only headers outside platform/posix:" >&2
    echo "$posix_headers" >&2
    exit 1
fi

# 3. The compile.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The version header, filled in from the project version as CMake's configure_file(@ONLY)
# does; moc output is not needed when nothing is linked.
version=$(sed -n 's/^project(Quorvane VERSION \([0-9][0-9]*\)\.\([0-9][0-9]*\)\.\([0-9][0-9]*\).*/\1 \2 \3/p' \
              CMakeLists.txt)
read -r major minor patch <<<"$version"
if [ -z "${patch:-}" ]; then
    echo "check-windows.sh: no project version in CMakeLists.txt" >&2
    exit 1
fi
sed -e "s/@PROJECT_VERSION_MAJOR@/$major/g" -e "s/@PROJECT_VERSION_MINOR@/$minor/g" \
    -e "s/@PROJECT_VERSION_PATCH@/$patch/g" cmake/QuorvaneVersion.h.in >"$work/QuorvaneVersion.h"
if grep -q '@[A-Za-z_]*@' "$work/QuorvaneVersion.h"; then
    echo "check-windows.sh: cmake/QuorvaneVersion.h.in uses a variable this script does not fill in" >&2
    exit 1
fi

# Headers of the other libraries the sources use, from their Debian -dev packages: the
# folders pkg-config names for them, and those lying loose in /usr/include one by one (that
# folder also holds the Linux C library, which must not mix with MinGW's). A library added
# to the build adds its pkg-config name or its loose headers here.
third_party_packages=(libxml-2.0 poppler libgsf-1)
third_party_headers=(zip.h zipconf.h md4c.h)  # libzip, md4c
mkdir -p "$work/third-party/unicode"
third_party=(-isystem "$work/third-party")
for header in "${third_party_headers[@]}"; do
    if [ -f "/usr/include/$header" ]; then
        ln -s "/usr/include/$header" "$work/third-party/$header"
    fi
done
for package in "${third_party_packages[@]}"; do
    for flag in $(pkg-config --cflags-only-I "$package" 2>/dev/null || true); do
        dir=${flag#-I}
        case "$dir" in
            /usr/include | /usr/include/x86_64-linux-gnu) ;;
            *) third_party+=(-isystem "$dir") ;;
        esac
    done
done
# Debian's libxml2 is built with iconv and ICU, so its encoding.h includes their headers for
# two types; MinGW has neither library. Stand-ins with those types are enough when nothing
# is linked.
echo 'typedef void* iconv_t;' >"$work/third-party/iconv.h"
printf '%s\n' 'typedef struct UConverter UConverter;' 'typedef char16_t UChar;' \
    >"$work/third-party/unicode/ucnv.h"

# What Qt's CMake packages give every target on MinGW (Qt6::Platform), plus the warnings
# of the real build with -Werror. Qt's headers are system headers: their own warnings are
# not ours to fix. The Linux Qt's qconfig.h describes the Linux build's features; for a
# syntax check that is harmless (Qt 6.4 with MinGW-w64 GCC 12 needs no other workaround).
common=(-std=c++20 -fsyntax-only -Wall -Wextra -Werror
        -D_WIN32 -DWIN32 -DWIN64 -D_WIN64 -DUNICODE -D_UNICODE -DMINGW_HAS_SECURE_API=1
        -D_ENABLE_EXTENDED_ALIGNED_STORAGE -DQT_NO_DEBUG
        -I"$work" "${third_party[@]}")
if [ "$with_document_text" = 1 ]; then
    common+=(-DQUORVANE_DOCUMENT_TEXT=1)
fi
qt_core=(-DQT_CORE_LIB -isystem "$qt" -isystem "$qt/QtCore")
qt_desktop=("${qt_core[@]}" -DQT_GUI_LIB -DQT_WIDGETS_LIB -isystem "$qt/QtGui" -isystem "$qt/QtWidgets")

# One include root, as in the build; each folder sees the Qt modules its CMake target
# links, so a Core-only part that reaches for widgets fails here as it would there.
declare -A folder_flags=(
    [count]="core -I."
    [documents]="core -I."
    [cli]="core -I."
    [about]="desktop -I."
    [window]="desktop -I."
)

# platform/ holds two libraries: the desktop one is whatever platform/CMakeLists.txt lists
# under quorvane_platform; the rest needs Qt Core only.
desktop_platform=$(sed -n '/^add_library(quorvane_platform STATIC/,/^)/p' platform/CMakeLists.txt |
                       tr -s ' \t' '\n' | grep '\.cpp$' | sed 's/\${QUORVANE_OS_DIR}/win/' || true)

checked=0
compile() {
    local file=$1
    shift
    if ! "$cxx" "${common[@]}" "$@" "$file"; then
        echo "check-windows.sh: $file does not compile for Windows ($checked checked before it)" >&2
        exit 1
    fi
    checked=$((checked + 1))
}

sources=$(production_files '*.cpp')
while IFS= read -r file; do
    case "$file" in
        platform/*)
            if grep -qxF "${file#platform/}" <<<"$desktop_platform"; then
                compile "$file" "${qt_desktop[@]}" -I.
            else
                compile "$file" "${qt_core[@]}" -I.
            fi
            ;;
        *)
            read -r modules includes <<<"${folder_flags[${file%%/*}]}"
            if [ "$modules" = desktop ]; then
                qt_flags=("${qt_desktop[@]}")
            else
                qt_flags=("${qt_core[@]}")
            fi
            read -r -a include_flags <<<"$includes"
            compile "$file" "${qt_flags[@]}" "${include_flags[@]}"
            ;;
    esac
done <<<"$sources"

summary="check-windows.sh: $checked production sources compile for Windows ($cxx)"
left_out_count=$(grep -c '\.cpp$' <<<"$left_out" || true)
if [ "$left_out_count" -gt 0 ]; then
    summary+="; $left_out_count document readers left out, as the Windows build leaves them out"
fi
echo "$summary"
