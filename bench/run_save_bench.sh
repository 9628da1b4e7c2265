#!/usr/bin/env bash
# Runs the save benchmark (bench_save) on the large database.
#   bench/run_save_bench.sh [--repeat N] [DIR]      DIR defaults to /var/tmp/kesta-large
# The same as bench/run_bench.sh save.
exec "$(dirname "$0")/run_bench.sh" save "$@"
