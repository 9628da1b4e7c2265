#!/usr/bin/env bash
# The demo database: a private PostgreSQL cluster with the database kesta_erp filled with a shop's data.
# It lives outside the source tree and is kept between runs; only the first start (or a reset) generates data.
#
#   demo.sh start    start the server on 127.0.0.1:5432 (create and fill kesta_erp on the first run)
#   demo.sh stop     stop the server
#   demo.sh status   exit 0 when the server is running
#   demo.sh reset    drop kesta_erp and generate it anew (journal dates move up to today)
#   demo.sh psql [psql args]   psql into kesta_erp as the program's user
#
# Besides the program's built-in user sys, the demo has one personal login per group role of db/roles.sql
# (demo_reporting, demo_foreman, demo_warehouse, demo_full; each login's password is its name), and in its folder a
# service file and a password file for them, so that the program can be tried with a personal login at once:
#   PGSERVICEFILE=DIR/pg_service.conf PGPASSFILE=DIR/pgpass kesta_tabel --service demo_reporting
#
# Folder: $KESTA_DEMO_DIR, else ~/.local/share/kesta-demo; as root /var/lib/kesta-demo, because the server
# runs as the postgres user there and cannot reach into /root.
# The program always connects to port 5432, so the demo server listens there on 127.0.0.1.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cluster=$here/pgcluster.sh
db=kesta_erp

if [ -n "${KESTA_DEMO_DIR:-}" ]; then
    dir=$KESTA_DEMO_DIR
elif [ "$(id -u)" = 0 ]; then
    dir=/var/lib/kesta-demo
else
    dir=$HOME/.local/share/kesta-demo
fi

say() { echo "demo: $*" >&2; }

# As root the server runs as postgres: every folder above DIR must let postgres through.
check_reachable() {
    [ "$(id -u)" = 0 ] || return 0
    local p
    p=$(dirname "$(realpath -m "$dir")")
    while [ ! -d "$p" ]; do p=$(dirname "$p"); done
    if ! runuser -u postgres -- test -x "$p"; then
        say "the server runs as user postgres, which cannot reach $dir ($p is closed to other users)."
        say "choose another folder, e.g.: KESTA_DEMO_DIR=/var/lib/kesta-demo $0 ${cmd:-start}"
        exit 1
    fi
}

psql_demo() { "$cluster" psql "$dir" "$@"; }
# as the cluster's superuser: databases, roles and grants (the program's user sys is no superuser)
psql_admin() { PGOPTIONS="${PGOPTIONS:-} -c client_min_messages=warning" "$cluster" admin "$dir" "$@"; }

db_exists() {
    [ "$(psql_demo -d postgres -tAc "select 1 from pg_database where datname = '$1'")" = 1 ]
}

# Builds the database under a temporary name and renames it at the end, so that an interrupted first run
# leaves no half-filled kesta_erp behind (the next start simply builds it again).
generate() {
    local tmp=${db}_building t0=$SECONDS
    say "generating the demo data into $db ..."
    psql_admin -d postgres -c "drop database if exists $tmp" >/dev/null
    psql_admin -d postgres -c "create database $tmp owner sys" >/dev/null
    psql_demo -d "$tmp" -v ON_ERROR_STOP=1 -f "$here/schema.sql" >/dev/null
    psql_admin -d "$tmp" -v ON_ERROR_STOP=1 -f "$here/roles.sql" >/dev/null
    psql_demo -d "$tmp" -v ON_ERROR_STOP=1 -v scale=demo -f "$here/generate.sql" >/dev/null
    psql_admin -d postgres -c "alter database $tmp rename to $db" >/dev/null
    source_checksum >"$dir/source.sha256"
    say "done in $((SECONDS - t0)) s: $(psql_demo -d "$db" -tAc "select count(*) from accounts_dep.smena") journal rows"
}

# What the demo was made from: the schema, the grants and the generator.
source_checksum() { cat "$here/schema.sql" "$here/roles.sql" "$here/generate.sql" | sha256sum | cut -d' ' -f1; }

# The personal logins (roles belong to the server, not to the database: made once, kept across resets), and the
# service and password files that name them.
demo_logins() {
    local g
    for g in reporting foreman warehouse full; do
        psql_admin -d postgres -v ON_ERROR_STOP=1 >/dev/null <<SQL
do \$\$ begin
    if not exists (select 1 from pg_roles where rolname = 'demo_$g') then
        create role demo_$g login password 'demo_$g';
    end if;
end \$\$;
grant kesta_$g to demo_$g;
SQL
    done
    umask 077
    : >"$dir/pgpass"
    : >"$dir/pg_service.conf"
    for g in reporting foreman warehouse full; do
        echo "localhost:5432:$db:demo_$g:demo_$g" >>"$dir/pgpass"
        printf '[demo_%s]\nhost=localhost\nport=5432\ndbname=%s\nuser=demo_%s\n\n' "$g" "$db" "$g" >>"$dir/pg_service.conf"
    done
    umask 022
}

# True when the demo was made from other sources than the current ones (or before they were recorded).
demo_outdated() { [ "$(cat "$dir/source.sha256" 2>/dev/null)" != "$(source_checksum)" ]; }

start() {
    check_reachable
    local rc=0
    "$cluster" start "$dir" --tcp || rc=$?
    if [ "$rc" != 0 ]; then
        if [ "$rc" = 2 ]; then
            say "the demo server needs port 5432 on 127.0.0.1 (the program always connects to port 5432)."
            say "another PostgreSQL probably runs there; stop it first, e.g. 'systemctl stop postgresql' or"
            say "'pg_ctlcluster 15 main stop', or point the program at that server instead (see README.md)."
        else
            say "the demo server did not start; its log is $dir/server.log"
        fi
        exit "$rc"
    fi
    if db_exists "$db" && demo_outdated; then
        say "db/schema.sql or db/generate.sql changed since the demo data was made: making it again"
        psql_admin -d postgres -c "drop database if exists $db with (force)" >/dev/null
    fi
    db_exists "$db" || generate
    demo_logins
    if [ "$("$cluster" superuser "$dir")" = sys ]; then
        say "this demo cluster was made by an older version, in which the program's user sys is the superuser."
        say "to have sys without superuser rights, as on a shop's server: $0 stop; rm -r $dir; $0 start"
    fi
    say "running: database $db on localhost:5432 (data in $dir)"
    say "personal logins: PGSERVICEFILE=$dir/pg_service.conf PGPASSFILE=$dir/pgpass kesta_tabel --service demo_reporting"
}

cmd=${1:-}
case "$cmd" in
start)
    start
    ;;
stop)
    "$cluster" stop "$dir"
    ;;
status)
    if [ -d "$dir/data" ] && "$cluster" status "$dir"; then
        say "running, data in $dir"
    else
        say "not running (data folder $dir)"
        exit 3
    fi
    ;;
reset)
    check_reachable
    # A stopped server is started on its socket only (no port needed) and stopped again afterwards.
    was_running=0
    if [ -d "$dir/data" ] && "$cluster" status "$dir"; then was_running=1; else "$cluster" start "$dir"; fi
    psql_admin -d postgres -c "drop database if exists $db with (force)" >/dev/null
    generate
    demo_logins
    [ "$was_running" = 1 ] || "$cluster" stop "$dir"
    ;;
psql)
    shift
    psql_demo -d "$db" "$@"
    ;;
*)
    sed -n '2,18p' "$0" >&2
    exit 64
    ;;
esac
