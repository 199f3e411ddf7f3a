#!/usr/bin/env bash
# Builds the Debian package, has lintian check it (no error, and no warning that
# packaging/lintian-overrides does not explain), unpacks it into a scratch root and checks what
# it installs: the tools run from there, the manual pages are gzipped and render cleanly, the
# installed README's links and pictures hold, and the desktop entry's file type takes the
# scripts it should and nothing wider.
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
report=$(lintian --fail-on error,warning "$deb" 2>&1) || { echo "$report"; exit 1; }
dpkg-deb -x "$deb" "$root/fs"
usr=$root/fs/usr
# grep reads the whole help: with -q it would stop at the first line, and a later write of the
# help would die of SIGPIPE, which pipefail reports as a failure.
"$usr/bin/corvane-render" --help | grep "usage: corvane-render" >/dev/null
"$usr/bin/corvane" --help | grep "usage: corvane" >/dev/null
"$usr/bin/corvane" --version | grep -x "corvane [0-9.]*" >/dev/null
"$usr/bin/corvane-lsp" --version | grep -x "corvane-lsp [0-9.]*" >/dev/null
# The language server answers an editor's first request and ends with its input.
request='{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}}'
printf 'Content-Length: %d\r\n\r\n%s' ${#request} "$request" |
    env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/corvane-lsp" | grep '"hoverProvider":true' >/dev/null
env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/corvane-render" "$source/examples/default.txt" \
    --size 64x48 -o "$root/default.png"
test -s "$root/default.png"
test -f "$usr/share/applications/corvane.desktop"
test -f "$usr/share/doc/corvane/copyright"
test -f "$usr/share/man/man1/corvane.1.gz"
test -f "$usr/share/man/man1/corvane-render.1.gz"
test -f "$usr/share/man/man1/corvane-lsp.1.gz"
for installed in "$usr"/share/man/man*/*.gz; do
    warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$installed" 2>&1 >/dev/null)
    [[ -z $warnings ]] || { echo "$installed: $warnings"; exit 1; }
done
# The manual page's OPTIONS are made from the tool's own declarations: every option of --help.
manual=$(MANWIDTH=200 man -l "$usr"/share/man/man1/corvane-render.1.gz 2>/dev/null)
for option in $("$usr/bin/corvane-render" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$manual" || { echo "the manual page lacks $option"; exit 1; }
done
manual=$(MANWIDTH=200 man -l "$usr"/share/man/man1/corvane-lsp.1.gz 2>/dev/null)
for option in $("$usr/bin/corvane-lsp" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$manual" || { echo "corvane-lsp's manual page lacks $option"; exit 1; }
done
# Every example, and the picture the textured one loads from its own directory.
for file in "$source"/examples/*; do
    test -f "$usr/share/corvane/examples/$(basename "$file")"
done
test -f "$usr/share/corvane/examples/checker.png"
"$source/tests/docs_test.sh" links "$usr/share/doc/corvane/README.md" "$usr"/share/doc/corvane/docs/*.md
# The editor support, where vim-addon-manager, VS Code users and bash-completion look for it.
for file in vim/addons/{syntax,ftdetect,ftplugin,compiler}/corvane.vim vim/registry/corvane.yaml \
            corvane/vscode/{package.json,extension.js,language-configuration.json,syntaxes/corvane.tmLanguage.json} \
            bash-completion/completions/{corvane,corvane-render}; do
    test -f "$usr/share/$file"
done

# The file type, in a MIME database of the system's types and the package's: .corvane files and
# marked files whose name says nothing else are scripts; a marked .txt file, an unmarked file
# and a file whose first word only starts with corvane stay plain text.
desktop-file-validate "$usr/share/applications/corvane.desktop"
grep -qx 'MimeType=text/x-corvane;' "$usr/share/applications/corvane.desktop"
mime=$root/mime
mkdir -p "$mime/mime/packages" "$root/files"
cp /usr/share/mime/packages/freedesktop.org.xml "$usr/share/mime/packages/corvane.xml" \
   "$mime/mime/packages/"
update-mime-database "$mime/mime" >/dev/null 2>&1
[[ $(grep -c corvane "$mime/mime/globs2") -eq 1 ]]
cd "$root/files"
printf 'Box\n' > scene.corvane
printf '# corvane: a box\nBox\n' > scene
printf '#corvane\r\nBox\r\n' > windows
printf '# corvane\nBox\n' > marked.txt
printf 'Box\n' > unmarked
printf '# corvanes\n' > other
for file in scene.corvane scene windows marked.txt unmarked other; do
    type=$(XDG_DATA_DIRS=$mime XDG_DATA_HOME=$root/none gio info -a standard::content-type "$file" |
           sed -n 's/.*standard::content-type: //p')
    case $file in scene*|windows) wanted=text/x-corvane ;; *) wanted=text/plain ;; esac
    [[ $type == "$wanted" ]] || { echo "$file: $type, not $wanted"; exit 1; }
done
echo "package ok: $(basename "$deb")"
