#!/usr/bin/env bash
# Builds the program and runs it against the demo database.
#
#   ./run.sh                      the program on the demo database (kesta_erp on localhost:5432)
#   ./run.sh DATABASE [SERVER]    the arguments go to the program unchanged
#
# Installs what is missing (Debian packages), builds incrementally into ./build, starts the demo server
# (db/demo.sh; the first start generates the data) and stops it again when the program ends.
set -euo pipefail
cd "$(dirname "$0")"

source scripts/packages.sh
scripts/install_packages.sh run "${run_packages[@]}"

if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build -j"$(nproc)" --target kesta_tabel

app=build/src/app/kesta_tabel

# Stop the demo server afterwards only if this run started it (another run may still be using it).
demo_started=0
stop_demo() {
    if [ "$demo_started" = 1 ]; then db/demo.sh stop || true; fi
}
trap stop_demo EXIT
db/demo.sh status >/dev/null 2>&1 || demo_started=1
if ! db/demo.sh start; then
    demo_started=0
    # With arguments the program goes to a database of the user's choice and can do without the demo.
    [ $# -gt 0 ] || exit 1
    echo "run: going on without the demo database" >&2
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'MSG'
run: there is no display (DISPLAY and WAYLAND_DISPLAY are empty, QT_QPA_PLATFORM is not set),
run: so the program's windows cannot be shown. On a machine without a screen, run it in a virtual one:
run:     xvfb-run -a ./run.sh          (package xvfb: apt-get install xvfb)
MSG
    exit 1
fi

rc=0
"$app" "$@" || rc=$?
exit "$rc"
