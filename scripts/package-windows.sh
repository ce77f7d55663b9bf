#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh, incremental) and
# packs the runnable folder build-windows/rkt410/ two ways:
#   build-windows/rkt410-setup-VERSION.exe     the installer (NSIS)
#   build-windows/rkt410-VERSION-portable.zip  one folder rkt410-VERSION/, to
#                                              unpack and run anywhere
# VERSION is the one in CMakeLists.txt's project() line.
#
#   scripts/package-windows.sh              # build, then pack
#   scripts/package-windows.sh --no-build   # pack what build-windows.sh built
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build_dir=${WINDOWS_BUILD_DIR:-build-windows}
[ "${1:-}" = "--no-build" ] || scripts/build-windows.sh
scripts/ensure-deps.sh --with windows

version=$(sed -nE 's/^project\(rkt410 VERSION ([0-9]+\.[0-9]+\.[0-9]+)[ )].*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
  echo "No version MAJOR.MINOR.PATCH in CMakeLists.txt's project() line" >&2
  exit 1
fi
folder=$build_dir/rkt410
for f in rkt410.exe rkt410-cli.exe; do
  if [ ! -f "$folder/$f" ]; then
    echo "$folder/$f is missing: run scripts/build-windows.sh" >&2
    exit 1
  fi
done
icon=$repo/$build_dir/rkt410.ico
[ -f "$icon" ] || { echo "$icon is missing: run scripts/build-windows.sh" >&2; exit 1; }

# The installer's file lists, from the folder as it is: one to install, its
# mirror to uninstall exactly those files. Names go into NSIS strings, so
# only plain ones are taken ($ is NSIS's variable mark, " ends the string).
work=$build_dir/installer
rm -rf "$work"
mkdir -p "$work"
files_nsh=$repo/$work/files.nsh
unfiles_nsh=$repo/$work/unfiles.nsh
(cd "$folder" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) > "$work/files.txt"
if grep -qv '^[A-Za-z0-9._+/-]*$' "$work/files.txt"; then
  echo "A file name in $folder that the installer script cannot carry:" >&2
  grep -v '^[A-Za-z0-9._+/-]*$' "$work/files.txt" >&2
  exit 1
fi
src_abs=$(realpath "$folder")
case "$src_abs" in *'"'*) echo "The build folder's path must not contain a double quote" >&2; exit 1 ;; esac
src_nsis=${src_abs//\$/\$\$}
{
  current=//  # no folder has that name: the first file sets the folder
  while read -r rel; do
    dir=$(dirname "$rel")
    [ "$dir" = . ] && dir=
    if [ "$dir" != "$current" ]; then
      win_dir=${dir//\//\\}
      echo "SetOutPath \"\$INSTDIR${win_dir:+\\$win_dir}\""
      current=$dir
    fi
    echo "File \"$src_nsis/$rel\""
  done < "$work/files.txt"
} > "$files_nsh"
{
  while read -r rel; do
    echo "Delete /REBOOTOK \"\$INSTDIR\\${rel//\//\\}\""
  done < "$work/files.txt"
  # Folders deepest first; each goes only if it is empty now.
  (cd "$folder" && find . -mindepth 1 -type d | sed 's|^\./||' | awk -F/ '{ print NF "\t" $0 }' |
     LC_ALL=C sort -rn | cut -f2-) |
    while read -r rel; do echo "RMDir /REBOOTOK \"\$INSTDIR\\${rel//\//\\}\""; done
} > "$unfiles_nsh"

# Apparent size in KiB, plus the uninstaller's ~100 KiB.
size_kb=$(( ($(du -sb "$folder" | cut -f1) + 1023) / 1024 + 100 ))
setup=$build_dir/rkt410-setup-$version.exe
rm -f "$setup" "$setup.part"
start=$SECONDS
makensis -V2 -INPUTCHARSET UTF8 \
  "-DVERSION=$version" "-DICON=$icon" "-DFILES=$files_nsh" "-DUNFILES=$unfiles_nsh" \
  "-DSIZE_KB=$size_kb" "-DOUTFILE=$repo/$setup.part" resources/windows/installer.nsi
mv "$setup.part" "$setup"
echo "Installer $setup ($(du -h "$setup" | cut -f1), $(wc -l < "$work/files.txt") files), made in $((SECONDS - start)) s"

start=$SECONDS
zip=$build_dir/rkt410-$version-portable.zip
stage=$work/zip
mkdir -p "$stage"
cp -a "$folder" "$stage/rkt410-$version"
rm -f "$zip" "$zip.part"
(cd "$stage" && zip -q -r -X -9 "$repo/$zip.part" "rkt410-$version")
mv "$zip.part" "$zip"
rm -rf "$stage"
echo "Portable zip $zip ($(du -h "$zip" | cut -f1)), made in $((SECONDS - start)) s"
