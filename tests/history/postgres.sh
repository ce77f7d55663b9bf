#!/usr/bin/env bash
# A PostgreSQL server of its own for the plant history's tests and benchmark,
# in a temporary folder that holds everything it has (data, socket, log):
#   postgres.sh start DIR   makes and starts it; DIR/address then holds
#                           postgresql://rkt@127.0.0.1:PORT/plant and
#                           DIR/server links to the server's folder
#   postgres.sh stop DIR    stops it (fast) and removes both folders
#   postgres.sh kill DIR    stops it at once, as a crash would (-m immediate)
#   postgres.sh restart DIR starts the stopped server again, on its port
# As root the server runs as the user nobody (PostgreSQL refuses root). With
# RKT_SKIP_POSTGRES=1 it starts nothing and says so; the tests then skip.
set -euo pipefail
command=$1
state=$2
# The server's own folder, which the user nobody must reach by its path.
dir=$(readlink "$state/server" 2>/dev/null || echo "$state/server")
bin=${RKT_PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}
pg_ctl() { as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/log" "$@"; }

case "$command" in
  start)
    if [ "${RKT_SKIP_POSTGRES:-}" = 1 ]; then
      echo "RKT_SKIP_POSTGRES=1: no PostgreSQL server; the plant history's tests skip"
      exit 0
    fi
    if [ ! -x "$bin/initdb" ]; then
      echo "no PostgreSQL server programs (initdb, pg_ctl): install postgresql (scripts/ensure-deps.sh)" >&2
      exit 1
    fi
    [ -d "$dir/data" ] && pg_ctl stop -m immediate >/dev/null 2>&1 || true
    [ -L "$state/server" ] && rm -rf "$dir"
    rm -rf "$state"
    mkdir -p "$state"
    dir=$(mktemp -d "${TMPDIR:-/tmp}/rkt-postgres.XXXXXX")
    ln -s "$dir" "$state/server"
    if [ "$(id -u)" -eq 0 ]; then chown nobody: "$dir"; fi
    as_owner "$bin/initdb" -D "$dir/data" -U rkt --auth=trust --no-sync -E UTF8 >"$dir/initdb.log"
    # A port no one listens on, from the ones the system does not hand out itself.
    port=
    for _ in $(seq 50); do
      candidate=$((20000 + RANDOM % 10000))
      if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then port=$candidate; break; fi
    done
    [ -n "$port" ] || { echo "no free port" >&2; exit 1; }
    {
      echo "port = $port"
      echo "listen_addresses = '127.0.0.1'"
      echo "unix_socket_directories = '$dir'"
      echo "fsync = off"
      echo "max_connections = 60"
    } >>"$dir/data/postgresql.conf"
    pg_ctl -w -t 30 start >/dev/null
    as_owner "$bin/createdb" -h 127.0.0.1 -p "$port" -U rkt plant
    echo "postgresql://rkt@127.0.0.1:$port/plant" >"$state/address"
    cat "$state/address"
    ;;
  stop)
    [ -d "$dir/data" ] && pg_ctl -w -m fast stop >/dev/null 2>&1 || true
    [ -L "$state/server" ] && rm -rf "$dir"
    rm -rf "$state"
    ;;
  kill) pg_ctl -m immediate stop >/dev/null ;;
  restart) pg_ctl -w -t 30 start >/dev/null ;;
  *) echo "usage: $0 start|stop|kill|restart DIR" >&2; exit 2 ;;
esac
