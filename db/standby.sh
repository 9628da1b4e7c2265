#!/usr/bin/env bash
# A streaming standby of a private cluster (db/pgcluster.sh) on the same machine, for trying the program with a
# primary and a standby and for the tests. The standby lives in its own folder, with its own socket there.
#
#   standby.sh start   PRIMARY_DIR STANDBY_DIR   copy the running primary (pg_basebackup -R) unless STANDBY_DIR
#                                                holds one already, and start it as a standby
#   standby.sh promote STANDBY_DIR               make the standby a primary (after the primary was lost)
#   standby.sh rewind  OLD_PRIMARY_DIR NEW_PRIMARY_DIR
#                                                make the former primary a standby of the new one (pg_rewind):
#                                                run it after a promotion, before the old primary takes any work
#   standby.sh stop    STANDBY_DIR               stop it (no error if it is not running)
#
# Then give the program both socket folders as its server address: kesta_tabel DATABASE PRIMARY_SOCK,STANDBY_SOCK
# (db/pgcluster.sh socket DIR prints each).
#
# After a promotion the former primary must not run as a primary again: started as it was, it would take changes
# that the new primary never sees. "rewind" stops it, winds its data back to where the two parted, and starts it
# as a standby of the new primary (the program refuses a former primary it can recognise, but one that a
# workstation never reached it cannot).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cluster=$here/pgcluster.sh
cmd=${1:-}
usage() { sed -n '2,20p' "$0"; exit 64; }

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
        # The primary lets its superuser replicate over its socket (initdb's default for local connections);
        # -R leaves standby.signal and the primary's address in the copy.
        as_owner "$pgbin/pg_basebackup" -h "$("$cluster" socket "$primary")" -p "$(cat "$primary/port" 2>/dev/null || echo 5432)" \
            -U "$("$cluster" superuser "$primary")" -D "$standby/data" -R -X stream -c fast >/dev/null
        "$cluster" superuser "$primary" > "$standby/superuser"
    fi
    # The copy's settings name the primary's socket folder; the standby is started on its own.
    "$cluster" start "$standby"
    ;;
promote)
    [ $# -eq 2 ] || usage
    standby=$(cd "$2" && pwd)
    as_owner "$pgbin/pg_ctl" -D "$standby/data" -w -t 60 promote >/dev/null
    ;;
rewind)
    [ $# -eq 3 ] || usage
    old=$(cd "$2" && pwd)
    new=$(cd "$3" && pwd)
    [ -f "$old/data/PG_VERSION" ] || { echo "standby: no cluster in $old" >&2; exit 1; }
    "$cluster" status "$new" || { echo "standby: the new primary in $new is not running" >&2; exit 1; }
    # pg_rewind wants the old server shut down cleanly; a server that crashed is first brought to a clean state.
    "$cluster" stop "$old"
    state=$(as_owner "$pgbin/pg_controldata" -D "$old/data" | sed -n 's/^Database cluster state: *//p')
    if [ "$state" != "shut down" ] && [ "$state" != "shut down in recovery" ]; then
        as_owner "$pgbin/postgres" --single -D "$old/data" -c unix_socket_directories="$old/sock" postgres </dev/null >/dev/null
    fi
    # A standby just promoted writes its new timeline into its control file only at its next checkpoint; until then
    # pg_rewind would take the two for one timeline and rewind nothing.
    "$cluster" admin "$new" -d postgres -c checkpoint >/dev/null
    # The data that differs since the two parted is copied back from the new primary (over its socket, as its
    # superuser); -R leaves standby.signal and the new primary's address behind.
    as_owner "$pgbin/pg_rewind" -D "$old/data" -R \
        --source-server="host=$("$cluster" socket "$new") port=$(cat "$new/port" 2>/dev/null || echo 5432) user=$("$cluster" superuser "$new") dbname=postgres" \
        >"$old/rewind.log" 2>&1 || { cat "$old/rewind.log" >&2; echo "standby: pg_rewind failed" >&2; exit 1; }
    "$cluster" start "$old"
    ;;
stop)
    [ $# -eq 2 ] || usage
    "$cluster" stop "$2"
    ;;
*)
    usage ;;
esac
