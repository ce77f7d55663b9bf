#!/usr/bin/env bash
# Runs the window program (rkt410.exe) under wine64 on a virtual X server
# and checks its Windows paths against the simulated sensor on COM5:
#   1. options set by hand in the registry are read at start;
#   2. the automatic detection finds the sensor and reads it (serial 12345),
#      seen byte for byte in the program's --trace file;
#   3. closing the window with Alt+F4 writes the options and the recent
#      files back to the registry as REG_SZ, a file from a folder named
#      "Prüfstand" included, and the next start reads them;
#   4. the toolbar's print button writes the datasheet to a PDF file through
#      the Windows file dialog (this wine has no printer).
# Each step is printed with its time; any failure ends the script with a
# message and a non-zero status.
#
#   scripts/check-windows-window.sh [--screenshot FILE.png]
#
# --screenshot also saves the main window after the sensor read there (the
# README's picture, docs/windows-main-window.png). Needs the folder that
# scripts/build-windows.sh gathers and the Linux simulator from
# scripts/build.sh (or RKT_SIM). Its files stay in build-windows/window-check/.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

screenshot=
while [ $# -gt 0 ]; do
  case "$1" in
    --screenshot)
      [ $# -ge 2 ] || { echo "--screenshot needs a file name" >&2; exit 2; }
      screenshot=$(realpath -m "$2")
      shift 2 ;;
    *) echo "Usage: $0 [--screenshot FILE.png]" >&2; exit 2 ;;
  esac
done

# A virtual X server of its own, unless already inside one.
if [ -z "${RKT_WINDOW_CHECK_X:-}" ]; then
  scripts/ensure-deps.sh --with windows xvfb xauth xdotool imagemagick fonts-wine poppler-utils
  args=()
  [ -n "$screenshot" ] && args=(--screenshot "$screenshot")
  exec env RKT_WINDOW_CHECK_X=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "${args[@]}"
fi

build_dir=${WINDOWS_BUILD_DIR:-build-windows}
program_dir=$repo/$build_dir/rkt410
work=$repo/$build_dir/window-check
sim=${RKT_SIM:-$repo/build/src/sim/rkt410-sim}
wine=${RKT_WINE:-/usr/lib/wine/wine64}
[ -x "$wine" ] || wine=$(command -v wine64 || true)
# A prefix of its own: the check rewrites the program's registry key and the
# display settings, which the tests' prefix must not see.
export WINEPREFIX=$repo/$build_dir/wineprefix-window WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The folder must run as it is: no DLLs from elsewhere on wine's path.
unset WINEPATH
key='HKCU\Software\Varem electronic\QD Soft\RKT410'
settings_key="$key\\Settings"
recent_key="$key\\PREVIOUSFILES"

start_time=$(date +%s.%N)
step_time=$start_time
elapsed() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%6.1f", b - a }'; }
# A step begins: its time since the start and what it does.
step() {
  step_time=$(date +%s.%N)
  printf '[%s s] %s\n' "$(elapsed "$start_time")" "$*"
}
# What a step found, with how long it took.
ok() { printf '           ok (%s s): %s\n' "$(elapsed "$step_time" | tr -d ' ')" "$*"; }
show() { sed 's/^/           | /'; }
fail() {
  printf '[%s s] FAILED: %s\n' "$(elapsed "$start_time")" "$*" >&2
  exit 1
}

[ -n "$wine" ] && [ -x "$wine" ] || fail "wine64 not found (package wine64)"
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || fail "wineserver not found"
[ -f "$program_dir/rkt410.exe" ] || fail "$program_dir/rkt410.exe is missing: run scripts/build-windows.sh first"
if [ ! -x "$sim" ]; then
  [ -f build/build.ninja ] || fail "the simulator $sim is missing: run scripts/build.sh first"
  cmake --build build --target rkt410-sim >/dev/null || fail "the simulator could not be built"
fi

sim_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  return 0
}
trap cleanup EXIT

