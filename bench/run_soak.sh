#!/usr/bin/env bash
# Runs the soak of several workstations on one month (bench_soak) against a fresh database kesta_soak in a private
# cluster in DIR (started for the run and stopped again if this run started it).
#
#   bench/run_soak.sh [--workstations N] [--seconds S] [--seed K] [DIR]      DIR defaults to /var/tmp/kesta-soak
#
# Prints the refusals and errors by kind, then "soak: N operations, E errors, W wrong cells"; exits non-zero when a
# timesheet cell is wrong or a journal row was lost or doubled.
set -euo pipefail

me=run_soak
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cluster=db/pgcluster.sh
db=kesta_soak
dir=/var/tmp/kesta-soak
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        -*) [ $# -ge 2 ] || { echo "$me: $1 needs a value" >&2; exit 64; }
            args+=("$1" "$2"); shift 2 ;;
        *) dir=$1; shift ;;
    esac
done

build=${BUILD_DIR:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target bench_soak >/dev/null

mkdir -p "$dir"
started=0
stop_cluster() {
    if [ "$started" = 1 ]; then "$cluster" stop "$dir" || true; fi
}
trap stop_cluster EXIT
if ! "$cluster" status "$dir" >/dev/null 2>&1; then
    started=1
    "$cluster" start "$dir"
fi
q() { PGOPTIONS="-c client_min_messages=warning" "$cluster" psql "$dir" -v ON_ERROR_STOP=1 "$@"; }
# databases are made by the cluster's superuser, owned by the program's user sys (no superuser)
qa() { PGOPTIONS="-c client_min_messages=warning" "$cluster" admin "$dir" -v ON_ERROR_STOP=1 "$@"; }
qa -d postgres -c "drop database if exists $db with (force)" -c "create database $db owner sys" >/dev/null
q -d "$db" -f db/schema.sql >/dev/null

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=offscreen "$build/bench/bench_soak" "$("$cluster" socket "$dir")" "$db" "${args[@]}"
