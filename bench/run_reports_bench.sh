#!/usr/bin/env bash
# Runs the reports benchmark (bench_reports: the detailed report by worker and the production export of a
# whole year) on the large database.
# Builds the benchmark if needed, starts the large cluster in DIR when it is not running (making it with
# bench/make_large.sh when it is missing or its journal does not reach today) and stops it again afterwards
# if this run started it.
#
#   bench/run_reports_bench.sh [--repeat N] [--year YYYY] [DIR]      DIR defaults to /var/tmp/kesta-large
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cluster=db/pgcluster.sh
db=kesta_large
dir=/var/tmp/kesta-large
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --repeat|--year) [ $# -ge 2 ] || { echo "run_reports_bench: $1 needs a number" >&2; exit 64; }
                  args+=("$1" "$2"); shift 2 ;;
        -*) echo "run_reports_bench: unknown option $1" >&2; exit 64 ;;
        *) dir=$1; shift ;;
    esac
done

build=${BUILD_DIR:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target bench_reports >/dev/null

started=0
stop_cluster() {
    if [ "$started" = 1 ]; then "$cluster" stop "$dir" || true; fi
}
trap stop_cluster EXIT

if ! "$cluster" status "$dir" >/dev/null 2>&1; then
    started=1
    if [ -f "$dir/data/PG_VERSION" ]; then
        "$cluster" start "$dir"
    fi
fi
# The benchmark reports on last year (by default): the journal must reach back to it and up to today.
ready=$("$cluster" psql "$dir" -d "$db" -tAc \
    "select min(data) <= (date_trunc('year', current_date) - interval '1 year')::date and max(data) = current_date
     from accounts_dep.smena" 2>/dev/null || true)
if [ "$ready" != t ]; then
    echo "run_reports_bench: making the large database in $dir (about half a minute)" >&2
    bench/make_large.sh "$dir" >&2
fi

QT_QPA_PLATFORM=offscreen "$build/bench/bench_reports" "$("$cluster" socket "$dir")" "$db" "${args[@]}"
