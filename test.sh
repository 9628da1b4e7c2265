#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test against a throwaway PostgreSQL cluster
# that the tests start and stop themselves.
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake g++ make qt6-base-dev libqt6sql6-psql libxlsxwriter-dev libharfbuzz-dev postgresql fonts-liberation libgl-dev libpq-dev locales poppler-utils unzip pkg-config)
# Packaging test: CPack computes library dependencies (dpkg-dev, file), renders the icon, checks the menu entry;
# lintian checks the package.
packages+=(dpkg-dev file librsvg2-bin desktop-file-utils lintian appstreamcli=appstream)
# A spreadsheet application opens the exported workbooks in one test; any LibreOffice will do, headless is enough.
packages+=(soffice=libreoffice-calc-nogui)
scripts/install_packages.sh test "${packages[@]}"

# The program runs on Russian workstations: the tests read numbers under the Russian locale too.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    if [ "$(id -u)" = 0 ]; then localedef -i ru_RU -f UTF-8 ru_RU.UTF-8; else sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8; fi
fi

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure --timeout 900 "$@"
