#!/usr/bin/env bash
# Builds the Debian packages (scripts/package.sh), installs them with apt as a user would,
# checks that the installed programs and files work where the system looks for them, then
# purges both and checks that nothing of theirs is left. Needs root (or sudo) and changes
# the system: run it in CI or a throwaway machine.
# Usage: scripts/package-test.sh [OUTDIR]     (OUTDIR defaults to build-deb/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
outdir=${1:-$root/build-deb}
packages=(quorvane quorvane-count)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

"$root/scripts/package.sh" "$outdir"
outdir=$(cd "$outdir" && pwd)

echo "== what the packages ask for"
for deb in "$outdir"/quorvane-count_*.deb "$outdir"/quorvane_*.deb; do
    printf '%s (%s KiB installed)\n  Depends: %s\n' "$(basename "$deb")" \
        "$(dpkg-deb -f "$deb" Installed-Size)" "$(dpkg-deb -f "$deb" Depends)"
done
# The counter is for servers too: nothing of a display may come in with it, directly or
# through the libraries it needs.
count_depends=$(dpkg-deb -f "$outdir"/quorvane-count_*.deb Depends |
    sed 's/([^)]*)//g; s/|/,/g' | tr ',' '\n' | tr -d ' ' | grep .)
display=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
              --no-breaks --no-replaces --no-enhances $count_depends 2>/dev/null |
          grep -v '^ ' | sed 's/:.*//' | sort -u |
          grep -E '^(libqt6gui6|libqt6widgets6|qt6-qpa-plugins|libx11-6|libxcb1|libgl1|libegl1|libwayland-client0)$' ||
          true)
if [ -n "$display" ]; then
    fail "installing quorvane-count brings in desktop libraries: $(echo $display)"
else
    pass "quorvane-count brings in no desktop libraries ($(wc -w <<<"$count_depends") direct dependencies)"
fi

for p in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        echo "== $p is installed already; purging it first"
        "${sudo_cmd[@]}" apt-get purge -y -qq "$p"
    fi
done

echo "== apt-get install"
(cd "$outdir" && "${sudo_cmd[@]}" apt-get install -y -qq ./quorvane-count_*.deb ./quorvane_*.deb)
manifest=$(mktemp)
folder=$(mktemp -d)
trap 'rm -rf "$manifest" "$folder"' EXIT
dpkg -L "${packages[@]}" | sort -u >"$manifest"

echo "== the installed programs"
counter=$(command -v quorvane-count || true)
if [ "$counter" = /usr/bin/quorvane-count ]; then
    pass "quorvane-count is $counter"
else
    fail "quorvane-count is not /usr/bin/quorvane-count on PATH (found '${counter}')"
fi
if [ -x /usr/libexec/quorvane/quorvane-reader ]; then
    pass "the reader worker is /usr/libexec/quorvane/quorvane-reader"
else
    fail "no executable /usr/libexec/quorvane/quorvane-reader"
fi
[ -x /usr/bin/quorvane ] && pass "the window is /usr/bin/quorvane" || fail "no executable /usr/bin/quorvane"

# A plain file and a document: the document is read by the installed worker, found beside
# the installed counter with nothing pointing the way.
printf 'one two three four five\n' >"$folder/notes.txt"
cp "$root/tests/data/documents/garden.docx" "$folder/"
if report=$(env -u QUORVANE_READER /usr/bin/quorvane-count --document-text --output - \
                "$folder" '*.*' 2>&1); then
    for line in "garden.docx (38 Words)" "notes.txt (5 Words)"; do
        if grep -qF "$line" <<<"$report"; then
            pass "the report says \"$line\""
        else
            fail "the report lacks \"$line\"; it was:"$'\n'"$report"
        fi
    done
else
    fail "quorvane-count --document-text failed:"$'\n'"$report"
fi

if page=$(man -w quorvane-count 2>&1) && grep -q "^/usr/share/man/man1/quorvane-count.1" <<<"$page"; then
    pass "man -w quorvane-count: $page"
else
    fail "man -w quorvane-count: $page"
fi
completion=/usr/share/bash-completion/completions/quorvane-count
if [ -f "$completion" ] && bash -n "$completion" && grep -q "complete.*quorvane-count" "$completion"; then
    pass "bash completion at $completion"
else
    fail "no usable bash completion at $completion"
fi
if out=$(desktop-file-validate /usr/share/applications/quorvane.desktop 2>&1); then
    pass "desktop-file-validate /usr/share/applications/quorvane.desktop"
else
    fail "desktop-file-validate: $out"
fi
metainfo=/usr/share/metainfo/example.plumwick.Quorvane.metainfo.xml
if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
    pass "appstreamcli validate --no-net $metainfo"
else
    fail "appstreamcli validate: $out"
fi

echo "== apt-get purge"
"${sudo_cmd[@]}" apt-get purge -y -qq "${packages[@]}"
left=0
while IFS= read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        # A folder stays when another package owns it or other files live in it.
        if dpkg-query -S "$path" >/dev/null 2>&1 || [ -n "$(ls -A "$path")" ]; then
            continue
        fi
    fi
    fail "left after purge: $path"
    left=$((left + 1))
done <"$manifest"
[ "$left" -eq 0 ] && pass "purge left none of the $(wc -l <"$manifest") paths dpkg listed"

if [ "$failures" -ne 0 ]; then
    echo "package-test.sh: $failures check(s) failed" >&2
    exit 1
fi
echo "package-test.sh: all checks passed"
