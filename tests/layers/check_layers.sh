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
    [charts]=""
    [db]="format"
    [ui]="format db"
    [reportengine]="format db ui"
    [spreadsheet]="format db ui"
    [catalogs]="format db ui reportengine spreadsheet"
    [timesheet]="format db ui reportengine spreadsheet"
    [reports]="format db ui reportengine spreadsheet"
    [summary]="format db ui reportengine charts"
    [journal]="format db ui reportengine spreadsheet"
    [app]="format db ui reportengine spreadsheet charts catalogs timesheet reports summary journal"
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

# ---- Windows own their state and stand side by side ----
# A window (a class derived from a dialog) has no public data: another window asks it by a named method, and its
# header holds the generated form by pointer (the form's header is included by the window's .cpp only). The four
# feature libraries link none of the others (the application opens one from another), and the shared window
# library names no window of theirs.
features="journal catalogs timesheet reports summary"
window_base='(QDialog|QWidget|ui::Dialog|Dialog|ui::CatalogueWindow|CatalogueWindow)'
window_classes=()
for header in "$src"/*/*.h; do
    rel=${header#"$src"/}
    while IFS= read -r cls; do
        window_classes+=("$cls")
    done < <(sed -nE "s/^class ([A-Za-z_][A-Za-z0-9_]*) (final )?: public $window_base\b.*/\1/p" "$header")
    while IFS= read -r line; do
        echo "layers: $rel hands its generated form to its includers: $line"
        faults=$((faults + 1))
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"ui_' "$header")
    while IFS= read -r line; do
        echo "layers: $rel: a window's public data member: $line"
        faults=$((faults + 1))
    done < <(awk -v base="$window_base" '
        $0 ~ "^class [A-Za-z_][A-Za-z0-9_]* (final )?: public " base "([ ,{]|$)" { inWindow = 1; access = "private"; next }
        inWindow && /^};/ { inWindow = 0; next }
        !inWindow { next }
        /^public:/ { access = "public"; next }
        /^(protected|private):/ { access = "other"; next }
        access != "public" { next }
        /^    [^ \/#}]/ && /;[[:space:]]*(\/\/.*)?$/ {
            line = $0
            sub(/[[:space:]]*\/\/.*$/, "", line)
            if (line ~ /^    (using|friend|typedef|enum|struct|class|template|static constexpr|static const|Q_)/) next
            head = line
            sub(/[={].*$/, "", head)
            if (head !~ /\(/) print line
        }' "$header")
done
for lib in $features; do
    for other in $features; do
        [ "$lib" = "$other" ] && continue
        if grep -Eq "target_link_libraries\(kesta_$lib\b[^)]*\bkesta_$other\b" "$src/$lib/CMakeLists.txt"; then
            echo "layers: the feature library $lib links the feature library $other"
            faults=$((faults + 1))
        fi
    done
done
for cls in "${window_classes[@]}"; do
    case "$cls" in Dialog | CatalogueWindow) continue ;; esac
    while IFS= read -r hit; do
        echo "layers: ${hit#"$src"/} names the window $cls (src/ui names no window)"
        faults=$((faults + 1))
    done < <(grep -nw -- "$cls" "$src"/ui/*.h "$src"/ui/*.cpp 2>/dev/null)
done

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
