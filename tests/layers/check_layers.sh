#!/usr/bin/env bash
# The program's libraries include only headers of their own and of the libraries below them, and a window includes
# only its own generated form header (ui_NAME.h beside NAME.h / NAME.cpp) and keeps it to itself (no window derives
# from its form publicly, so no other code reaches its controls). Prints every line that breaks this and fails then.
#
#   tests/layers/check_layers.sh SRC_DIR
set -uo pipefail
src=${1:?usage: check_layers.sh SRC_DIR}

# What each library may include besides itself, lowest first.
declare -A below=(
    [format]=""
    [db]="format"
    [ui]="format db"
    [reportengine]="format db ui"
    [spreadsheet]="format db ui"
    [catalogs]="format db ui reportengine spreadsheet"
    [timesheet]="format db ui reportengine spreadsheet"
    [reports]="format db ui reportengine spreadsheet"
    [journal]="format db ui reportengine spreadsheet catalogs timesheet reports"
    [app]="format db ui reportengine spreadsheet catalogs timesheet reports journal"
)

faults=0
for dir in "$src"/*/; do
    lib=$(basename "$dir")
    if [ -z "${below[$lib]+known}" ]; then
        echo "layers: library $lib has no place in the order (add it to tests/layers/check_layers.sh)"
        faults=$((faults + 1))
        continue
    fi
    allowed=" $lib ${below[$lib]} "
    for file in "$dir"*.h "$dir"*.cpp; do
        [ -e "$file" ] || continue
        name=$(basename "$file"); name=${name%.*}
        while IFS= read -r line; do
            header=${line#*\"}; header=${header%\"*}
            case "$header" in
                ui_*.h)
                    if [ "$header" != "ui_$name.h" ]; then
                        echo "layers: $file includes another window's form $header"
                        faults=$((faults + 1))
                    fi ;;
                */*)
                    used=${header%%/*}
                    if [[ "$allowed" != *" $used "* ]]; then
                        echo "layers: $file ($lib) includes $header from $used, which is not below it"
                        faults=$((faults + 1))
                    fi ;;
            esac
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
        while IFS= read -r line; do
            echo "layers: $file hands its form to every caller: $line"
            faults=$((faults + 1))
        done < <(grep -E 'public[[:space:]]+Ui::' "$file")
    done
done

# Reports: the engine tells its faults and shows its busy cursor through ui::Messages and ui::WaitCursor only; a
# printed report is a value run by the engine's runner, not a dialog with a form of its own; the reports window
# keeps its form to itself.
while IFS= read -r line; do
    echo "layers: the report engine shows its own message box or cursor: $line"
    faults=$((faults + 1))
done < <(grep -nE 'QMessageBox|setOverrideCursor|restoreOverrideCursor' "$src"/reportengine/*.h "$src"/reportengine/*.cpp)
for form in "$src"/reports/*_report.ui "$src"/timesheet/*_report.ui; do
    [ -e "$form" ] || continue
    echo "layers: $form makes a printed report a dialog; declare it as a report value for the runner"
    faults=$((faults + 1))
done
if grep -qE '#[[:space:]]*include[[:space:]]*"ui_' "$src"/reports/*.h; then
    echo "layers: a header of src/reports includes a generated form; hold the form by pointer in the .cpp"
    faults=$((faults + 1))
fi

# Tests and benchmarks link the program's libraries and the harness they share, never each other: no CMake file of
# one names a target or a folder of the other, and no source of one includes a header of the other.
root=$(cd "$src/.." && pwd)
defines='(add_library|add_executable|kesta_add_test)\([[:space:]]*(NAME[[:space:]]+)?'
targetsOf() { # the targets a tree's CMake files define, one a line (a foreach's items count, ${...} names do not)
    find "$1" -name CMakeLists.txt -exec sed -e 's/#.*//' {} + | tr '\n' ' ' |
        grep -oE "$defines[A-Za-z0-9_]+|foreach\([^)]*\)" |
        sed -E "s/^$defines//; s/^foreach\([^ ]+ IN ITEMS//; s/\)\$//" |
        tr ' ' '\n' | grep -E '^[A-Za-z0-9_]+$' | sort -u
}
crossLinks() { # tree, the other tree, what the other tree is called
    local tree=$1 other=$2 what=$3 target file line header
    for target in $(targetsOf "$root/$other"); do
        while IFS= read -r line; do
            echo "layers: ${line%%:*} names $target, a target of the $what"
            faults=$((faults + 1))
        done < <(find "$root/$tree" -name CMakeLists.txt -exec grep -HnwE "$target" {} + |
                 grep -vE '^[^:]+:[0-9]+:[[:space:]]*#')
    done
    while IFS= read -r line; do
        echo "layers: ${line%%:*} reaches into $other/: ${line#*:*:}"
        faults=$((faults + 1))
    done < <(find "$root/$tree" -name CMakeLists.txt -exec grep -HnE "(SOURCE_DIR\}|\.\.)/$other([/ )]|$)" {} +)
    while IFS= read -r file; do
        while IFS= read -r line; do
            header=${line#*\"}; header=${header%\"*}
            if [ -e "$root/$other/$header" ]; then
                echo "layers: $file includes $header of the $what"
                faults=$((faults + 1))
            fi
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
    done < <(find "$root/$tree" -name '*.cpp' -o -name '*.h')
}
crossLinks tests bench benchmarks
crossLinks bench tests tests

[ "$faults" -eq 0 ] && echo "layers: every include is in order"
exit $((faults > 0))
