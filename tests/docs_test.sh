#!/usr/bin/env bash
# The README and docs/ as a reader uses them.
#   docs_test.sh links [FILE.md...] every relative link and picture of the pages (README.md and
#                                   docs/ by default) names a file that is there, and every
#                                   #anchor a heading of its page
#   docs_test.sh commands BUILD     every ```sh block of README.md and docs/ runs as written
# The blocks run in order, page by page, in a scratch copy of the working tree whose build/
# holds the programs of BUILD, with the installed names (corvane, corvane-render) on PATH and a
# home directory of the test's own (~/src/corvane is the copy). The viewer runs for two seconds,
# on an X server of the test's own, and counts as working when it is still open then. A line that starts one of the commands in
# the table below is not run, for the reason the table gives; new docs need no other entry.
set -uo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
status=0
fail() { echo "FAIL: $*"; status=1; }

# Commands that cannot run here: an extended regular expression for the line (without any
# VARIABLE=value words before the command and any comment after it), then why.
cannot_run='
^scripts/view|opens the viewer until its window is closed; ViewerEndToEnd drives the viewer
^scripts/test|runs the whole suite, this test among it
^scripts/build|builds the tree these tests are run from
^scripts/fuzz|a fuzzing run of minutes; scripts/test runs a short one
^ctest|runs the suite this test is part of
^(xvfb-run .*)?build/corvane-tests$|the whole suite; ctest runs it
^(xvfb-run .*)?build/corvane-tests .*Soak|a soak of ten minutes
^(xvfb-run .*)?build/corvane-bench|the benchmarks take a minute and 450 MB; scripts/test runs a subset
^sudo |changes the machine
^vim-addons |needs vim-addon-manager and the installed package
/usr/share/corvane|needs the installed package; package_installs_and_runs checks what it installs
^scripts/package-vscode|fetches packages from the npm registry
^code |needs VS Code
'

# The pages' links, one "PAGE:LINE:TARGET" a line; code blocks and inline code are left out.
links_of() {
    awk '/^[[:space:]]*```/ { fenced = !fenced; next }
         fenced { next }
         { line = $0
           gsub(/``[^`]*``|`[^`]*`/, "", line)
           while (match(line, /\]\([^)]*\)/)) {
               print FILENAME ":" FNR ":" substr(line, RSTART + 2, RLENGTH - 3)
               line = substr(line, RSTART + RLENGTH)
           } }' "$@"
}

# The anchors of a page's headings, as the usual Markdown renderers make them.
anchors_of() {
    awk '/^[[:space:]]*```/ { fenced = !fenced; next }
         !fenced && /^#+ / { h = tolower($0); sub(/^#+ /, "", h)
                             gsub(/[^a-z0-9 _-]/, "", h); gsub(/ /, "-", h); print h }' "$1"
}

