#!/bin/sh
# Renders every window of the skin (each message kind, each settings page, the
# about dialog and the main window) at 96 and 144 DPI into OUT_DIR.
#   tools/uishot/all_shots.sh <build folder> <OUT_DIR> [--xvfb]
# With --xvfb the windows are drawn by the X11 platform under a private Xvfb
# server instead of the offscreen platform.
set -eu
build=$1
out=$2
mkdir -p "$out"
if [ "${3:-}" = "--xvfb" ]; then
    exec xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb "$0" "$build" "$out"
fi
shot="$build/tools/uishot/uishot"
for dpi in 96 144; do
    for kind in 16 64 68 32; do
        "$shot" --dialog message --kind "$kind" --dpi "$dpi" --out "$out/message_${kind}_${dpi}.png"
    done
    "$shot" --dialog message --kind 16 --support --dpi "$dpi" --out "$out/message_support_${dpi}.png"
    "$shot" --dialog about --dpi "$dpi" --out "$out/about_${dpi}.png"
    for page in 0 1 2; do
        "$shot" --dialog setting --page "$page" --dpi "$dpi" --out "$out/setting_${page}_${dpi}.png"
    done
    "$shot" --dialog main --dpi "$dpi" --out "$out/main_${dpi}.png"
done
echo "windows written to $out"
