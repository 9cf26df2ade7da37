#!/usr/bin/env bash
# Throwaway PostgreSQL servers for the tests, on 127.0.0.1 with trust authentication:
#   start            initialises (once) and starts both, then prints the variables the tests read:
#                    eval "$(scripts/pg-test-server.sh start)"
#   stop             stops both
#   restart NAME     restarts one (the tests restart "restart" under an open connection)
# "main" serves every test; "restart" has a server of its own, so that restarting it
# does not break tests that run at the same time.
set -euo pipefail
bin=/usr/lib/postgresql/15/bin
root=${ZEMIRA_PG_ROOT:-/tmp/zemira-pg-test}
script=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

check_name() {
  case $1 in
    main | restart) ;;
    *) echo "pg-test-server.sh: unknown server '$1' (main or restart)" >&2; exit 2 ;;
  esac
}

# Another copy of these servers (another checkout, a chroot sharing this network) may hold
# the usual ports: a server takes the first free port from its usual one up, and keeps it.
default_port() { if [ "$1" = main ]; then echo 54329; else echo 54330; fi; }

port_taken() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

free_port() {
  local port=$1
  while port_taken "$port"; do port=$((port + 2)); done
  echo "$port"
}

# The port a running server listens on (line 4 of its pid file).
port_of() { sed -n 4p "$root/$1/postmaster.pid"; }

# The server refuses to run as root: it then runs as the postgres user.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

ctl() {
  local dir=$root/$1
  shift
  as_owner "$bin/pg_ctl" -D "$dir" "$@"
}

start_one() {
  local name=$1 port dir=$root/$1
  if [ ! -f "$dir/PG_VERSION" ]; then
    mkdir -p "$dir"
    chmod 755 "$root"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    chmod 700 "$dir"
    as_owner "$bin/initdb" -D "$dir" -U zemira -A trust -E UTF8 --locale=C.UTF-8 -N >"$root/$name-initdb.log"
  fi
  if ! ctl "$name" status >/dev/null 2>&1; then
    port=$(free_port "$(default_port "$name")")
    ctl "$name" -w -t 60 -l "$dir/server.log" \
      -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
  fi
}

stop_one() {
  [ -f "$root/$1/PG_VERSION" ] || return 0
  if ctl "$1" status >/dev/null 2>&1; then ctl "$1" -w -m fast stop >/dev/null; fi
}

case ${1:-} in
  start)
    mkdir -p "$root"
    start_one main
    start_one restart
    echo "export ZEMIRA_TEST_PG=postgresql://zemira@127.0.0.1:$(port_of main)/postgres"
    echo "export ZEMIRA_TEST_PG_RESTART=postgresql://zemira@127.0.0.1:$(port_of restart)/postgres"
    echo "export ZEMIRA_TEST_PG_CTL=$script ZEMIRA_PG_ROOT=$root"
    ;;
  stop)
    stop_one main
    stop_one restart
    ;;
  restart)
    check_name "${2:-}"
    ctl "$2" -w -t 60 -m fast restart >/dev/null
    ;;
  *)
    echo "usage: $0 start | stop | restart main|restart" >&2
    exit 2
    ;;
esac
