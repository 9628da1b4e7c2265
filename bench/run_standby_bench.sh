#!/usr/bin/env bash
# Runs the standby benchmark (bench_standby) on the large database: the large cluster in DIR is the primary
# (made and started as bench/run_bench.sh does), a streaming standby of it is made in DIR-standby with
# db/standby.sh, and both are stopped again afterwards if this run started them.
#
#   bench/run_standby_bench.sh [--repeat N] [--year YYYY] [DIR]      DIR defaults to /var/tmp/kesta-large
set -euo pipefail

me=run_standby_bench
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cluster=db/pgcluster.sh
db=kesta_large
dir=/var/tmp/kesta-large
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        -*) [ $# -ge 2 ] || { echo "$me: $1 needs a value" >&2; exit 64; }
            args+=("$1" "$2"); shift 2 ;;
        *) dir=$1; shift ;;
    esac
done
standby=$dir-standby

build=${BUILD_DIR:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target bench_standby >/dev/null

started=0
stop_all() {
    db/standby.sh stop "$standby" || true
    if [ "$started" = 1 ]; then "$cluster" stop "$dir" || true; fi
}
trap stop_all EXIT
if ! "$cluster" status "$dir" >/dev/null 2>&1; then
    started=1
    if [ -f "$dir/data/PG_VERSION" ]; then "$cluster" start "$dir"; fi
fi
ready=$("$cluster" psql "$dir" -d "$db" -tAc "select max(data) = current_date from accounts_dep.smena" 2>/dev/null || true)
if [ "$(cat "$dir/$db.schema.sha256" 2>/dev/null)" != "$(sha256sum < db/schema.sql | cut -d' ' -f1)" ]; then
    ready=f
fi
if [ "$ready" != t ]; then
    echo "$me: making the large database in $dir (about half a minute)" >&2
    bench/make_large.sh "$dir" >&2
fi
# A fresh copy, so that the standby holds today's large database.
db/standby.sh stop "$standby" >/dev/null 2>&1 || true
rm -rf "$standby"
mkdir -p "$standby"
chmod 755 "$standby"
db/standby.sh start "$dir" "$standby"

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_standby" "$("$cluster" socket "$dir")" "$("$cluster" socket "$standby")" \
    "$db" "${args[@]}"
