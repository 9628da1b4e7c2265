#!/usr/bin/env bash
# Builds the program's Debian package.
#
#   ./package.sh        ->  build-package/kesta-tabel_<version>_<architecture>.deb
#
# Installs what is missing (Debian packages, through sudo when not root), makes a release build of the program
# in ./build-package (incrementally after the first time) and packs it with CPack. Install the package on a
# workstation with:  sudo apt install ./kesta-tabel_<version>_<architecture>.deb
#
# The version is the program's with its build stamp (1.0.0+20261210.63082), so the newer of two builds is the
# greater version. The package names a placeholder maintainer; an enterprise sets its own once, and the build
# folder keeps it:  cmake -B build-package -DKESTA_PACKAGE_MAINTAINER='Name <address>'
set -euo pipefail
cd "$(dirname "$0")"

source scripts/packages.sh
scripts/install_packages.sh package "${package_packages[@]}"

build=${BUILD_DIR:-build-package}
# The package holds only the program and its files: build those, not the tests and benchmarks.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
cmake --build "$build" -j"$(nproc)" --target kesta_tabel kesta_icons kesta_man_pages
(cd "$build" && cpack -G DEB)

deb=$(ls -t "$build"/kesta-tabel_*.deb | head -n 1)
echo "package: $deb"
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends
