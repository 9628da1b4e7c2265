#!/usr/bin/env bash
# Makes a large database for the benchmarks: a private cluster in DIR (default /var/tmp/kesta-large) with a database
# filled by db/generate.sql at the large scale: 300 workers and five years of journal (over a million rows), or a
# multiple of it. An existing database of that name is dropped and made anew, so its dates reach today.
# The server is left running on its socket only; the program and the benchmarks reach it with the socket
# folder as the server address (printed at the end). Stop it with: db/pgcluster.sh stop DIR
#
#   bench/make_large.sh [--scale N] [--years N] [DIR]
#       --scale N  N times the workers and products (10: a plant's 3,000 workers, about 12 million journal rows)
#       --years N  N years of journal instead of five (50: the shop's 300 workers over fifty years)
#   The database is kesta_large, or kesta_large_s10, kesta_large_y50, kesta_large_s10_y50 ... (bench/large_name.sh).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cluster=$root/db/pgcluster.sh
scale=1
years=5
dir=/var/tmp/kesta-large
while [ $# -gt 0 ]; do
    case "$1" in
        --scale) scale=${2:?--scale needs a number}; shift 2 ;;
        --years) years=${2:?--years needs a number}; shift 2 ;;
        -*) echo "make_large: unknown option $1 (--scale N, --years N)" >&2; exit 64 ;;
        *) dir=$1; shift ;;
    esac
done
db=$("$root/bench/large_name.sh" "$scale" "$years")

"$cluster" start "$dir"
dir=$(cd "$dir" && pwd)
q() { PGOPTIONS="-c client_min_messages=warning" "$cluster" psql "$dir" -v ON_ERROR_STOP=1 "$@"; }
# databases are made by the cluster's superuser, owned by the program's user sys (no superuser)
qa() { PGOPTIONS="-c client_min_messages=warning" "$cluster" admin "$dir" -v ON_ERROR_STOP=1 "$@"; }

qa -d postgres -c "drop database if exists $db with (force)" -c "create database $db owner sys"
rm -f "$dir/$db.schema.sha256"
q -d "$db" -f "$root/db/schema.sql" >/dev/null

t0=$(date +%s.%N)
q -d "$db" -v scale=large -v factor="$scale" -v years="$years" -f "$root/db/generate.sql" >/dev/null
t1=$(date +%s.%N)
awk -v a="$t0" -v b="$t1" 'BEGIN { printf "generated in %.1f s\n", b - a }'
# The benchmarks make the database anew when the schema it was made with has changed since (written last, so
# that a database cut off while being made is made again).
sha256sum < "$root/db/schema.sql" | cut -d' ' -f1 > "$dir/$db.schema.sha256"

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
