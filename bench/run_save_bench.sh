#!/usr/bin/env bash
# Runs the save benchmark (bench_save) on the large database.
# Builds the benchmark if needed, starts the large cluster in DIR when it is not running (making it with
# bench/make_large.sh when it is missing or its journal does not reach today) and stops it again afterwards
# if this run started it.
#
#   bench/run_save_bench.sh [--repeat N] [DIR]      DIR defaults to /var/tmp/kesta-large
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cluster=db/pgcluster.sh
db=kesta_large
dir=/var/tmp/kesta-large
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --repeat) [ $# -ge 2 ] || { echo "run_save_bench: --repeat needs a number" >&2; exit 64; }
                  args+=(--repeat "$2"); shift 2 ;;
        -*) echo "run_save_bench: unknown option $1" >&2; exit 64 ;;
        *) dir=$1; shift ;;
    esac
done

build=${BUILD_DIR:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target bench_save >/dev/null

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
# The save re-reads today's journal: it must reach today.
ready=$("$cluster" psql "$dir" -d "$db" -tAc \
    "select count(distinct smena) = 4 from accounts_dep.smena where data = current_date" 2>/dev/null || true)
if [ "$ready" != t ]; then
    echo "run_save_bench: making the large database in $dir (about half a minute)" >&2
    bench/make_large.sh "$dir" >&2
fi

QT_QPA_PLATFORM=offscreen "$build/bench/bench_save" "$("$cluster" socket "$dir")" "$db" "${args[@]}"
