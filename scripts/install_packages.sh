#!/usr/bin/env bash
# Installs the Debian packages of a list that are not installed yet (through sudo when not root); the one place the
# project's scripts (run.sh, test.sh, package.sh) install what they need.
#
#   scripts/install_packages.sh WHO PACKAGE...
#       WHO      the calling script's name, for the line that says what is installed
#       PACKAGE  a Debian package name; "CMD=PACKAGE" installs PACKAGE only when the command CMD is missing
set -euo pipefail
who=${1:?usage: install_packages.sh WHO PACKAGE...}
shift

missing=()
for p in "$@"; do
    if [[ "$p" == *=* ]]; then
        command -v "${p%%=*}" >/dev/null 2>&1 || missing+=("${p#*=}")
    elif ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -gt 0 ] || exit 0

echo "$who: installing ${missing[*]}" >&2
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q "${missing[@]}"