check_links() {
    local page line target path anchor file
    while IFS=: read -r page line target; do
        target=${target%% *}   # a title after the target
        [[ $target =~ ^[a-z]+: ]] && continue   # another site: not checked here
        path=${target%%#*}
        anchor=${target#"$path"}
        anchor=${anchor#\#}
        file=$page
        [[ -n $path ]] && file=$(dirname "$page")/$path
        if [[ ! -e $file ]]; then
            fail "$page:$line: $target: no such file"
        elif [[ -n $anchor ]] && ! anchors_of "$file" | grep -qxF -- "$anchor"; then
            fail "$page:$line: $target: no such heading"
        fi
    done < <(links_of "$@")
    [[ $status -eq 0 ]] && echo "links ok: $*"
}

# Writes the ```sh blocks of a page into DIRECTORY/LINE, LINE being where the block starts, with
# the lines that a backslash continues joined to theirs; prints the LINEs.
blocks_of() {
    awk -v directory="$2" '
        /^[[:space:]]*```sh[[:space:]]*$/ { inside = 1; out = directory "/" FNR; print FNR
                                             printf "" > out; held = ""; next }
        inside && /^[[:space:]]*```/ { inside = 0; close(out); next }
        inside { line = held $0
                 if (line ~ /\\$/) { held = substr(line, 1, length(line) - 1); next }
                 held = ""; sub(/^[[:space:]]+/, "", line)   # the indent of a list item
                 print line > out }' "$1"
}

# The reason a command line cannot run here, or nothing.
why_not() {
    local line=$1 rule
    while [[ $line =~ ^[A-Z_][A-Z0-9_]*=[^[:space:]]*[[:space:]]+(.*)$ ]]; do line=${BASH_REMATCH[1]}; done
    line=$(sed -E 's/[[:space:]]+#.*$//' <<< "$line")
    while IFS= read -r rule; do
        [[ -n $rule && $line =~ ${rule%%|*} ]] && { echo "${rule#*|}"; return; }
    done <<< "$cannot_run"
}

scratch=
server=
trap '[[ -n $server ]] && kill "$server"; [[ -n $scratch ]] && rm -rf "$scratch"' EXIT

# An X server of the test's own for the viewer, which needs a window, with or without a display.
start_server() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
    server=$!
    for _ in $(seq 100); do [[ -s $scratch/display ]] && return; sleep 0.1; done
    fail "no X server for the viewer"
}

run_commands() {
    local build copy page start script line reason output blocks=0
    build=$(realpath "$1")
    scratch=$(mktemp -d)
    copy=$scratch/corvane
    mkdir -p "$copy/build" "$scratch/bin" "$scratch/home/src"
    tar -C "$source_dir" --exclude=./.git --exclude='./build*' -cf - . | tar -C "$copy" -xf -
    for file in "$build"/*; do ln -s "$file" "$copy/build/"; done
    rm -f "$copy/build/corvane"
    start_server
    cat > "$copy/build/corvane" <<EOF
#!/usr/bin/env bash
# The viewer for two seconds: still open then (timeout's 124) counts as working. The script
# it is given must be there, as it shows nothing but a message otherwise.
if [[ \$# -gt 0 && \$1 != -* && ! -e \$1 ]]; then echo "no such script: \$1"; exit 1; fi
DISPLAY=:$(cat "$scratch/display") timeout 2 "$build/corvane" "\$@"
code=\$?
[[ \$code -eq 124 ]] && exit 0
exit \$code
EOF
    chmod +x "$copy/build/corvane"
    ln -s "$copy/build/corvane" "$copy/build/corvane-render" "$scratch/bin/"
    ln -s "$copy" "$scratch/home/src/corvane"

    for page in README.md $(cd "$source_dir" && ls docs/*.md); do
        rm -rf "$scratch/blocks" && mkdir "$scratch/blocks"
        while read -r start; do
            script=$scratch/block.sh
            blocks=$((blocks + 1))
            printf 'set -eo pipefail\n' > "$script"
            while IFS= read -r line; do
                reason=$(why_not "$line")
                if [[ -n $reason ]]; then
                    printf 'echo %q\n' "not run: $line ($reason)" >> "$script"
                else
                    printf '%s\n' "$line" >> "$script"
                fi
            done < "$scratch/blocks/$start"
            if output=$(cd "$copy" && HOME=$scratch/home PATH=$scratch/bin:$PATH bash "$script" 2>&1); then
                echo "ran $page:$start"
                grep '^not run: ' <<< "$output" | sed 's/^/    /'
            else
                fail "$page:$start, status $?:"
                sed 's/^/    /' "$script" | tail -n +2
                echo "  said:"
                tail -n 30 <<< "$output" | sed 's/^/    /'
            fi
        done < <(blocks_of "$source_dir/$page" "$scratch/blocks")
    done
    [[ $blocks -gt 0 ]] || fail "no sh blocks found"
    [[ $status -eq 0 ]] && echo "commands ok: $blocks blocks"
}

mode=${1:-}
shift || true
case $mode in
    links) if [[ $# -eq 0 ]]; then check_links "$source_dir"/README.md "$source_dir"/docs/*.md
           else check_links "$@"; fi ;;
    commands) run_commands "$@" ;;
    *) echo "usage: docs_test.sh links [FILE.md...] | commands BUILD" >&2; exit 2 ;;
esac
exit $status
