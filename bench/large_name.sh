#!/usr/bin/env bash
# The name of the large database of a scale and a number of years: kesta_large for the usual 1 and 5, else with
# _sN and _yN after it.
#
#   bench/large_name.sh SCALE YEARS
set -euo pipefail
scale=${1:?usage: large_name.sh SCALE YEARS}
years=${2:?usage: large_name.sh SCALE YEARS}
case "$scale$years" in *[!0-9]*) echo "large_name: scale and years are numbers, not $scale and $years" >&2; exit 64 ;; esac
name=kesta_large
[ "$scale" = 1 ] || name+=_s$scale
[ "$years" = 5 ] || name+=_y$years
echo "$name"
