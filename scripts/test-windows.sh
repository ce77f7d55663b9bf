#!/usr/bin/env bash
# The Windows side, cross-built with mingw-w64 and run under wine64.
#
# With the Windows Qt in its cache (scripts/build-qt-windows.sh): the whole
# program and every test that needs no Unix facility, under Xvfb, including
# the command line over wine COM ports against the simulated sensor; then the
# installer and the window program checks where their scripts are present.
# Without it: the plain C++ model library and its tests, as a first check of
# the file layer's Windows paths.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
scripts/ensure-deps.sh --with windows
qt=${RKT_QT_WINDOWS:-${RKT_CACHE:-$HOME/.cache/rkt410}/qt-mingw-6.4.2}
wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
step() { echo "== $1 done after ${SECONDS}s"; }

if [ ! -f "$qt/.complete" ]; then
  echo "No Windows Qt in $qt: only the model tests run under wine (scripts/build-qt-windows.sh builds it once, an hour or more on 2 cores)."
  build_dir=${WINDOWS_MODEL_BUILD_DIR:-build-windows-model}
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRKT_MODEL_ONLY=ON \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" >/dev/null
  cmake --build "$build_dir" --parallel
  export WINEPREFIX=${WINEPREFIX:-$PWD/$build_dir/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  ctest --test-dir "$build_dir" --output-on-failure --timeout 600
  exit 0
fi

# The Linux build's simulated sensor serves the COM-port test.
[ -x build/src/sim/rkt410-sim ] && [ -x build/src/cli/rkt410-cli ] || scripts/build.sh
step "Linux build"
RKT_HOST_BUILD=$repo/build scripts/build-windows.sh --tests
step "Windows build"
build_dir=${WINDOWS_BUILD_DIR:-build-windows}
export WINEPREFIX=${WINEPREFIX:-$repo/$build_dir/wineprefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The tests find Qt's and the MinGW runtime's DLLs on wine's path; the
# program folder has its own copies.
export WINEPATH="$qt/bin;$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)");/usr/x86_64-w64-mingw32/lib"
# The prefix is made once, before tests start side by side. A program that
# crashes ends at once instead of waiting in wine's debugger, which would
# hold the test (and a window beside it) until its time-out.
"$wine" wineboot -i >/dev/null 2>&1 || true
"$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1 || true
"$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
"$wineserver" -w
scripts/ensure-deps.sh --with xvfb xauth
xvfb-run -a ctest --test-dir "$build_dir" --output-on-failure --timeout 600 -j2
step "Windows tests under wine"
if [ -x scripts/check-installer.sh ]; then
  scripts/package-windows.sh
  scripts/check-installer.sh
  step "installer"
fi
if [ -x scripts/check-windows-window.sh ]; then
  scripts/check-windows-window.sh
  step "window program"
fi
