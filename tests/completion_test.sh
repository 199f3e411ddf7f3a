#!/usr/bin/env bash
# The bash completions in editors/bash-completion, driven as bash drives them: COMP_WORDS and
# COMP_CWORD set by hand, the function called, COMPREPLY read. Each file registers its command,
# options complete by prefix, an option's value gets files only where it names one (and only
# of the kinds the tool writes or reads there), and only one script is offered. Given the built
# corvane-render and corvane, every option their --help describes must be offered too.
set -uo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
completions=$source_dir/editors/bash-completion
render=${1:+$(realpath "$1")}
viewer=${2:+$(realpath "$2")}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0

fail() { echo "FAIL: $*"; status=1; }

# Prints the sorted offers for the words given, the last one being completed.
offers() {
    local function=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$function"
    printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ' | sed 's/ $//'
}

expect() {
    local wanted=$1 got
    shift
    got=$(offers "$@")
    [[ $got == "$wanted" ]] || fail "${*:2} offers '$got', not '$wanted'"
}

for command in corvane corvane-render; do
    registered=$(bash -c "source '$completions/$command' && complete -p '$command'" 2>&1)
    [[ $registered == "complete -F _${command//-/_} $command" ]] ||
        fail "$command: complete -p says '$registered'"
done

source "$completions/corvane-render"
source "$completions/corvane"
cd "$scratch"
mkdir shots
touch scene.txt ref.png OLD.PNG film.MP4 loop.gif notes.md

# Options by prefix.
expect '--tessellation --threshold --tolerance' _corvane_render corvane-render --t
expect '--far --flat --fov --fps --frames' _corvane_render corvane-render --f
expect '--reference --reread' _corvane_render corvane-render --check --re
# Values: pictures and videos after -o, pictures after --reference and --diff (also after =),
# nothing after an option that takes a number, files for the script.
expect 'OLD.PNG film.MP4 loop.gif ref.png shots' _corvane_render corvane-render -o ''
expect 'OLD.PNG ref.png shots' _corvane_render corvane-render s.txt --reference ''
expect 'OLD.PNG ref.png shots' _corvane_render corvane-render --diff = ''
expect '' _corvane_render corvane-render --size ''
expect '' _corvane_render corvane-render --fps ''
expect 'scene.txt shots' _corvane_render corvane-render --size = 64x64 s
expect 'scene.txt shots' _corvane_render corvane-render --check s
expect '' _corvane_render corvane-render scene.txt --check s
# The viewer: --help, --version, or one script.
expect '--help --version' _corvane corvane --
expect 'scene.txt shots' _corvane corvane s
expect '' _corvane corvane scene.txt ''

for program in "$render" "$viewer"; do
    [[ -x $program ]] || { echo "note: a program not given or not built; its --help was not compared"; continue; }
    name=$(basename "$program")
    offered=" $(offers "_${name//-/_}" "$name" -) "
    for option in $("$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        [[ $offered == *" $option "* ]] || fail "$name --help describes $option, not offered"
    done
done

[[ $status -eq 0 ]] && echo "completions ok"
exit $status
