#!/usr/bin/env bash
# A private PostgreSQL cluster kept in one folder, for the demo and for the tests.
# It never touches another server's data: everything lives under DIR, and the server listens on a
# socket inside DIR (and, with --tcp, on 127.0.0.1).
#
#   pgcluster.sh start  DIR [--port N] [--tcp] [--listen A]   create the cluster if needed and start it
#                                              (--tcp: also on 127.0.0.1, --listen: on the loopback address A)
#   pgcluster.sh stop   DIR                      stop it (no error if it is not running)
#   pgcluster.sh status DIR                      exit 0 when running
#   pgcluster.sh psql   DIR [psql args...]       psql as the program's user "sys"
#   pgcluster.sh admin  DIR [psql args...]       psql as the cluster's superuser (roles, databases, grants)
#   pgcluster.sh superuser DIR                   print the superuser's name
#   pgcluster.sh socket DIR                      print the socket folder (the "server address")
#
# The cluster's superuser "postgres" logs in over the socket only (no password); the program's user "sys" with
# password "wumbral" is created with the cluster as an ordinary login, without superuser rights: it owns the
# program's objects (create the database with "owner sys"), and cannot run commands on the server or read other
# logins' passwords. (A cluster made by an older version of this script has "sys" as its superuser.)
set -euo pipefail

cmd=${1:-}; dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { sed -n '2,19p' "$0"; exit 64; }
shift 2
port=5432; tcp=0; address=127.0.0.1
while [ $# -gt 0 ] && [ "$cmd" != psql ] && [ "$cmd" != admin ]; do
    case "$1" in
        --port) port=$2; shift 2 ;;
        --tcp) tcp=1; shift ;;
        --listen) tcp=1; address=$2; shift 2 ;;
        *) echo "pgcluster: unknown option $1" >&2; exit 64 ;;
    esac
done

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$pgbin/initdb" ] || { echo "pgcluster: PostgreSQL server binaries not found (install package postgresql)" >&2; exit 69; }

mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
data=$dir/data
sock=$dir/sock

# The server refuses to run as root: as root, run it as the postgres user.
as_owner() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

# The superuser: "postgres", or "sys" in a cluster made before the program's user lost its superuser rights.
superuser() { cat "$dir/superuser" 2>/dev/null || echo sys; }

running() { [ -f "$data/postmaster.pid" ] && as_owner "$pgbin/pg_ctl" -D "$data" status >/dev/null 2>&1; }

port_taken() {
    (exec 3<>"/dev/tcp/$address/$1") 2>/dev/null
}

case "$cmd" in
start)
    if running; then exit 0; fi
    if [ "$(id -u)" = 0 ]; then chown postgres: "$dir"; fi
    mkdir -p "$sock"
    if [ "$(id -u)" = 0 ]; then chown postgres: "$sock"; fi
    fresh=0
    if [ ! -f "$data/PG_VERSION" ]; then
        fresh=1
        as_owner "$pgbin/initdb" -D "$data" -U postgres -E UTF8 --locale=C.UTF-8 \
            --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1 \
            || { cat "$dir/initdb.log" >&2; echo "pgcluster: initdb failed" >&2; exit 1; }
        echo postgres > "$dir/superuser"
        # wal_log_hints and full pages in the WAL let pg_rewind make a former primary a standby (db/standby.sh).
        cat >> "$data/postgresql.conf" <<CONF
unix_socket_directories = '$sock'
fsync = off
synchronous_commit = off
wal_log_hints = on
shared_buffers = 256MB
max_connections = 200
CONF
    fi
    listen="''"
    if [ "$tcp" = 1 ]; then
        if port_taken "$port"; then
            echo "pgcluster: port $port on $address is already taken by another program." >&2
            echo "pgcluster: stop that server, or choose another port with --port N." >&2
            exit 2
        fi
        listen=$address
    fi
    as_owner "$pgbin/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 \
        -o "-p $port -c listen_addresses=$listen -k $sock" start >/dev/null \
        || { tail -n 20 "$dir/server.log" >&2; echo "pgcluster: the server did not start" >&2; exit 1; }
    echo "$port" > "$dir/port"
    if [ "$tcp" = 1 ]; then echo "$address" > "$dir/listen"; else rm -f "$dir/listen"; fi
    if [ "$fresh" = 1 ]; then
        psql -h "$sock" -p "$port" -U "$(superuser)" -X -q -d postgres -v ON_ERROR_STOP=1 \
            -c "create role sys login password 'wumbral'" >/dev/null
    fi
    ;;
stop)
    if [ -f "$data/postmaster.pid" ]; then
        as_owner "$pgbin/pg_ctl" -D "$data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    ;;
status)
    running
    ;;
psql)
    p=$(cat "$dir/port" 2>/dev/null || echo 5432)
    exec psql -h "$sock" -p "$p" -U sys -X -q "$@"
    ;;
admin)
    p=$(cat "$dir/port" 2>/dev/null || echo 5432)
    exec psql -h "$sock" -p "$p" -U "$(superuser)" -X -q "$@"
    ;;
superuser)
    superuser
    ;;
socket)
    echo "$sock"
    ;;
*)
    echo "pgcluster: unknown command $cmd" >&2; exit 64 ;;
esac
