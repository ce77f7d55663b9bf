#!/usr/bin/env bash
# rkt410-cli.exe under wine on COM ports linked to simulated sensors at real
# line speed (1200 baud): read, write with its verify and history, the
# sensitivity, a write whose byte does not take, COM12, and a printed PDF.
# Each result is compared with the Linux command line's on a sensor of the
# same kind.
#
#   cli_over_com_port.sh HOST_BUILD WINDOWS_PROGRAM_FOLDER SOURCE_DIR
set -euo pipefail
host=$1 prog=$2 src=$3
wine=${RKT_WINE:-/usr/lib/wine/wine64}
: "${WINEPREFIX:?a wine prefix is needed}"
work=$(mktemp -d)
sims=()
trap 'kill "${sims[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work" "$WINEPREFIX"/dosdevices/com{5,7,12,21,22}' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $* ($SECONDS s)"; }

# A simulated sensor (type 5, the sample's) behind LINK; its pty in $work/NAME.pty.
sim() {
  local name=$1 link=$2
  shift 2
  "$host/src/sim/rkt410-sim" --link "$link" --baud-timing --type 5 "$@" >"$work/$name.pty" 2>"$work/$name.err" &
  sims+=($!)
  for _ in $(seq 50); do [ -s "$work/$name.pty" ] && return 0; sleep 0.1; done
  fail "the simulated sensor $name did not start: $(cat "$work/$name.err")"
}
# This machine's pseudo-terminals drop the parity bit and refuse a termios
# change that asks for nothing else (EINVAL), so wine's SetCommState fails for
# every program that opens the port after the first. Clearing INPCK from the
# Linux side gives wine's next change something more to do.
ready() { stty -F "$(cat "$work/$1.pty")" -inpck; }
# The Windows command line on a COM port, its output with Linux line ends.
win() {
  local name=$1
  shift
  ready "$name"
  local rc=0
  "$wine" "$prog/rkt410-cli.exe" "$@" >"$work/out" 2>"$work/err" || rc=$?
  tr -d '\r' <"$work/out"
  tr -d '\r' <"$work/err" >&2
  return $rc
}
lin() { "$host/src/cli/rkt410-cli" "$@"; }
same() {  # label, windows output, linux output
  [ "$2" = "$3" ] || { diff <(echo "$3") <(echo "$2") >&2 || true; fail "$1 differs between Windows and Linux"; }
}

dos=$WINEPREFIX/dosdevices
sample=$src/resources/samples/sample.RKT
sim w5 "$dos/com5"
sim l5 "$work/linux5"
sim w12 "$dos/com12"
# A sensor that confirms a byte but keeps the old one.
sim w7 "$dos/com7" --faults lost-write
sim l7 "$work/linux7" --faults lost-write

step "read on COM5"
w=$(win w5 read --port COM5) || fail "read on COM5 failed: $w"
l=$(lin read --port "$work/linux5")
same "read" "$w" "$l"
grep -q "Seriennummer: *12345" <<<"$w" || fail "read shows no serial number: $w"

step "write with verify and history on COM5"
whist="Z:${work//\//\\}\\windows history.db"
w=$(win w5 write --port COM5 --json --history-db "$whist" "$sample") || fail "write on COM5 failed: $w"
l=$(lin write --port "$work/linux5" --json --history-db "$work/linux history.db" "$sample")
same "write" "$w" "$l"
grep -q '"result":"done"' <<<"$w" || fail "write not done: $w"
# The records agree but for the port, the time and the record's own uid.
strip() { sed -E 's/"port":"[^"]*",//; s/"time":"[^"]*",//g; s/"uid":"[^"]*"//g'; }
w=$("$wine" "$prog/rkt410-cli.exe" history --json --history-db "$whist" | tr -d '\r' | strip)
l=$(lin history --json --history-db "$work/linux history.db" | strip)
same "history" "$w" "$l"
grep -q '"after":"3804-G2N2-4A4U-0W12-01S"' <<<"$w" || fail "the history lacks the written setting: $w"
"$wine" "$prog/rkt410-cli.exe" history --json --history-db "$whist" | grep -q '"port":"COM5"' ||
  fail "the history does not name COM5"
w=$(win w5 write --port COM5 --dry-run --json "$sample") || fail "dry run on COM5: $w"
grep -q '"changes":\[\]' <<<"$w" || fail "the sensor does not hold the written setting: $w"
w=$(win w5 read --port COM5)
same "read after the write" "$w" "$(lin read --port "$work/linux5")"

step "sensitivity on COM5"
w=$(win w5 sensitivity --port COM5 write 80 --history-db "$whist") || fail "sensitivity write failed: $w"
l=$(lin sensitivity --port "$work/linux5" write 80 --history-db "$work/linux history.db")
same "sensitivity write" "$w" "$l"
w=$(win w5 sensitivity --port COM5 read)
[ "$w" = "$(lin sensitivity --port "$work/linux5" read)" ] || fail "sensitivity read: $w"

