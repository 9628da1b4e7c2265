#!/usr/bin/env bash
# Runs one benchmark program on the large database.
# Builds the program if needed, starts the large cluster in DIR when it is not running (making it with
# bench/make_large.sh when it is missing or its journal does not cover last year up to today's four shifts) and
# stops it again afterwards if this run started it.
#
#   bench/run_bench.sh NAME [--scale N] [--years N] [OPTIONS] [DIR]
#       NAME     journal, timesheet, save, reports, live, startup or summary (the program bench/bench_NAME)
#       --scale N, --years N  on the large database of that scale and length (bench/make_large.sh), made when missing
#       OPTIONS  the program's own, each with its value (--repeat N, --year YYYY, ...; see bench/README.md);
#                --rtt MS runs it over a slow link: the cluster listens on a loopback TCP address as well, and the
#                benchmark reaches it through its relay with that round trip
#       DIR      the large cluster's folder, /var/tmp/kesta-large by default
set -euo pipefail

me=run_bench
[ $# -ge 1 ] || { echo "usage: bench/run_bench.sh journal|timesheet|save|reports|live|startup|summary [OPTIONS] [DIR]" >&2; exit 64; }
name=$1; shift
case "$name" in
    journal|timesheet|save|reports|live|startup|summary) ;;
    *) echo "$me: unknown benchmark $name (journal, timesheet, save, reports, live, startup or summary)" >&2; exit 64 ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cluster=db/pgcluster.sh
dir=/var/tmp/kesta-large
args=()
rtt=
scale=1
years=5
while [ $# -gt 0 ]; do
    case "$1" in
        --scale) scale=${2:?--scale needs a number}; shift 2 ;;
        --years) years=${2:?--years needs a number}; shift 2 ;;
        -*) [ $# -ge 2 ] || { echo "$me: $1 needs a value" >&2; exit 64; }
            if [ "$1" = --rtt ]; then rtt=$2; fi
            args+=("$1" "$2"); shift 2 ;;
        *) dir=$1; shift ;;
    esac
done

db=$(bench/large_name.sh "$scale" "$years")

build=${BUILD_DIR:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target "bench_$name" >/dev/null

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
# The journal and the save open today's four shifts, the timesheet a past month, the reports last year: the journal
# must reach from the start of last year up to today.
ready=$("$cluster" psql "$dir" -d "$db" -tAc \
    "select min(data) <= (date_trunc('year', current_date) - interval '1 year')::date and max(data) = current_date
            and (select count(distinct smena) = 4 from accounts_dep.smena where data = current_date)
     from accounts_dep.smena" 2>/dev/null || true)
# ... and hold the objects of today's db/schema.sql (its triggers among them).
if [ "$(cat "$dir/$db.schema.sha256" 2>/dev/null)" != "$(sha256sum < db/schema.sql | cut -d' ' -f1)" ]; then
    ready=f
fi
if [ "$ready" != t ]; then
    echo "$me: making the large database $db in $dir (about half a minute at scale 1, minutes at 10)" >&2
    bench/make_large.sh --scale "$scale" --years "$years" "$dir" >&2
fi

if [ -n "$rtt" ]; then
    # Over the link the server is reached by TCP, as across an office network: the cluster listens on a loopback
    # address of its own (port 5432 free there), restarted for it when it listens only on its socket.
    listen=$(cat "$dir/listen" 2>/dev/null || true)
    if [ -z "$listen" ] || ! "$cluster" status "$dir" >/dev/null 2>&1; then
        "$cluster" stop "$dir"
        for n in $(seq 2 31); do
            if ! (exec 3<>"/dev/tcp/127.0.0.$n/5432") 2>/dev/null; then listen=127.0.0.$n; break; fi
        done
        "$cluster" start "$dir" --listen "$listen"
    fi
    args+=(--upstream "$listen:5432")
fi

QT_QPA_PLATFORM=offscreen "$build/bench/bench_$name" "$("$cluster" socket "$dir")" "$db" "${args[@]}"
