#!/usr/bin/env bash
# Builds the Debian packages quorvane and quorvane-count and checks them with lintian.
# Usage: scripts/package.sh [OUTDIR]     (OUTDIR defaults to build-deb/)
# The build runs in a copy of the tree, so the source folder stays as git has it; the
# copy holds every file git tracks or would track, uncommitted changes included. Any
# lintian error or warning without an override in debian/*.lintian-overrides fails it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
outdir=${1:-$root/build-deb}
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)

"$root/scripts/install-deps.sh" --package

version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
src="$work/quorvane-$version"
mkdir "$src"

# Files git knows and untracked ones it does not ignore; a tracked file deleted in the
# worktree is left out rather than stopping the copy.
(cd "$root" && git ls-files -z --cached --others --exclude-standard) |
    (cd "$root" && while IFS= read -r -d '' f; do
        [ -e "$f" ] && printf '%s\0' "$f"
    done) |
    tar -C "$root" --null -T - -cf - | tar -C "$src" -xf -

# nocheck: the test suite is not built into the package (debian/rules) and has its own CI
# step; terse: no compiler command lines in the log; parallel: the build machine's cores.
# A caller's DEB_BUILD_OPTIONS replaces all three.
export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-"nocheck terse parallel=$(nproc)"}
echo "== dpkg-buildpackage in $src"
(cd "$src" && dpkg-buildpackage -us -uc -b)

changes=$(ls "$work"/quorvane_"${version}"_*.changes)
echo "== lintian $(basename "$changes")"
# --fail-on error,warning: an override in debian/*.lintian-overrides, with its reason
# beside it, is the only way past a finding.
if ! lintian --fail-on error,warning --display-info --show-overrides "$changes"; then
    echo "package.sh: lintian found errors or warnings (above); fix them or override" \
         "them in debian/*.lintian-overrides with a comment saying why" >&2
    exit 1
fi

# Debugging symbols come out as quorvane*-dbgsym .ddeb files; they go with the packages.
shopt -s nullglob
rm -f "$outdir"/quorvane*_*.deb "$outdir"/quorvane*_*.ddeb "$outdir"/quorvane_*.changes \
      "$outdir"/quorvane_*.buildinfo
cp "$work"/*.deb "$work"/*.ddeb "$work"/*.changes "$work"/*.buildinfo "$outdir"/
echo "== packages in $outdir"
ls -l "$outdir"/*.deb