step "a byte that does not take, on COM7"
wrc=0 lrc=0
w=$(win w7 write --port COM7 --json --history-db "$whist" "$sample") || wrc=$?
l=$(lin write --port "$work/linux7" --json --history-db "$work/linux history.db" "$sample") || lrc=$?
same "failed write" "$w" "$l"
[ "$wrc" = "$lrc" ] && [ "$wrc" != 0 ] || fail "exit codes $wrc (Windows) and $lrc (Linux) for a failed write"
grep -q '"code":1040' <<<"$w" || fail "the failed check is not 1040: $w"

step "COM12 (a name beyond COM9)"
w=$(win w12 test --port COM12) || fail "COM12: $w"
grep -q "Kommunikation ok" <<<"$w" || fail "COM12: $w"
w=$(win w12 test --port COM13 2>&1) && fail "a missing COM13 was reported as working: $w"
grep -q 'COM13' <<<"$w" || fail "a missing port is not named: $w"

step "the port list from the registry's serial device map"
map='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
for n in 5 12; do
  "$wine" reg add "$map" /v "\\Device\\RktTest$n" /d "COM$n" /f >/dev/null || fail "reg add failed"
done
w=$("$wine" "$prog/rkt410-cli.exe" ports | tr -d '\r')
for n in 5 12; do "$wine" reg delete "$map" /v "\\Device\\RktTest$n" /f >/dev/null 2>&1 || true; done
grep -qx COM5 <<<"$w" && grep -qx COM12 <<<"$w" || fail "the port list lacks the device map's COM5 and COM12: $w"

step "station on COM21 and COM22 (matched as COM2?), two sensors each, beside Linux"
# A worker plugs a new sensor into each socket every 10 s; the station writes
# and verifies each once, names its port and keeps its record.
sims_st() {  # name, link pattern
  "$host/src/sim/rkt410-sim" --link "$2" --count 2 --baud-timing --type 5 --serial 40001 \
    --swap-every 9000 --swap-gap 1000 >"$work/$1.pty" 2>"$work/$1.err" &
  sims+=($!)
  for _ in $(seq 50); do [ "$(wc -l <"$work/$1.pty")" = 2 ] && return 0; sleep 0.1; done
  fail "the simulated sensors $1 did not start: $(cat "$work/$1.err")"
}
sims_st wst "$dos/com2%d"
sims_st lst "$work/station%d"
station_sims=("${sims[@]: -2}")
while read -r pty; do stty -F "$pty" -inpck; done <"$work/wst.pty"
for n in 21 22; do
  "$wine" reg add "$map" /v "\\Device\\RktStation$n" /d "COM$n" /f >/dev/null || fail "reg add failed"
done
lin station "$sample" --ports "$work/station*" --count 4 --history-db "$work/linux station.db" >"$work/lst.out" 2>"$work/lst.err" &
lpid=$!
wrc=0
"$wine" "$prog/rkt410-cli.exe" station "$sample" --ports 'COM2?' --count 4 --history-db "Z:${work//\//\\}\\station.db" \
  >"$work/wst.out" 2>"$work/wst.err" || wrc=$?
wait "$lpid" || fail "the Linux station failed: $(cat "$work/lst.out" "$work/lst.err")"
kill "${station_sims[@]}" 2>/dev/null || true
for n in 21 22; do "$wine" reg delete "$map" /v "\\Device\\RktStation$n" /f >/dev/null 2>&1 || true; done
w=$(tr -d '\r' <"$work/wst.out")
[ "$wrc" = 0 ] || fail "the station on COM ports ended with $wrc: $w $(tr -d '\r' <"$work/wst.err")"
# Each sensor's line but for the port, the time, the duration and the record's number.
lines() { sed -E 's/"(port|time)":"[^"]*",//g; s/"(duration_ms|record)":[0-9]+,//g' | sort; }
same "station" "$(lines <<<"$w")" "$(lines <"$work/lst.out")"
[ "$(grep -c '"result":"pass"' <<<"$w")" = 4 ] || fail "not four sensors passed: $w"
for port in COM21 COM22; do
  [ "$(grep -c "\"port\":\"$port\"" <<<"$w")" = 2 ] || fail "$port did not write two sensors: $w"
done
[ "$(grep -o '"serial":4000[1-4]' <<<"$w" | sort -u | wc -l)" = 4 ] || fail "not four different sensors: $w"
h=$("$wine" "$prog/rkt410-cli.exe" history --json --history-db "Z:${work//\//\\}\\station.db" | tr -d '\r')
[ "$(grep -o '"after":"3804-G2N2-4A4U-0W12-01S"' <<<"$h" | wc -l)" = 4 ] || fail "the station's history lacks its four records: $h"

step "print to PDF, a name with umlauts"
pdf="$work/Prüfprotokoll Süd.pdf"
"$wine" "$prog/rkt410-cli.exe" print "$sample" -o "Z:${pdf//\//\\}" >/dev/null || fail "print failed"
text=$(pdftotext -layout "$pdf" -)
grep -q "Störfilterung:" <<<"$text" || fail "the PDF lacks its lines: $text"
grep -q $'\uFB01' <<<"$text" && fail "the PDF has a ligature"
step "all passed"
