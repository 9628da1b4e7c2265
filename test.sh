#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test against a throwaway PostgreSQL cluster
# that the tests start and stop themselves.
set -euo pipefail
cd "$(dirname "$0")"

source scripts/packages.sh
scripts/install_packages.sh test "${test_packages[@]}"

# The program runs on Russian workstations: the tests read numbers under the Russian locale too.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    if [ "$(id -u)" = 0 ]; then localedef -i ru_RU -f UTF-8 ru_RU.UTF-8; else sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8; fi
fi

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure --timeout 900 "$@"
