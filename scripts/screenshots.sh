#!/bin/sh
# The README's window pictures, made under a virtual X server:
#   scripts/screenshots.sh [OUTPUT_FOLDER]   (default: docs)
# Builds the picture program in build/ and writes main_variant1..6.png,
# first_start.png, main_window_de.png, main_window_<locale>.png for each
# shipped language (en, es, fr, it, nl, pl) and options_with_help.png.
# Needs xvfb-run (package xvfb).
set -eu
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs}")
mkdir -p "$out"
[ -f build/build.ninja ] || [ -f build/Makefile ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target ui_screenshots
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1400x1000x24" build/scripts/screenshots/ui_screenshots "$out"
