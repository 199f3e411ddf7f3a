#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root and runs the tools from there.
set -euo pipefail
build=$1
source=$(cd "$(dirname "$0")/.." && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cd "$build"
cpack -G DEB -B "$root/out" >/dev/null
deb=$(ls "$root"/out/corvane_*.deb)
dpkg-deb -f "$deb" Depends | grep -q libsoil1
dpkg-deb -f "$deb" Depends | grep -qw xvfb   # what draws where there is no display
dpkg-deb -x "$deb" "$root/fs"
# grep reads the whole help: with -q it would stop at the first line, and a later write of the
# help would die of SIGPIPE, which pipefail reports as a failure.
"$root/fs/usr/bin/corvane-render" --help | grep "usage: corvane-render" >/dev/null
"$root/fs/usr/bin/corvane" --help | grep "usage: corvane" >/dev/null
env -u DISPLAY -u WAYLAND_DISPLAY "$root/fs/usr/bin/corvane-render" "$source/examples/default.txt" \
    --size 64x48 -o "$root/default.png"
test -s "$root/default.png"
test -f "$root/fs/usr/share/applications/corvane.desktop"
test -f "$root/fs/usr/share/man/man1/corvane-render.1"
# The manual page's OPTIONS are made from the tool's own declarations: every option of --help.
manual=$(MANWIDTH=200 man -l "$root"/fs/usr/share/man/man1/corvane-render.1* 2>/dev/null)
for option in $("$root/fs/usr/bin/corvane-render" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$manual" || { echo "the manual page lacks $option"; exit 1; }
done
# Every example, and the picture the textured one loads from its own directory.
for file in "$source"/examples/*; do
    test -f "$root/fs/usr/share/corvane/examples/$(basename "$file")"
done
test -f "$root/fs/usr/share/corvane/examples/checker.png"
test -f "$root/fs/usr/share/doc/corvane/gallery/textured.png"
# The editor support, where vim-addon-manager, VS Code users and bash-completion look for it.
for file in vim/addons/{syntax,ftdetect,ftplugin,compiler}/corvane.vim vim/registry/corvane.yaml \
            corvane/vscode/{package.json,language-configuration.json,syntaxes/corvane.tmLanguage.json} \
            bash-completion/completions/{corvane,corvane-render}; do
    test -f "$root/fs/usr/share/$file"
done
echo "package ok: $(basename "$deb")"