# Windows' name for a Linux path: wine's drive Z: is the root folder.
winpath() {
  local p
  p=$(realpath -m "$1")
  printf 'Z:%s' "${p//\//\\}"
}
# reg writes in the console's code page, 437 here (0x81 is "ü"). Without a
# display: with one, wine brings up its desktop for every call (2 s each).
reg() { env -u DISPLAY "$wine" reg "$@" 2>&1 | iconv -f CP437 -t UTF-8 | tr -d '\r'; }
reg_set() {
  reg add "$1" /v "$2" /d "$3" /f >/dev/null || fail "reg add $2=$3 failed"
}
# The value lines of a key, as "Name TYPE Data".
reg_values() {
  reg query "$1" | sed -n 's/^    \([^ ].*\)    \(REG_[A-Z_]*\)    \(.*\)$/\1 \2 \3/p; s/^    \([^ ].*\)    \(REG_[A-Z_]*\)$/\1 \2/p'
}
expect_value() {  # key name data
  reg_values "$1" | grep -qxF "$2 REG_SZ $3" || fail "$1 has no $2 = \"$3\" of type REG_SZ"
}

# The simulated sensor on COM5; the pseudo-terminal's name goes to $pty.
start_sim() {
  [ -n "$sim_pid" ] && { kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; }
  "$sim" --link "$WINEPREFIX/dosdevices/com5" "$@" >"$work/sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do
    pty=$(head -n 1 "$work/sim.out" 2>/dev/null || true)
    [ -n "$pty" ] && [ -L "$WINEPREFIX/dosdevices/com5" ] && return 0
    kill -0 "$sim_pid" 2>/dev/null || fail "the simulator ended: $(cat "$work/sim.out")"
    sleep 0.1
  done
  fail "the simulator printed no device name"
}

