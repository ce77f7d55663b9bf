#!/usr/bin/env bash
# Checks the Windows installer under wine as an administrator would use it,
# in a new private prefix (build-windows/installer-prefix, made anew):
# silent install, what it put where, the installed command-line program,
# installing again into another folder, and a silent uninstall that removes
# what was installed and keeps the user's settings, history and files.
# Prints every step with its time; exits non-zero at the first failure.
#
# The portable zip is compared with the built folder first.
#
#   scripts/check-installer.sh    # builds the installer first if it is missing or older than the programs
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build_dir=${WINDOWS_BUILD_DIR:-build-windows}

version=$(sed -nE 's/^project\(rkt410 VERSION ([0-9]+\.[0-9]+\.[0-9]+)[ )].*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "FAILED: no version in CMakeLists.txt's project() line" >&2; exit 1; }
folder=$build_dir/rkt410
setup=$build_dir/rkt410-setup-$version.exe
if [ ! -f "$setup" ] || [ ! -f "$folder/rkt410.exe" ]; then
  scripts/package-windows.sh
elif [ -n "$(find "$folder" resources/windows/installer.nsi scripts/package-windows.sh -newer "$setup" -print -quit)" ]; then
  scripts/package-windows.sh --no-build
fi

wine=
for w in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
  [ -n "$w" ] && [ -x "$w" ] && { wine=$w; break; }
done
wineserver=
for w in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver "$(command -v wineserver || true)"; do
  [ -n "$w" ] && [ -x "$w" ] && { wineserver=$w; break; }
done
[ -n "$wine" ] && [ -n "$wineserver" ] || { echo "FAILED: wine64 or wineserver not found (package wine64)" >&2; exit 1; }

prefix=$repo/$build_dir/installer-prefix
# winemenubuilder would copy the Start-menu entry and the file association
# into this machine's own desktop menus.
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
limit=300  # seconds for any one wine command; a hung installer fails the check

step_name="(setup)"
reported=
now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }
total_start=$(now)
step() {
  step_name=$1
  step_start=$(now)
  echo "== $step_name"
}
ok() { echo "   ok ($(seconds_since "$step_start") s)"; }
fail() {
  echo "FAILED: $step_name: $*" >&2
  reported=1
  exit 1
}
# Ends whatever is left in this prefix only, so that nothing keeps running
# after a failure.
unzipped=
cleanup() {
  if [ -d "$prefix" ]; then timeout 20 "$wineserver" -k 2>/dev/null || true; fi
  if [ -n "$unzipped" ]; then rm -rf "$unzipped"; fi
}
trap 'rc=$?; cleanup; [ $rc -eq 0 ] || [ -n "$reported" ] || echo "FAILED: $step_name (exit $rc)" >&2' EXIT

run() { timeout "$limit" "$wine" "$@"; }
settle() { timeout "$limit" "$wineserver" -w || fail "wine processes still running after $limit s"; }

# The data of a registry value ("" for the key's default); fails if absent.
reg_value() {
  local out
  if [ -z "$2" ]; then out=$(run reg query "$1" /ve 2>/dev/null) || return 1
  else out=$(run reg query "$1" /v "$2" 2>/dev/null) || return 1; fi
  printf '%s\n' "$out" | tr -d '\r' | sed -nE 's/^    .+    REG_[A-Z_]+( {4}(.*))?$/\2/p' | head -1
}
expect_value() {  # KEY VALUE EXPECTED
  local got
  got=$(reg_value "$1" "$2") || fail "$1 has no value ${2:-(Default)}"
  [ "$got" = "$3" ] || fail "$1 ${2:-(Default)} is '$got', expected '$3'"
}
key_absent() {  # a key that is there, or a reg that fails otherwise, is no "absent"
  local out
  if out=$(run reg query "$1" 2>&1); then return 1; fi
  grep -q "Unable to find the specified registry key" <<<"$out" || fail "reg query $1 failed: $out"
}
win_path() { run winepath -u "$1" 2>/dev/null | tr -d '\r'; }
env_path() { win_path "$(run cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')"; }
same_files() {  # what the build folder holds must be in DIR, byte for byte
  local rel
  while IFS= read -r rel; do
    [ -f "$1/$rel" ] || fail "$rel is not in $1"
    cmp -s "$folder/$rel" "$1/$rel" || fail "$1/$rel differs from the built one"
  done < <(cd "$folder" && find . -type f | sed 's|^\./||')
  [ -f "$1/Uninstall.exe" ] || fail "no Uninstall.exe in $1"
}

