#!/usr/bin/env bash
# Installs the build into a private prefix and checks what a desktop and a user see:
# the program folder, the commands, the desktop entry, the metainfo, the manual pages,
# the completion, and that the installed quorin-convert runs from its link.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix=$root/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "FAIL: $*" >&2; exit 1; }

program=$prefix/lib/quorin-video-converter
for f in QuorinVideoConverter quorin-convert quorin-play; do
  [ -x "$program/$f" ] || fail "$program/$f missing"
done
[ -f "$program/skin/skin_en.skin" ] || fail "skin archives missing"
[ -f "$program/language/en.dat" ] || fail "language files missing"
[ -d "$program/plugin" ] || fail "plugin folder missing"
for c in quorin-video-converter quorin-convert quorin-play; do
  [ -L "$prefix/bin/$c" ] && [ -x "$prefix/bin/$c" ] || fail "command $c missing"
done
# Nothing outside the prefix.
[ "$(find "$root" -mindepth 1 -maxdepth 1)" = "$prefix" ] || fail "files outside the prefix"

desktop-file-validate "$prefix/share/applications/quorin-video-converter.desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/net.quorin.VideoConverter.metainfo.xml" >/dev/null ||
  appstreamcli validate --no-net "$prefix/share/metainfo/net.quorin.VideoConverter.metainfo.xml"
for size in 16 22 24 32 48 64 128 256 512; do
  [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/quorin-video-converter.png" ] || fail "icon $size missing"
done
for page in quorin-convert quorin-video-converter quorin-play; do
  man -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null | grep . && fail "man page $page has warnings"
  MANWIDTH=80 man -l "$prefix/share/man/man1/$page.1.gz" | grep -q "SYNOPSIS" || fail "man page $page does not render"
done
bash -n "$prefix/share/bash-completion/completions/quorin-convert"
completions=$(bash -c "source '$prefix/share/bash-completion/completions/quorin-convert';
  COMP_WORDS=(quorin-convert convert --mode ''); COMP_CWORD=3; _quorin_convert; echo \${COMPREPLY[*]}")
[[ $completions == *merge* ]] || fail "completion of --mode: $completions"

# The installed command finds its program folder through the link.
out=$(cd "$root" && QUORIN_PROGRAM_DIR= "$prefix/bin/quorin-convert" --version)
[ -n "$out" ] || fail "installed quorin-convert --version printed nothing"
echo "install check passed"
