#!/usr/bin/env bash
# Runs the timesheet benchmark (bench_timesheet: the month's rebuild and the printed month) on the large database.
# Builds the benchmark if needed, starts the large cluster in DIR when it is not running (making it with
# bench/make_large.sh when it is missing) and stops it again afterwards if this run started it.
#
#   bench/run_timesheet_bench.sh [--repeat N] [--loop-repeat N] [--month M --year Y] [DIR]
#                                                     DIR defaults to /var/tmp/kesta-large
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cluster=db/pgcluster.sh
db=kesta_large
dir=/var/tmp/kesta-large
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --repeat|--loop-repeat|--month|--year)
            [ $# -ge 2 ] || { echo "run_timesheet_bench: $1 needs a number" >&2; exit 64; }
            args+=("$1" "$2"); shift 2 ;;
        -*) echo "run_timesheet_bench: unknown option $1" >&2; exit 64 ;;
        *) dir=$1; shift ;;
    esac
done

build=${BUILD_DIR:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target bench_timesheet >/dev/null

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
ready=$("$cluster" psql "$dir" -d "$db" -tAc "select count(*) > 0 from accounts_dep.smena" 2>/dev/null || true)
if [ "$ready" != t ]; then
    echo "run_timesheet_bench: making the large database in $dir (about half a minute)" >&2
    bench/make_large.sh "$dir" >&2
fi

QT_QPA_PLATFORM=offscreen "$build/bench/bench_timesheet" "$("$cluster" socket "$dir")" "$db" "${args[@]}"
