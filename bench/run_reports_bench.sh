#!/usr/bin/env bash
# Runs the reports benchmark (bench_reports: the detailed report by worker and the production export of a
# whole year) on the large database.
#   bench/run_reports_bench.sh [--repeat N] [--year YYYY] [DIR]      DIR defaults to /var/tmp/kesta-large
# The same as bench/run_bench.sh reports.
exec "$(dirname "$0")/run_bench.sh" reports "$@"
