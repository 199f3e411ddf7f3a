#!/usr/bin/env bash
# Fails when a source includes a header from a layer it may not use. The layers, bottom up:
#   scene < interpreter < commands < frame < viewer, tools, analysis < lsp
# viewer, tools and analysis stand side by side on frame and may not include each other; lsp,
# the language server's protocol, stands on analysis alone of them.
set -u
cd "$(dirname "$0")/.."
below_frame="frame commands interpreter scene"
declare -A uses=([scene]="" [interpreter]="scene" [commands]="interpreter scene"
                 [frame]="commands interpreter scene" [viewer]="$below_frame"
                 [tools]="$below_frame" [analysis]="$below_frame" [lsp]="analysis $below_frame")
status=0
for layer in "${!uses[@]}"; do
    for file in "$layer"/*.cpp "$layer"/*.h; do
        [[ -e $file ]] || continue
        while IFS= read -r included; do
            other=${included%%/*}
            [[ -n ${uses[$other]+set} && $other != "$layer" ]] || continue
            if [[ " ${uses[$layer]} " != *" $other "* ]]; then
                echo "$file includes $included: $layer may not use $other"
                status=1
            fi
        done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
    done
done
exit $status
