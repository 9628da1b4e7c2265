#!/usr/bin/env bash
# Runs the journal activation benchmark (bench_journal) on the large database.
#   bench/run_journal_bench.sh [--repeat N] [DIR]      DIR defaults to /var/tmp/kesta-large
# The same as bench/run_bench.sh journal.
exec "$(dirname "$0")/run_bench.sh" journal "$@"
