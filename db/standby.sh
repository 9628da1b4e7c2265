#!/usr/bin/env bash
# A streaming standby of a private cluster (db/pgcluster.sh) on the same machine, for trying the program with a
# primary and a standby and for the tests. The standby lives in its own folder, with its own socket there.
#
#   standby.sh start   PRIMARY_DIR STANDBY_DIR   copy the running primary (pg_basebackup -R) unless STANDBY_DIR
#                                                holds one already, and start it as a standby
#   standby.sh promote STANDBY_DIR               make the standby a primary (after the primary was lost)
#   standby.sh stop    STANDBY_DIR               stop it (no error if it is not running)
#
# Then give the program both socket folders as its server address: kesta_tabel DATABASE PRIMARY_SOCK,STANDBY_SOCK
# (db/pgcluster.sh socket DIR prints each).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cluster=$here/pgcluster.sh
cmd=${1:-}
usage() { sed -n '2,11p' "$0"; exit 64; }

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$pgbin/pg_basebackup" ] || { echo "standby: PostgreSQL server binaries not found (install package postgresql)" >&2; exit 69; }

as_owner() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

case "$cmd" in
start)
    [ $# -eq 3 ] || usage
    primary=$(cd "$2" && pwd)
    mkdir -p "$3"
    standby=$(cd "$3" && pwd)
    "$cluster" status "$primary" || { echo "standby: the primary in $primary is not running" >&2; exit 1; }
    if [ ! -f "$standby/data/PG_VERSION" ]; then
        if [ "$(id -u)" = 0 ]; then chown postgres: "$standby"; fi
        # The primary lets its own user replicate over its socket (initdb's default for local connections);
        # -R leaves standby.signal and the primary's address in the copy.
        as_owner "$pgbin/pg_basebackup" -h "$("$cluster" socket "$primary")" -p "$(cat "$primary/port" 2>/dev/null || echo 5432)" \
            -U sys -D "$standby/data" -R -X stream -c fast >/dev/null
    fi
    # The copy's settings name the primary's socket folder; the standby is started on its own.
    "$cluster" start "$standby"
    ;;
promote)
    [ $# -eq 2 ] || usage
    standby=$(cd "$2" && pwd)
    as_owner "$pgbin/pg_ctl" -D "$standby/data" -w -t 60 promote >/dev/null
    ;;
stop)
    [ $# -eq 2 ] || usage
    "$cluster" stop "$2"
    ;;
*)
    usage ;;
esac