uninst_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\RKT410'
progid=RKT410.Parameterdatei
default_win='C:\Program Files\RKT 410 Parametrierung'
# Without a space: NSIS takes /D= to the end of its command line unquoted,
# and wine would quote an argument with spaces.
moved_win='C:\Tools\RKT410'
nfiles=$(find "$folder" -type f | wc -l)

step "portable zip: one folder rkt410-$version/ with the built files"
zip=$build_dir/rkt410-$version-portable.zip
[ -f "$zip" ] || fail "no $zip"
unzipped=$(mktemp -d)
unzip -q "$zip" -d "$unzipped" || fail "unzip failed"
tops=$(ls -A "$unzipped")
[ "$tops" = "rkt410-$version" ] || fail "its top level holds '$tops', expected rkt410-$version only"
diff -r "$folder" "$unzipped/rkt410-$version" >/dev/null || fail "its files differ from $folder"
rm -rf "$unzipped"
ok

step "fresh wine prefix $prefix"
cleanup
rm -rf "$prefix"
run wineboot --init >/dev/null 2>&1 || fail "wineboot failed"
settle
default_dir=$prefix/drive_c/Program\ Files/RKT\ 410\ Parametrierung
moved_dir=$prefix/drive_c/Tools/RKT410
start_menu=$prefix/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs
ok

step "another program owns .RKT files before"
run reg add 'HKLM\Software\Classes\.RKT' /ve /d Other.Editor /f >/dev/null || fail "reg add failed"
run reg add 'HKLM\Software\Classes\Other.Editor' /ve /d "Other editor" /f >/dev/null || fail "reg add failed"
ok

step "silent install: $(basename "$setup") /S"
run "$setup" /S || fail "the installer exited with $?"
settle
ok

step "installed files in $default_win ($nfiles files and Uninstall.exe)"
same_files "$default_dir"
ok

step "uninstall entry $uninst_key"
expect_value "$uninst_key" DisplayName "RKT 410 Parametrierung"
expect_value "$uninst_key" DisplayVersion "$version"
expect_value "$uninst_key" Publisher "Varem electronic"
expect_value "$uninst_key" DisplayIcon "$default_win\\rkt410.exe,0"
expect_value "$uninst_key" InstallLocation "$default_win"
expect_value "$uninst_key" UninstallString "\"$default_win\\Uninstall.exe\""
expect_value "$uninst_key" QuietUninstallString "\"$default_win\\Uninstall.exe\" /S"
expect_value "$uninst_key" NoModify 0x1
expect_value "$uninst_key" NoRepair 0x1
size=$(reg_value "$uninst_key" EstimatedSize) || fail "no EstimatedSize"
built_kb=$(( $(du -sb "$folder" | cut -f1) / 1024 ))
[ $((size)) -ge "$built_kb" ] || fail "EstimatedSize $((size)) KiB is less than the $built_kb KiB installed"
ok

step ".RKT association and Start-menu entry"
expect_value 'HKCR\.RKT' "" "$progid"
expect_value "HKCR\\$progid\\shell\\open\\command" "" "\"$default_win\\rkt410.exe\" \"%1\""
expect_value "HKCR\\$progid\\DefaultIcon" "" "\"$default_win\\rkt410.exe\",0"
expect_value "$uninst_key" PreviousRKTProgID Other.Editor
[ -f "$start_menu/RKT 410 Parametrierung.lnk" ] || fail "no Start-menu entry in $start_menu"
ok

