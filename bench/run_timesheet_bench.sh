#!/usr/bin/env bash
# Runs the timesheet benchmark (bench_timesheet: the month's rebuild and the printed month) on the large database.
#   bench/run_timesheet_bench.sh [--repeat N] [--loop-repeat N] [--month M --year Y] [DIR]
# The same as bench/run_bench.sh timesheet.
exec "$(dirname "$0")/run_bench.sh" timesheet "$@"
