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
dpkg-deb -x "$deb" "$root/fs"
"$root/fs/usr/bin/corvane-render" --help | grep -q "usage: corvane-render"
"$root/fs/usr/bin/corvane" --help | grep -q "usage: corvane"
test -f "$root/fs/usr/share/applications/corvane.desktop"
test -f "$root/fs/usr/share/man/man1/corvane-render.1"
# Every example, and the picture the textured one loads from its own directory.
for file in "$source"/examples/*; do
    test -f "$root/fs/usr/share/corvane/examples/$(basename "$file")"
done
test -f "$root/fs/usr/share/corvane/examples/checker.png"
test -f "$root/fs/usr/share/doc/corvane/gallery/textured.png"
echo "package ok: $(basename "$deb")"