step "installed rkt410-cli.exe --help"
out=$(run "$default_win\\rkt410-cli.exe" --help 2>&1) || fail "exit $? with: $out"
grep -q "Usage" <<<"$out" || fail "no 'Usage' in: $out"
ok

step "installed rkt410-cli.exe history makes the write history"
out=$(run "$default_win\\rkt410-cli.exe" history 2>&1) || fail "exit $? with: $out"
history_file=$(env_path LOCALAPPDATA)/rkt410/history.sqlite
[ -s "$history_file" ] || fail "no write history at $history_file"
echo "   $history_file"
ok

step "install again into another folder: /S /D=$moved_win"
run "$setup" /S "/D=$moved_win" || fail "the installer exited with $?"
settle
[ ! -e "$default_dir" ] || fail "the first installation is still there: $(cd "$default_dir" && find . | head)"
same_files "$moved_dir"
expect_value "$uninst_key" InstallLocation "$moved_win"
expect_value "HKCR\\$progid\\shell\\open\\command" "" "\"$moved_win\\rkt410.exe\" \"%1\""
# The first installation's uninstaller gave .RKT back to the other program,
# so the second found it there.
expect_value "$uninst_key" PreviousRKTProgID Other.Editor
ok

step "the user's data: setting, history, local file, a file in the program folder"
run reg add 'HKCU\Software\Varem electronic\QD Soft\RKT410\Settings' /v Port /d COM5 /f >/dev/null ||
  fail "reg add failed"
local_dir=$(env_path LOCALAPPDATA)/rkt410
mkdir -p "$local_dir"
echo "12:00:00.000 > 02 52" > "$local_dir/serial-trace.txt"
history_sum=$(md5sum < "$history_file")
echo "the user's own notes" > "$moved_dir/notes.txt"
# The other program is gone meanwhile: nothing to give .RKT back to.
run reg delete 'HKLM\Software\Classes\Other.Editor' /f >/dev/null || fail "reg delete failed"
ok

step "silent uninstall: the registered QuietUninstallString"
quiet=$(reg_value "$uninst_key" QuietUninstallString) || fail "no QuietUninstallString"
uninstaller=$(sed -nE 's/^"([^"]+)" \/S$/\1/p' <<<"$quiet")
[ -n "$uninstaller" ] || fail "cannot read '$quiet'"
# It copies itself to TEMP, starts the copy and returns at once: wineserver
# -w waits for the copy.
run "$uninstaller" /S || fail "the uninstaller exited with $?"
settle
ok

step "what is left of $moved_win"
left=$(cd "$moved_dir" 2>/dev/null && find . -mindepth 1 | sed 's|^\./||' | sort || true)
echo "   ${left:-(nothing)}" | sed '2,$s/^/   /'
[ "$left" = notes.txt ] || fail "expected only the user's notes.txt, found: $left"
[ ! -e "$default_dir" ] || fail "$default_dir is back"
ok

step "uninstall entry, association and Start-menu entry gone"
key_absent "$uninst_key" || fail "$uninst_key is still there"
key_absent "HKCR\\$progid" || fail "HKCR\\$progid is still there"
key_absent 'HKCR\.RKT' || fail "HKCR\\.RKT is still there: $(reg_value 'HKCR\.RKT' "" || true)"
[ ! -e "$start_menu/RKT 410 Parametrierung.lnk" ] || fail "the Start-menu entry is still there"
ok

step "the user's setting, history and local file kept"
expect_value 'HKCU\Software\Varem electronic\QD Soft\RKT410\Settings' Port COM5
[ -s "$history_file" ] || fail "the write history $history_file is gone"
[ "$(md5sum < "$history_file")" = "$history_sum" ] || fail "the write history $history_file changed"
[ -s "$local_dir/serial-trace.txt" ] || fail "$local_dir/serial-trace.txt is gone"
ok

echo "Installer check passed in $(seconds_since "$total_start") s"
