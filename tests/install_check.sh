#!/bin/sh
# Installs the build into a scratch prefix, checks what lands there, and that the installed
# program answers --version and --help without a display and without touching its folder.
set -eu
cmake=$1 build=$2 version=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix/usr" >/dev/null
for f in bin/zemira bin/zemira-metafile bin/zemira-demo bin/zemira-import bin/zemira-check \
         bin/zemira-new bin/zemira-export \
         share/applications/zemira.desktop share/icons/hicolor/scalable/apps/zemira.svg; do
  [ -e "$prefix/usr/$f" ] || { echo "not installed: $f"; exit 1; }
done
grep -qx 'Exec=zemira' "$prefix/usr/share/applications/zemira.desktop"
grep -qx 'Icon=zemira' "$prefix/usr/share/applications/zemira.desktop"

mkdir "$prefix/work"
cd "$prefix/work"
run() { env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "$prefix/usr/bin/zemira" "$@"; }
answer=$(run --version)
[ "$answer" = "zemira $version" ] || { echo "--version said: $answer"; exit 1; }
run --help | grep -q '^Kullanım: zemira \[KLASÖR\]$' || { echo "--help said: $(run --help)"; exit 1; }
[ -z "$(ls -A)" ] || { echo "files left in the working folder: $(ls -A)"; exit 1; }
echo ok
