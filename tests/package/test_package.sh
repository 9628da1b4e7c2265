#!/usr/bin/env bash
# Builds the Debian package from this build, checks its files, its menu entry and its dependencies, has lintian
# check it, unpacks it into a temporary root and runs the unpacked program there without a display.
#
#   test_package.sh CPACK BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
export LC_ALL=C.UTF-8
cpack=$1 build=$2 src=$3 version=$4

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
t0=$SECONDS
step() { echo "[$((SECONDS - t0)) s] $*"; }
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

step "building the package"
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    echo "FAIL: cpack could not build the package" >&2
    exit 1
fi
# The package's version is the program's with its build stamp: kesta-tabel_1.0.0+20261210.63082_amd64.deb
debs=("$tmp"/out/kesta-tabel_"$version"+*_"$(dpkg --print-architecture)".deb)
deb=${debs[0]}
if [ ${#debs[@]} != 1 ] || [ ! -f "$deb" ]; then
    ls "$tmp/out" >&2
    echo "FAIL: no package of version $version+stamp" >&2
    exit 1
fi
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"

step "checking its files"
# --- its files: exactly these, owned by root, executable only where they are programs
expected=$(cat <<'LIST' | sort
./usr/bin/kesta_tabel
./usr/share/applications/kesta-tabel.desktop
./usr/share/doc/kesta-tabel/README.md
./usr/share/doc/kesta-tabel/changelog.gz
./usr/share/doc/kesta-tabel/copyright
./usr/share/icons/hicolor/128x128/apps/kesta-tabel.png
./usr/share/icons/hicolor/16x16/apps/kesta-tabel.png
./usr/share/icons/hicolor/22x22/apps/kesta-tabel.png
./usr/share/icons/hicolor/24x24/apps/kesta-tabel.png
./usr/share/icons/hicolor/256x256/apps/kesta-tabel.png
./usr/share/icons/hicolor/32x32/apps/kesta-tabel.png
./usr/share/icons/hicolor/48x48/apps/kesta-tabel.png
./usr/share/icons/hicolor/64x64/apps/kesta-tabel.png
./usr/share/icons/hicolor/scalable/apps/kesta-tabel.svg
./usr/share/metainfo/example.kesta.tabel.metainfo.xml
./usr/share/kesta-tabel/db/demo.sh
./usr/share/kesta-tabel/db/generate.sql
./usr/share/kesta-tabel/db/pgcluster.sh
./usr/share/kesta-tabel/db/roles.sql
./usr/share/kesta-tabel/db/schema.sql
./usr/share/kesta-tabel/db/standby.sh
./usr/share/man/man1/kesta_tabel.1.gz
./usr/share/man/ru/man1/kesta_tabel.1.gz
LIST
)
dpkg-deb -c "$deb" >"$tmp/contents"
echo "contents:"
sed 's/^/  /' "$tmp/contents"
actual=$(awk '$1 !~ /^d/ {print $6}' "$tmp/contents" | sort)
if [ "$actual" != "$expected" ]; then
    fail "the package's files differ from the expected list (< expected, > packaged):"
    diff <(echo "$expected") <(echo "$actual") >&2 || true
fi
awk '$2 != "root/root" {print "FAIL: not owned by root: " $6; bad=1} END {exit bad}' "$tmp/contents" >&2 \
    || failures=$((failures + 1))
executables=$(awk '$1 ~ /^-..x/ {print $6}' "$tmp/contents" | sort | tr '\n' ' ')
[ "$executables" = "./usr/bin/kesta_tabel ./usr/share/kesta-tabel/db/demo.sh ./usr/share/kesta-tabel/db/pgcluster.sh ./usr/share/kesta-tabel/db/standby.sh " ] \
    || fail "executable files: $executables"

# --- unpack into a temporary root
root=$tmp/root
dpkg -x "$deb" "$root"
app=$root/usr/bin/kesta_tabel

# --- the menu entry: valid, starting the packaged program with the packaged icon
desktop=$root/usr/share/applications/kesta-tabel.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate refused the menu entry"
grep -qx 'Exec=kesta_tabel' "$desktop" || fail "the menu entry does not start kesta_tabel without arguments"
grep -qx 'Icon=kesta-tabel' "$desktop" || fail "the menu entry's icon is not kesta-tabel"
grep -qx 'Name=Табель сдельных работ' "$desktop" || fail "the menu entry's name is not the Russian one"
# --- the AppStream metadata: valid without warnings, for the menu entry, of this version
metainfo=$root/usr/share/metainfo/example.kesta.tabel.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$tmp/appstream.log" 2>&1 || { cat "$tmp/appstream.log" >&2; fail "appstreamcli refused the metainfo"; }
grep -E '^[WE]:' "$tmp/appstream.log" >&2 && fail "appstreamcli warns about the metainfo"
grep -q '<launchable type="desktop-id">kesta-tabel.desktop</launchable>' "$metainfo" || fail "the metainfo does not name the menu entry"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
for f in "$root"/usr/share/icons/hicolor/*x*/apps/kesta-tabel.png; do
    size=$(basename "$(dirname "$(dirname "$f")")")
    file -b "$f" | grep "PNG image data, ${size/x/ x }," >/dev/null || fail "$f is not a ${size} PNG: $(file -b "$f")"
done
for f in "$root"/usr/share/man/man1/kesta_tabel.1.gz "$root"/usr/share/man/ru/man1/kesta_tabel.1.gz; do
    zcat "$f" | grep "^\.TH KESTA_TABEL 1 .*kesta_tabel $version" >/dev/null || fail "$f is not the man page of $version"
done
cmp -s "$src/db/schema.sql" "$root/usr/share/kesta-tabel/db/schema.sql" || fail "the packaged schema is not db/schema.sql"
package_version=$(dpkg-deb -f "$deb" Version)
changelog=$root/usr/share/doc/kesta-tabel/changelog.gz
changelog_version=$(zcat "$changelog" | dpkg-parsechangelog -l - -S Version 2>&1) || true
[ "$changelog_version" = "$package_version" ] \
    || fail "the changelog's latest entry is '$changelog_version', the package's version $package_version"
head -n 1 "$root/usr/share/doc/kesta-tabel/copyright" \
    | grep -x 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' >/dev/null \
    || fail "the copyright file is not in the machine-readable format"

# --- dependencies: every library the program links comes from a package it depends on; what it loads at run
# time is stated
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Depends: $depends"
echo "Recommends: $recommends"
# (pipelines end in a grep that reads all its input: with pipefail, "grep -q" leaving early would fail the pipe)
has() { tr ',' '\n' <<<"$1" | sed 's/^ *//; s/ .*//' | grep -x "$2" >/dev/null; }
# The package of each library the program links; dpkg knows a library by one of its usr-merged paths.
ldd "$app" >"$tmp/ldd"
objdump -p "$app" | awk '$1 == "NEEDED" {print $2}' >"$tmp/needed"
while read -r lib; do
    path=$(awk -v l="$lib" '$1 == l && $2 == "=>" {print $3}' "$tmp/ldd")
    [ -n "$path" ] && [ -e "$path" ] || { fail "$lib is not found on this system"; continue; }
    real=$(readlink -f "$path")
    for p in "$path" "$real"; do
        case "$p" in /usr/*) printf '%s\t%s\n%s\t%s\n' "$lib" "$p" "$lib" "${p#/usr}" ;;
                     *) printf '%s\t%s\n%s\t%s\n' "$lib" "$p" "$lib" "/usr$p" ;; esac
    done
done <"$tmp/needed" >"$tmp/paths"
cut -f2 "$tmp/paths" | xargs dpkg -S 2>/dev/null | sed 's/^\([^:]*\)\(:[^: ]*\)\?: /\1\t/' >"$tmp/owners" || true
awk -F'\t' 'NR == FNR {owner[$2] = $1; next} ($2 in owner) && !($1 in pkg) {pkg[$1] = owner[$2]}
              END {for (l in pkg) print l "\t" pkg[l]}' "$tmp/owners" "$tmp/paths" >"$tmp/libpkg"
while read -r lib; do
    pkg=$(awk -F'\t' -v l="$lib" '$1 == l {print $2}' "$tmp/libpkg")
    [ -n "$pkg" ] || { fail "no package holds $lib"; continue; }
    has "$depends" "$pkg" || fail "$lib comes from $pkg, which is not in Depends"
done <"$tmp/needed"
for pkg in libpq5 qt6-qpa-plugins qt6-translations-l10n fonts-liberation; do
    has "$depends" "$pkg" || fail "$pkg is not in Depends"
done
has "$recommends" libreoffice-calc || fail "libreoffice-calc is not recommended"
objdump -p "$app" | grep -E '^ *(RPATH|RUNPATH)' >/dev/null && fail "the installed program keeps a build-tree RPATH"
step "asking apt"
# Every dependency named is one that apt can resolve (a misspelt name would stop the installation). That needs
# the archive's package lists, which a machine that never ran "apt-get update" does not have.
if [ -z "$(apt-cache policy libc6 2>/dev/null | awk '$1 == "Candidate:" && $2 != "(none)"')" ]; then
    echo "NOTE: apt has no package lists here (apt-get update): the dependency names were not resolved"
elif ! apt-get install -s -q "$deb" >"$tmp/apt.log" 2>&1; then
    cat "$tmp/apt.log" >&2
    fail "apt cannot install the package (apt-get install -s)"
fi

step "asking lintian"
# Debian's package checker, every tag it shows counted: errors and warnings, and the informational tags that
# guard the hardened build (fortify, bind-now, stack protector) and the stripped program. A tag that cannot
# sensibly be fixed is overridden in the package with its reason, and then does not count.
if ! command -v lintian >/dev/null 2>&1; then
    echo "installing lintian"
    sudo=()
    [ "$(id -u)" = 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    if ! { "${sudo[@]}" apt-get update -q && "${sudo[@]}" apt-get install -y -q lintian; } \
            >"$tmp/lintian-install.log" 2>&1; then
        cat "$tmp/lintian-install.log" >&2
        fail "lintian could not be installed"
    fi
fi
if command -v lintian >/dev/null 2>&1; then
    # (as root it warns that it should not run as root; that line is not about the package)
    if ! lintian --pedantic --display-info --fail-on error,warning,info,pedantic "$deb" >"$tmp/lintian.log" 2>&1; then
        fail "lintian found problems in the package:"
        grep -v 'running with root privileges' "$tmp/lintian.log" >&2 || true
    fi
fi

step "running the unpacked program"
# --- the unpacked program answers --version and --help without a display or a database
run() { env -i PATH=/usr/bin:/bin HOME="$tmp" LANG=C.UTF-8 QT_QPA_PLATFORM=xcb "$app" "$@"; }
if out=$(run --version 2>"$tmp/err"); then
    echo "--version: $out"
    line1=$(sed -n 1p <<<"$out")
    line2=$(sed -n 2p <<<"$out")
    [ "$line1" = "kesta_tabel $version" ] || fail "--version's first line is '$line1'"
    # "сборка 20261210.17781 (10.12.2026 04:56:21)": the stamp numbers and the same moment written out
    if [[ $line2 =~ ^сборка\ ([0-9]{4})([0-9]{2})([0-9]{2})\.([0-9]+)\ \(([0-9]{2})\.([0-9]{2})\.([0-9]{4})\ ([0-9]{2}):([0-9]{2}):([0-9]{2})\)$ ]]; then
        m=("${BASH_REMATCH[@]}")
        [ "${m[1]}${m[2]}${m[3]}" = "${m[7]}${m[6]}${m[5]}" ] || fail "--version: stamp date and written date differ"
        [ "${m[4]}" = $((10#${m[8]} * 3600 + 10#${m[9]} * 60 + 10#${m[10]})) ] \
            || fail "--version: stamp time and written time differ"
        # The package names the stamp that the database compares, so that the newer of two builds is the greater
        # version for dpkg too.
        [ "$package_version" = "$version+${m[1]}${m[2]}${m[3]}.${m[4]}" ] \
            || fail "the package's version $package_version is not $version with the program's stamp"
    else
        fail "--version's second line is '$line2'"
    fi
else
    fail "--version failed: $(cat "$tmp/err")"
fi
# --help in any position, e.g. after a database name
if out=$(run kesta_erp --help 2>"$tmp/err"); then
    grep -q '^Использование: kesta_tabel \[--service ИМЯ\] \[БАЗА СЕРВЕР\]' <<<"$out" || fail "--help printed: $out"
else
    fail "--help failed: $(cat "$tmp/err")"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package checks passed"
