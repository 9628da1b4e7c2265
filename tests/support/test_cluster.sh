#!/usr/bin/env bash
# Starts (or stops) the throwaway PostgreSQL cluster of one test run. The cluster lives in a new temporary
# folder whose path is written to STATEFILE; the template database "kesta_template" holds the schema and its grants,
# and every test makes its own database from it.
set -euo pipefail
cmd=$1; statefile=$2; dbdir=$3
cluster=$dbdir/pgcluster.sh

case "$cmd" in
start)
    if [ -f "$statefile" ]; then
        old=$(cat "$statefile")
        "$cluster" stop "$old" || true
        rm -rf "$old"
    fi
    dir=$(mktemp -d /tmp/kesta-test-pg.XXXXXX)
    chmod 755 "$dir"
    "$cluster" start "$dir"
    # As on a shop's server: the program's user sys owns the database and its objects without superuser rights;
    # the group roles and their grants are the superuser's.
    "$cluster" admin "$dir" -d postgres -v ON_ERROR_STOP=1 -c "create database kesta_template owner sys"
    "$cluster" psql "$dir" -d kesta_template -v ON_ERROR_STOP=1 -f "$dbdir/schema.sql" >/dev/null
    "$cluster" admin "$dir" -d kesta_template -v ON_ERROR_STOP=1 -f "$dbdir/roles.sql" >/dev/null
    echo "$dir" > "$statefile"
    echo "test cluster in $dir"
    ;;
stop)
    [ -f "$statefile" ] || exit 0
    dir=$(cat "$statefile")
    "$cluster" stop "$dir" || true
    rm -rf "$dir" "$statefile"
    ;;
esac
