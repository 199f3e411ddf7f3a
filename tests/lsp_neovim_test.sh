#!/usr/bin/env bash
# Neovim's built-in language client, headless, drives corvane-lsp through tests/lsp_neovim.lua
# on a script in a scratch directory, with a picture beside it. Neovim runs from / with no
# display, so the picture is found only from the script's own directory.
set -euo pipefail
server=$(realpath "$1")
source=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$source/examples/checker.png" "$scratch/"
cat > "$scratch/scene.txt" <<'SCRIPT'
# corvane
BeginList tree
  { Rotate -90 1 0 0  Cone }
EndList
ViewTransform
TextureImage checker.png
CallList tree
SCRIPT
cp "$scratch/scene.txt" "$scratch/saved.txt"
cd /
env -u DISPLAY -u WAYLAND_DISPLAY SCRATCH="$scratch" CORVANE_LSP="$server" \
    XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_STATE_HOME="$scratch/state" \
    XDG_CACHE_HOME="$scratch/cache" \
    timeout 120 nvim --headless -u NONE -i NONE -n -c "luafile $source/tests/lsp_neovim.lua" </dev/null
cmp "$scratch/scene.txt" "$scratch/saved.txt"   # the buffer was never written
echo "Neovim's client got diagnostics, hover, completion and definition"
