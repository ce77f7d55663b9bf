#!/usr/bin/env bash
# Builds rkt410.exe and rkt410-cli.exe for 64-bit Windows against the Qt that
# scripts/build-qt-windows.sh put in its cache, and gathers everything they
# need into build-windows/rkt410/, a folder that runs as it is: the programs,
# Qt's DLLs and plug-ins, the MinGW runtime DLLs, the language files and Qt's
# own translations (the help is compiled in).
#
#   scripts/build-windows.sh            # the programs and the folder
#   scripts/build-windows.sh --tests    # the tests too (run by test-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
qt=${RKT_QT_WINDOWS:-${RKT_CACHE:-$HOME/.cache/rkt410}/qt-mingw-6.4.2}
build_dir=${WINDOWS_BUILD_DIR:-build-windows}
tests=OFF
[ "${1:-}" = "--tests" ] && tests=ON
if [ ! -f "$qt/.complete" ]; then
  echo "No Qt for Windows in $qt: scripts/build-qt-windows.sh builds it (an hour or more on 2 cores)." >&2
  exit 1
fi
scripts/ensure-deps.sh --with windows
start=$SECONDS
# A private wine prefix, made quietly on first use, for whatever runs the
# programs (the tests, the installer check).
export WINEPREFIX=${WINEPREFIX:-$repo/$build_dir/wineprefix} WINEDEBUG=${WINEDEBUG:--all} \
  WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# The host tool that renders the pictures, on the host's Qt Svg.
cmake -S scripts/svg2png -B "$build_dir/host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir/host"

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" -DRKT_SHARED_RUNTIME=ON -DRKT_MODEL_ONLY=OFF \
  -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DRKT_SVG2PNG="$repo/$build_dir/host/rkt410-svg2png" \
  -DRKT_BUILD_TESTS=$tests -DRKT_BUILD_BENCH=OFF -DRKT_WERROR="${RKT_WERROR:-OFF}" \
  -DRKT_HOST_BUILD="${RKT_HOST_BUILD:-}" >/dev/null
cmake --build "$build_dir" --parallel

# The runnable folder.
out=$build_dir/rkt410
rm -rf "$out"
mkdir -p "$out"/{platforms,styles,sqldrivers,imageformats}
cp "$build_dir"/src/app/rkt410.exe "$build_dir"/src/cli/rkt410-cli.exe resources/RKT_LANG.{ENG,FRA,ITA,ESP,NLD,POL} "$out"/
# Qt's own texts (file, print and overwrite dialogs) for each shipped language;
# the program looks for them in translations/ beside it. The .qm files are the
# same on every platform, so Debian's qt6-translations-l10n serves.
mkdir -p "$out"/translations
for l in de en fr it es nl pl; do
  cp /usr/share/qt6/translations/qtbase_$l.qm "$out"/translations/
done
# The tests that switch languages find them beside them too.
if [ "$tests" = ON ]; then
  find "$build_dir"/tests -name '*.exe' -printf '%h\n' | sort -u | while read -r dir; do
    rm -rf "$dir"/translations && cp -r "$out"/translations "$dir"/
  done
fi
cp "$qt"/plugins/platforms/{qwindows,qoffscreen,qminimal}.dll "$out"/platforms/
cp "$qt"/plugins/styles/*.dll "$out"/styles/
cp "$qt"/plugins/sqldrivers/qsqlite.dll "$out"/sqldrivers/
cp "$qt"/plugins/imageformats/*.dll "$out"/imageformats/
# Every DLL these need, found in Qt's folder or the MinGW runtime, and what
# those need in turn; Windows' own DLLs are not found there and stay out.
runtime_dirs=("$qt/bin" "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
              /usr/x86_64-w64-mingw32/lib)
declare -A seen=()
queue=($(find "$out" -name '*.exe' -o -name '*.dll'))
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
    [ -n "${seen[$dll]:-}" ] && continue
    seen[$dll]=1
    for dir in "${runtime_dirs[@]}"; do
      if [ -f "$dir/$dll" ]; then
        cp "$dir/$dll" "$out/"
        queue+=("$out/$dll")
        break
      fi
    done
  done
done
echo "Windows programs in $out ($(du -sh "$out" | cut -f1)), built in $((SECONDS - start)) s"
