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
# --- one way to the database ---
# Only the data library talks to the server: no Qt SQL header and no libpq header anywhere above it.
while IFS= read -r hit; do
    echo "layers: only src/db reaches the database server: $hit"
    faults=$((faults + 1))
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](QSql[A-Za-z]*|QtSql/[^>"]*|libpq-fe\.h|libpq-events\.h|libpq/[^>"]*|db/libpq\.h)[>"]' \
             --include='*.h' --include='*.cpp' "$src" | grep -v "^$src/db/")
# No function is defined with a libpq name (in the program, the benchmarks or the tests): such a definition replaces
# libpq's own function for the whole process, the server connection of everything else in it included. Caught: a
# definition (a type, then the name and its parameters, no call before it), a libpq name handed as a bare
# argument to a macro (a generated definition) and a #define of one.
root=$(dirname "$src")
while IFS= read -r hit; do
    echo "layers: a function is defined with libpq's name: $hit"
    faults=$((faults + 1))
done < <(for dir in "$src" "$root/bench" "$root/tests"; do
             [ -d "$dir" ] || continue
             grep -rnE --include='*.h' --include='*.cpp' --include='*.c' \
                 -e '^[[:space:]]*(extern[[:space:]]+"C"[[:space:]]+)?([A-Za-z_][A-Za-z0-9_:<>]*[[:space:]*&]+)+PQ[A-Za-z_]+[[:space:]]*\(' \
                 -e '[(,][[:space:]]*PQ[A-Za-z_]+[[:space:]]*,' \
                 -e '^[[:space:]]*#[[:space:]]*define[[:space:]]+PQ[A-Za-z_]+' "$dir"
         done | grep -vE ':[0-9]+:[[:space:]]*(return|else|throw|case|co_return|delete)[[:space:]]')


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
[ "$faults" -eq 0 ] && echo "layers: every include is in order"
exit $((faults > 0))
