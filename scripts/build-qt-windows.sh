#!/usr/bin/env bash
# Cross-builds qtbase 6.4.2 (the host's Qt version) for x86_64-w64-mingw32
# from Debian's own source package, once per machine, into a cache folder
# outside the tree. SQLite for the QSQLITE driver comes from Debian's sqlite3
# source, since Debian's Qt source drops the bundled copy.
#
#   scripts/build-qt-windows.sh            # builds unless already cached
#   RKT_QT_WINDOWS=DIR scripts/...         # another cache folder
#
# Takes an hour or more on 2 cores; prints how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
qt_version=6.4.2
cache=${RKT_CACHE:-$HOME/.cache/rkt410}
prefix=${RKT_QT_WINDOWS:-$cache/qt-mingw-$qt_version}
work=$cache/build-qt-mingw
jobs=${RKT_JOBS:-$(nproc)}

if [ -f "$prefix/.complete" ]; then
  echo "Qt $qt_version for Windows is already in $prefix"
  exit 0
fi
start=$SECONDS
scripts/ensure-deps.sh g++-mingw-w64-x86-64-posix dpkg-dev ninja-build tcl xz-utils

# Debian's source packages of the same suite as the host.
if ! apt-get indextargets --format '$(IDENTIFIER)' 2>/dev/null | grep -qx Sources; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Add a deb-src entry for Debian 12 (bookworm) and run apt-get update." >&2
    exit 1
  fi
  cat >/etc/apt/sources.list.d/rkt410-src.sources <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  apt-get update -qq
fi
mkdir -p "$cache/src" "$work"
cd "$cache/src"
ls qt6-base_${qt_version}*.dsc >/dev/null 2>&1 || apt-get source -qq --download-only qt6-base
ls sqlite3_*.dsc >/dev/null 2>&1 || apt-get source -qq --download-only sqlite3

# SQLite: generate the amalgamation on the host, then compile it for Windows.
sqlite_src=$work/sqlite3
sqlite_out=$work/sqlite3-win
if [ ! -f "$sqlite_out/lib/libsqlite3.a" ]; then
  rm -rf "$sqlite_src" && mkdir -p "$sqlite_src" "$sqlite_out/lib" "$sqlite_out/include"
  tar xf "$(ls sqlite3_*.orig.tar.xz | grep -v www)" -C "$sqlite_src" --strip-components=1
  (cd "$sqlite_src" && ./configure -q >/dev/null && make -s sqlite3.c >/dev/null)
  x86_64-w64-mingw32-gcc-posix -O2 -c "$sqlite_src/sqlite3.c" -o "$sqlite_out/sqlite3.o" \
    -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION
  x86_64-w64-mingw32-ar rcs "$sqlite_out/lib/libsqlite3.a" "$sqlite_out/sqlite3.o"
  cp "$sqlite_src/sqlite3.h" "$sqlite_src/sqlite3ext.h" "$sqlite_out/include/"
fi

qt_src=$work/qtbase
if [ ! -f "$qt_src/CMakeLists.txt" ]; then
  rm -rf "$qt_src" && mkdir -p "$qt_src"
  tar xf qt6-base_${qt_version}*.orig.tar.xz -C "$qt_src" --strip-components=1
fi

# Only what the program and its tests use: Core, Gui, Widgets, PrintSupport,
# Sql (SQLite), Test.
# OpenGL stays on: the 6.4.2 Windows platform plug-in does not compile
# without it. Debian's source lacks wintab.h, hence no tablet events.
cmake -S "$qt_src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON \
  -DFEATURE_dbus=OFF -DFEATURE_tabletevent=OFF -DFEATURE_concurrent=OFF \
  -DFEATURE_network=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=ON \
  -DFEATURE_opengl=ON -DFEATURE_opengl_dynamic=ON \
  -DFEATURE_sql_odbc=OFF -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF \
  -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=ON \
  -DSQLite3_INCLUDE_DIR="$sqlite_out/include" -DSQLite3_LIBRARY="$sqlite_out/lib/libsqlite3.a" \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF \
  >"$work/configure.log" 2>&1 || { tail -40 "$work/configure.log" >&2; exit 1; }
nice cmake --build "$work/build" --parallel "$jobs"
cmake --install "$work/build" >/dev/null
touch "$prefix/.complete"
echo "Qt $qt_version for Windows built into $prefix in $(( (SECONDS - start) / 60 )) min on $jobs cores"
