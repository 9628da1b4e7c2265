# The Debian packages the project's scripts need, in one place. run.sh, test.sh and package.sh source this file and
# hand their list to scripts/install_packages.sh; "CMD=PACKAGE" installs PACKAGE only when the command CMD is missing.
# shellcheck disable=SC2034  # the lists are read by the scripts that source this file

# Building the program.
build_packages=(cmake make g++ pkg-config qt6-base-dev libxlsxwriter-dev libharfbuzz-dev libgl-dev
                libpq-dev)

# Running it on the demo database: the server, the reports' font, Qt's own Russian texts, and a spreadsheet
# application that opens the exports (any LibreOffice Calc will do; none is added where one is installed).
run_packages=("${build_packages[@]}" postgresql fonts-liberation qt6-translations-l10n soffice=libreoffice-calc)

# Making the Debian package: CPack computes the library dependencies (dpkg-dev, file) and renders the icon.
package_packages=("${build_packages[@]}" dpkg-dev file librsvg2-bin)

# The tests: the throwaway server, the reports' font, the Russian locale, PDF pages read back (poppler-utils),
# workbooks unpacked (unzip); the package test's tools (lintian, the menu entry's and the metainfo's checkers); a
# spreadsheet application opens the exported workbooks in one test, and a headless one is enough.
test_packages=("${package_packages[@]}" postgresql fonts-liberation locales poppler-utils unzip desktop-file-utils
               lintian appstreamcli=appstream soffice=libreoffice-calc-nogui)
