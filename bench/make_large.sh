#!/usr/bin/env bash
# Makes the large database for the benchmarks: a private cluster in DIR (default /var/tmp/kesta-large) with
# the database kesta_large, filled by db/generate.sql at the large scale (300 workers, five years of journal,
# over a million rows). An existing kesta_large is dropped and made anew, so its dates reach today.
# The server is left running on its socket only; the program and the benchmarks reach it with the socket
# folder as the server address (printed at the end). Stop it with: db/pgcluster.sh stop DIR
#
#   bench/make_large.sh [DIR]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cluster=$root/db/pgcluster.sh
dir=${1:-/var/tmp/kesta-large}
db=kesta_large

"$cluster" start "$dir"
dir=$(cd "$dir" && pwd)
q() { PGOPTIONS="-c client_min_messages=warning" "$cluster" psql "$dir" -v ON_ERROR_STOP=1 "$@"; }
# databases are made by the cluster's superuser, owned by the program's user sys (no superuser)
qa() { PGOPTIONS="-c client_min_messages=warning" "$cluster" admin "$dir" -v ON_ERROR_STOP=1 "$@"; }

qa -d postgres -c "drop database if exists $db with (force)" -c "create database $db owner sys"
q -d "$db" -f "$root/db/schema.sql" >/dev/null
# The benchmarks make the database anew when the schema it was made with has changed since.
sha256sum < "$root/db/schema.sql" | cut -d' ' -f1 > "$dir/schema.sha256"

t0=$(date +%s.%N)
q -d "$db" -v scale=large -f "$root/db/generate.sql" >/dev/null
t1=$(date +%s.%N)
awk -v a="$t0" -v b="$t1" 'BEGIN { printf "generated in %.1f s\n", b - a }'

q -d "$db" -P footer=off <<'SQL'
select 'workers' as "table", count(*) as "rows" from accounts_dep.person
union all select 'products', count(*) from accounts_dep.izdel
union all select 'operations', count(*) from accounts_dep.oper
union all select 'norms', count(*) from accounts_dep.norm
union all select 'journal (smena)', count(*) from accounts_dep.smena
union all select 'timesheet (h_tabel)', count(*) from accounts_dep.h_tabel;
select pg_size_pretty(pg_database_size(current_database())) as "database size";
SQL
echo "server address (socket folder): $("$cluster" socket "$dir"), database $db"
echo "stop the server with: db/pgcluster.sh stop $dir"
