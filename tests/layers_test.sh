#!/usr/bin/env bash
# Fails when a source includes a header from a layer above its own. The layers, bottom up:
#   scene < interpreter < commands < frame < viewer, tools
# viewer and tools stand side by side on top and may not include each other.
set -u
cd "$(dirname "$0")/.."
declare -A rank=([scene]=0 [interpreter]=1 [commands]=2 [frame]=3 [viewer]=4 [tools]=4)
status=0
for layer in "${!rank[@]}"; do
    for file in "$layer"/*.cpp "$layer"/*.h; do
        [[ -e $file ]] || continue
        while IFS= read -r included; do
            other=${included%%/*}
            [[ -n ${rank[$other]+set} ]] || continue
            if (( rank[$other] > rank[$layer] )) ||
               { (( rank[$other] == rank[$layer] )) && [[ $other != "$layer" ]]; }; then
                echo "$file includes $included: $other is not below $layer"
                status=1
            fi
        done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
    done
done
exit $status
