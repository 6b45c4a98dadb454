#!/usr/bin/env bash
# Checks a built Debian package: runtime dependencies only, lintian's verdict, and that
# the program unpacked from it converts the demo sample.
set -euo pipefail
deb=$(realpath "$1")
fail() { echo "FAIL: $*" >&2; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ $depends == *ffmpeg* ]] || fail "the ffmpeg tool is not a dependency"
grep -Eq -- '-dev( |,|$)' <<<"$depends" && fail "a development package is a dependency"

if command -v lintian >/dev/null; then
  # Tags we accept are explained in packaging/lintian-overrides (installed with the package).
  lintian --fail-on error,warning "$deb" || fail "lintian"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
mkdir -p "$root/home" "$root/tmp"
out=$(cd "$root" && HOME=$root/home TMPDIR=$root/tmp QUORIN_PROGRAM_DIR= "$root/usr/bin/quorin-convert" demo 2>&1) ||
  fail "quorin-convert demo from the package: $out"
echo "$out" | tail -2
echo "package check passed"
