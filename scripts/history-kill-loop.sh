#!/usr/bin/env bash
# Kills rkt410-cli with SIGKILL at random moments of sensor writes against
# rkt410-sim (1200-baud timing, on a pseudo-terminal), TRIES times, and checks
# the write history after each kill:
#  - a write that sent its first "PQ" has its record (it is stored before
#    the first byte goes out), and no run leaves more than one record;
#  - PRAGMA integrity_check answers "ok".
# Usage: scripts/history-kill-loop.sh [BUILD_DIR] [TRIES]   (defaults: build 50)
set -euo pipefail

build=${1:-build}
tries=${2:-50}
cli=$build/src/cli/rkt410-cli
sim=$build/src/sim/rkt410-sim
for p in "$cli" "$sim"; do [ -x "$p" ] || { echo "missing $p (build first)" >&2; exit 2; }; done

work=$(mktemp -d)
simpid=
cleanup() {
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null && wait "$simpid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The simulator keeps the pseudo-terminal's far side open, so a client killed
# mid-transfer leaves it in the state the client set (exclusive use); a real
# port is reset when its last user goes. So the simulator starts afresh for
# every try, its memory carried over in the state file.
start_sim() {
  rm -f "$work/tty"
  "$sim" --link "$work/tty" --state "$work/state.json" --baud-timing >> "$work/sim.log" 2>&1 &
  simpid=$!
  for _ in $(seq 100); do [ -e "$work/tty" ] && return; sleep 0.05; done
  echo "rkt410-sim did not start" >&2
  exit 2
}
stop_sim() {
  kill "$simpid" 2>/dev/null || true
  wait "$simpid" 2>/dev/null || true
  simpid=
}
start_sim
db=$work/history.sqlite

"$cli" read --port "$work/tty" -o "$work/a.RKT" > /dev/null
stop_sim
# A second file with other times: the two are written in turn, so that every
# write changes the sensor.
python3 - "$work/a.RKT" "$work/b.RKT" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
params = 0x5d  # the parameter block of a version-2 file
data[params + 4] = (data[params + 4] + 37) % 250 + 1
data[params + 5] = (data[params + 5] + 53) % 250 + 1
open(sys.argv[2], 'wb').write(data)
PY

query() {
  python3 - "$db" "$1" <<'PY'
import os, sqlite3, sys
if not os.path.exists(sys.argv[1]):
    print(0 if sys.argv[2] == 'count' else 'ok'); sys.exit()
c = sqlite3.connect(sys.argv[1])
if sys.argv[2] == 'count':
    print(c.execute('SELECT count(*) FROM writes').fetchone()[0])
elif sys.argv[2] == 'check':
    print(c.execute('PRAGMA integrity_check').fetchone()[0])
else:
    for row in c.execute("SELECT coalesce(result, 'interrupted'), count(*) FROM writes GROUP BY 1 ORDER BY 1"):
        print('  %-14s %d' % row)
PY
}

started=0 recorded=0 lost=0 extra=0 corrupt=0 finished=0
declare -A exits=()
for i in $(seq "$tries"); do
  file=$work/a.RKT
  [ $((i % 2)) -eq 1 ] && file=$work/b.RKT
  before=$(query count)
  [ -n "$simpid" ] || start_sim
  trace=$work/trace-$i.txt
  "$cli" write --port "$work/tty" --history-db "$db" --trace "$trace" "$file" > "$work/out-$i.txt" 2>&1 &
  pid=$!
  # A write takes about 4 s at 1200 baud; kill anywhere in it.
  sleep "$(python3 -c "import random; print(round(random.uniform(0.05, 4.0), 3))")"
  if kill -KILL "$pid" 2>/dev/null; then :; else finished=$((finished + 1)); fi
  rc=0
  wait "$pid" 2>/dev/null || rc=$?
  # 137: killed; 0: done or nothing to change; 1: the write failed.
  exits[$rc]=$(( ${exits[$rc]:-0} + 1 ))
  [ "$rc" -eq 1 ] && sed "s/^/try $i: /" "$work/out-$i.txt"
  stop_sim
  after=$(query count)
  check=$(query check)
  [ "$check" = ok ] || { corrupt=$((corrupt + 1)); echo "try $i: integrity_check: $check"; }
  new=$((after - before))
  if grep -Eqi '>[[:space:]]+50 51[[:space:]]*$' "$trace" 2>/dev/null; then
    started=$((started + 1))
    if [ "$new" -eq 1 ]; then recorded=$((recorded + 1)); else lost=$((lost + 1)); echo "try $i: a byte went out, no record"; fi
  elif [ "$new" -gt 1 ]; then
    echo "try $i: $new records"
  fi
  [ "$new" -gt 1 ] && extra=$((extra + 1))
done

echo "tries: $tries (ended on their own before the kill: $finished)"
for rc in "${!exits[@]}"; do echo "  exit status $rc: ${exits[$rc]}"; done
echo "writes that sent a byte: $started, with their record: $recorded, without: $lost"
echo "runs with more than one record: $extra; integrity_check failures: $corrupt"
echo "records by result:"
query results
[ "$lost" -eq 0 ] && [ "$corrupt" -eq 0 ] && [ "$extra" -eq 0 ]