# Starts rkt410.exe with the given arguments; its window's id goes to $win.
start_app() {
  # This machine's pseudo-terminals drop the parity bit and refuse a change
  # that asks for parity alone, so the port wine opens after another program
  # had it fails to configure unless the check is off beforehand.
  stty -F "$pty" -inpck || fail "stty -F $pty -inpck failed"
  (cd "$program_dir" && exec "$wine" ./rkt410.exe "$@") >"$work/app-$run.log" 2>&1 &
  app_pid=$!
  win=
  for _ in $(seq 120); do
    win=$(xdotool search --onlyvisible --name '^RKT 410 Parametrierung' 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && return 0
    kill -0 "$app_pid" 2>/dev/null || fail "rkt410.exe ended before its window appeared: $(cat "$work/app-$run.log")"
    sleep 0.5
  done
  fail "no main window within 60 s"
}

# Closes the main window the way a user does and waits for the program's end.
close_app() {
  xdotool windowfocus --sync "$win" key alt+F4 || fail "xdotool could not send Alt+F4"
  for _ in $(seq 60); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.5
  done
  kill -0 "$app_pid" 2>/dev/null && fail "rkt410.exe still runs 30 s after Alt+F4"
  local rc=0
  wait "$app_pid" || rc=$?
  app_pid=
  [ "$rc" -eq 0 ] || fail "rkt410.exe ended with status $rc"
}

# Facts from a trace file (CR LF on Windows), one "name value" a line.
trace_facts() {
  tr -d '\r' <"$1" | awk '
    $1 ~ /^#/ || NF < 3 { next }
    {
      echo = ($2 == "<" && $NF == "echo")
      t = $1; dir = $2; data = $3; for (i = 4; i <= NF - echo; ++i) data = data " " $i
      # With echo on, what follows a send is the interface repeating it.
      if (awaiting != "" && !(echo && data == awaiting)) ++unechoed
      awaiting = (dir == ">") ? data : ""
      if (dir == ">") ++sent
      if (echo) ++echoes
      if (dir == "<" && $3 == "(time-out:" && ++timeouts == 1) { first_gap = t - prev_t; before_first = prev_data }
      if (dir == ">" && data == "56") {
        # A detection run begins with a presence test more than a second
        # after the last one (its retries follow at once).
        if (last_v == "" || t - last_v > 1000) {
          if (runs) intervals = intervals " " int(t - run_start)
          run_start = t; ++runs
        }
        last_v = t
      }
      if (dir == "<" && data == "11 EE") ++answers
      # Block 0 read with LP: its block number, then serial 0x3039 (12345).
      if (dir == ">" && data == "4C 50") { ++lp; state = 1; got = "" }
      else if (state == 1 && dir == ">") state = (data == "00") ? 2 : 0
      else if (state == 2 && dir == "<" && !echo) {
        got = got (got == "" ? "" : ",") data
        if (got == "00 FF,30 CF,39 C6") { serial = 1; state = 0 }
        else if (index("00 FF,30 CF,39 C6", got) != 1) state = 0
      }
      prev_t = t; prev_data = data (echo ? " (echo)" : "")
    }
    END {
      printf "sent %d\nechoes %d\ntimeouts %d\nfirst_gap %.0f\nbefore_first %s\n", sent, echoes, timeouts, first_gap, before_first
      printf "runs %d\nintervals%s\nanswers %d\nlp %d\nserial %d\nunechoed %d\n", runs, intervals, answers, lp, serial, unechoed
    }'
}
fact() { sed -n "s/^$1 //p" <<<"$2"; }
# Waits up to $1 s for the trace's fact $2 to reach $3.
wait_trace() {
  local value
  for _ in $(seq $(($1 * 2))); do
    if [ -f "$trace" ]; then
      value=$(fact "$2" "$(trace_facts "$trace")")
      [ "${value:-0}" -ge "$3" ] && return 0
    fi
    kill -0 "$app_pid" 2>/dev/null || fail "rkt410.exe ended unexpectedly"
    sleep 0.5
  done
  return 1
}

# ---------------------------------------------------------------------------
step "Preparing the wine prefix $WINEPREFIX"
rm -rf "$work"
mkdir -p "$work"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot --init >"$work/wineboot.log" 2>&1 || fail "wineboot failed: $(cat "$work/wineboot.log")"
fi
# One wine server for all the steps, ending by itself 5 s after the last
# program: Debian's wineserver ends at once, and every reg call would start
# wine's services anew. A server still there from wineboot or an earlier run
# is let go first; one that stays means a program still runs.
timeout 60 "$wineserver" -w || fail "a program still runs in $WINEPREFIX after 60 s"
"$wineserver" -p5 >"$work/wineserver.log" 2>&1 || fail "wineserver did not start: $(cat "$work/wineserver.log")"
[ "$(readlink "$WINEPREFIX/dosdevices/z:")" = / ] || fail "drive Z: of the prefix is not the root folder"
# Wine looks for its own fonts only in C:\windows\Fonts here; without them
# "MS Shell Dlg" falls back to a mathematics font whose line height leaves
# the text of line edits and spin boxes outside their boxes.
cp -u /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" || fail "wine's fonts (package fonts-wine) are missing"
# Windows drawn by wine itself, with their title bar: no window manager needed.
reg_set 'HKCU\Software\Wine\X11 Driver' Managed N
# Nothing left from an earlier run.
if reg query "$key" >/dev/null 2>&1; then
  reg delete "$key" /f >/dev/null || fail "the old key $key could not be removed"
fi
reg query "$key" >/dev/null 2>&1 && fail "$key still exists"
ok "prefix ready, program key empty"

# ---------------------------------------------------------------------------
run=1
step "1. Options set by hand in $settings_key"
reg_set "$settings_key" Port COM5
reg_set "$settings_key" SensDetection Auto
reg_set "$settings_key" DetectTimeout 150
reg_set "$settings_key" InterfaceTransformer Echo
reg_set "$settings_key" QDDebug yes
# Without a stored language the first start speaks the system's (English
# in wine's prefix); the checks below read the German window.
reg_set "$settings_key" Language Deutsch
reg query "$settings_key" | grep REG_ | show
ok "Port, SensDetection, DetectTimeout, InterfaceTransformer, QDDebug, Language set"

step "   Simulated sensor (type 1, 1200 baud timing, first command unanswered) on COM5"
start_sim --baud-timing --type 1 --faults silence@1
ok "$WINEPREFIX/dosdevices/com5 -> $pty"

step "   Starting rkt410.exe with --trace"
trace=$work/trace-read.txt
start_app --no-start-picture --trace "$(winpath "$trace")"
ok "main window $win: $(xdotool getwindowname "$win")"

step "2. Waiting for the automatic detection to find and read the sensor on COM5"
wait_trace 40 serial 1 || fail "no read of serial number 12345 in $trace after 40 s: $(trace_facts "$trace" | tr '\n' ' ')"
ok "the trace shows block 0 read: 00 FF, 30 CF, 39 C6 (serial 0x3039 = 12345)"

step "   Waiting for the next detection run (every 5 s)"
wait_trace 15 runs 3 || fail "fewer than three detection runs: $(trace_facts "$trace" | tr '\n' ' ')"
facts=$(trace_facts "$trace")
echo "$facts" | show
# The first run comes at once when the window is up, the timer having
# started a little earlier; the later ones follow its ticks.
intervals=$(fact intervals "$facts" | cut -s -d ' ' -f 2-)
for interval in $intervals; do
  [ "$interval" -ge 4500 ] && [ "$interval" -le 8000 ] || fail "detection runs $interval ms apart, not about 5000"
done
ok "after the first, detection runs ${intervals// /, } ms apart"

step "   DetectTimeout 150 and InterfaceTransformer Echo in use"
gap=$(fact first_gap "$facts")
[ "$(fact before_first "$facts")" = "56 (echo)" ] || fail "the first time-out did not follow the presence test's echo"
# Two periods: 300 ms with 150, 200 ms with the default of 100.
[ "$gap" -ge 290 ] && [ "$gap" -le 1000 ] || fail "the unanswered presence test gave up after $gap ms, not 2 x 150"
[ "$(fact unechoed "$facts")" -eq 0 ] || fail "$(fact unechoed "$facts") sends were not followed by their echo"
[ "$(fact answers "$facts")" -ge 1 ] || fail "no answer to a presence test"
ok "unanswered presence test gave up after $gap ms (2 x 150); each of $(fact sent "$facts") sends followed by its echo"

step "   Screenshot of the main window"
xdotool mousemove 0 0
sleep 1  # the last repaint after the read
import -window root "$work/screen-read.png" || fail "import could not take a screenshot"
eval "$(xdotool getwindowgeometry --shell "$win")"
[ "$WIDTH" -ge 600 ] && [ "$HEIGHT" -ge 450 ] || fail "the main window is only ${WIDTH}x$HEIGHT"
convert "$work/screen-read.png" -crop "${WIDTH}x$HEIGHT+$X+$Y" +repage "$work/main-window.png"
colours=$(identify -format %k "$work/main-window.png")
[ "$colours" -ge 50 ] || fail "the screenshot has only $colours colours"
if [ -n "$screenshot" ]; then
  mkdir -p "$(dirname "$screenshot")"
  cp "$work/main-window.png" "$screenshot"
fi
ok "${WIDTH}x$HEIGHT at $X,$Y, $colours colours: $work/main-window.png${screenshot:+ and $screenshot}"

step "3. Closing the window with Alt+F4"
close_app
ok "rkt410.exe ended with status 0"

step "   Options in the registry after the orderly end"
values=$(reg_values "$settings_key")
echo "$values" | show
awk '$2 != "REG_SZ" { bad = 1 } END { exit bad }' <<<"$values" || fail "a value in $settings_key is not REG_SZ"
expect_value "$settings_key" Port COM5
expect_value "$settings_key" SensDetection Auto
expect_value "$settings_key" Language Deutsch
expect_value "$settings_key" Tooltips YES
expect_value "$settings_key" BlockDiagram Show
expect_value "$settings_key" WritePreview YES
# Read, never written: they stay as set by hand.
expect_value "$settings_key" DetectTimeout 150
expect_value "$settings_key" InterfaceTransformer Echo
expect_value "$settings_key" QDDebug yes
ok "all REG_SZ; written ones as expected, hand-set ones unchanged"

# ---------------------------------------------------------------------------
run=2
step "   A parameter file in a folder named Prüfstand; the interface now without echo"
folder=$work/Prüfstand
mkdir -p "$folder"
cp resources/samples/sample.RKT "$folder/"
reg_set "$settings_key" InterfaceTransformer NoEcho
start_sim --baud-timing --type 1 --noecho
ok "$folder/sample.RKT; COM5 -> $pty"

step "   Starting rkt410.exe with the file and a trace in Prüfstand"
trace=$folder/trace-file.txt
start_app --no-start-picture --trace "$(winpath "$trace")" "$(winpath "$folder/sample.RKT")"
ok "main window $win"

step "   The trace file in Prüfstand"
for _ in $(seq 20); do
  [ -f "$trace" ] && break
  sleep 0.5
done
[ -f "$trace" ] || fail "no trace file $trace: a folder name beyond ASCII is not reached"
ok "$(head -n 1 "$trace" | tr -d '\r')"

step "   The options written at the last end are read: detection on COM5, no echo"
wait_trace 20 answers 1 || fail "no presence test answered on COM5 (stored Port and SensDetection) in $trace"
facts=$(trace_facts "$trace")
tr -d '\r' <"$trace" | head -n 6 | show
[ "$(fact echoes "$facts")" -eq 0 ] || fail "echoes taken although InterfaceTransformer is NoEcho"
ok "presence answered on COM5 without echo"

step "4. Printing to PDF with the toolbar's print button (no printer: a file dialog)"
# Typed into the dialog, so ASCII only: xdotool types "ü" by changing the
# keyboard map for a moment, and under load wine may read the key before
# the change (it typed "Prfstand" once).
mkdir -p "$work/pdf"
pdf="$work/pdf/Datenblatt 1.pdf"
before=$(xdotool search --onlyvisible --name '' 2>/dev/null | sort)
eval "$(xdotool getwindowgeometry --shell "$win")"
# The third toolbar button, below wine's title bar and the menu bar.
xdotool mousemove $((X + 82)) $((Y + 59)) click 1
dialog=
for _ in $(seq 40); do
  for w in $(comm -13 <(echo "$before") <(xdotool search --onlyvisible --name '' 2>/dev/null | sort)); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$WIDTH" -ge 300 ] && [ "$HEIGHT" -ge 200 ] && dialog=$w
  done
  [ -n "$dialog" ] && break
  sleep 0.5
done
if [ -z "$dialog" ]; then
  import -window root "$work/no-dialog.png" || true
  fail "no file dialog after clicking the print button (see $work/no-dialog.png)"
fi
xdotool type --delay 30 "$(winpath "$pdf")"
xdotool key Return
for _ in $(seq 60); do
  [ -f "$pdf" ] && tail -c 64 "$pdf" | grep -q '%%EOF' && break
  sleep 0.5
done
[ -f "$pdf" ] || { import -window root "$work/no-pdf.png" || true; fail "no PDF $pdf (see $work/no-pdf.png)"; }
[ "$(head -c 5 "$pdf")" = "%PDF-" ] || fail "$pdf is no PDF file"
text=$(pdftotext -layout "$pdf" -) || fail "pdftotext cannot read $pdf"
# Compared without blanks and line ends: the sheet breaks a long path where
# it fits.
text=$(tr -d ' \n' <<<"$text")
for expected in "RKT410-DL/2" "Seriennummer:12345" 'Prüfstand\sample.RKT' "FörderbandHalle3"; do
  grep -qF "$expected" <<<"$text" || fail "the PDF lacks \"$expected\""
done
ok "$(stat -c %s "$pdf") bytes; type, serial 12345, the file's path and its comment in the text"

step "   The detection leaves the file's data alone"
wait_trace 15 runs 2 || fail "no second detection run in $trace"
facts=$(trace_facts "$trace")
[ "$(fact echoes "$facts")" -eq 0 ] || fail "echoes taken although InterfaceTransformer is NoEcho"
[ "$(fact answers "$facts")" -ge 2 ] || fail "the second detection run found no sensor"
[ "$(fact lp "$facts")" -eq 0 ] || fail "the detection read the sensor's blocks over the opened file"
ok "$(fact runs "$facts") detection runs, $(fact answers "$facts") presence answers, no block read"

step "   Closing the window with Alt+F4"
close_app
ok "rkt410.exe ended with status 0"

step "   Recent files and options in the registry"
reg query "$recent_key" | grep REG_ | show
values=$(reg_values "$recent_key")
awk '$2 != "REG_SZ" { bad = 1 } END { exit bad }' <<<"$values" || fail "a value in $recent_key is not REG_SZ"
want_file=$(winpath "$folder/sample.RKT")
expect_value "$recent_key" FILE1 "$want_file"
# The same without a code page in between: the export is UTF-16.
reg export "$key" "$(winpath "$work/rkt410.reg")" /y >/dev/null || fail "reg export failed"
exported=$(iconv -f UTF-16LE -t UTF-8 "$work/rkt410.reg" | tr -d '\r')
grep -qxF "\"FILE1\"=\"${want_file//\\/\\\\}\"" <<<"$exported" || fail "FILE1 is not $want_file in the export: $(grep FILE <<<"$exported" || echo none)"
expect_value "$settings_key" Port COM5
expect_value "$settings_key" InterfaceTransformer NoEcho
ok "FILE1 = $want_file (REG_SZ; the same in the UTF-16 export)"

step "All checks passed"
