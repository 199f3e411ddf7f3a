#!/usr/bin/env bash
# Runs every scene in examples/ with corvane-render, from examples/ as the viewer's users and
# scripts/gallery do, and fails when one exits non-zero or leaves anything in its log. Three
# frames: the later ones replay the display lists the first one recorded, and a scene whose
# first frame failed would not run again. Every image a scene names must be in examples/.
set -uo pipefail
render=$(realpath "$1")
cd "$(dirname "$0")/../examples"
status=0
count=0
for scene in *.txt; do
    count=$((count + 1))
    log=$("$render" "$scene" --size 200x150 --frames 3 --clock 1 --raw-log 2>&1 >/dev/null)
    code=$?
    if [[ $code -ne 0 || -n $log ]]; then
        echo "examples/$scene: status $code"
        [[ -n $log ]] && printf '%s\n' "$log"
        status=1
    fi
    for image in $(sed 's/#.*//' "$scene" | grep -o 'TextureImage[[:space:]]\+[^[:space:]]\+' |
                   awk '{print $2}'); do
        [[ -f $image ]] || { echo "examples/$scene: image $image is missing"; status=1; }
    done
done
[[ $count -gt 0 ]] || { echo "no scenes in examples/"; status=1; }
[[ $status -eq 0 ]] && echo "$count scenes ran cleanly"
exit $status
