#!/bin/bash
# Builds the Debian package into a scratch folder, checks what it holds and what
# it asks for, and starts its program from an unpacked copy.
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out") > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb="$work/out/vistrel_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls -l "$work/out"; fail "no package named $(basename "$deb")"; }

contents=$(dpkg-deb --contents "$deb")
for wanted in usr/bin/vistrel usr/share/applications/vistrel.desktop \
              usr/share/icons/hicolor/scalable/apps/vistrel.svg \
              usr/share/icons/hicolor/16x16/apps/vistrel.png usr/share/icons/hicolor/32x32/apps/vistrel.png \
              usr/share/icons/hicolor/48x48/apps/vistrel.png usr/share/icons/hicolor/128x128/apps/vistrel.png \
              usr/share/man/man1/vistrel.1.gz usr/share/doc/vistrel/README.md; do
    grep -q " \./$wanted\$" <<<"$contents" || { echo "$contents"; fail "the package lacks /$wanted"; }
done

depends=$(dpkg-deb --field "$deb" Depends)
for library in libqt6widgets6 libqt6network6 libxslt1.1 libsqlite3-0 libjpeg62-turbo; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
recommends=$(dpkg-deb --field "$deb" Recommends)
grep -q 'chromium-headless-shell | chromium' <<<"$recommends" || fail "Recommends: $recommends"

dpkg -x "$deb" "$work/root"
mkdir -p "$work/home/.config" "$work/tmp"
said=$(HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TMPDIR="$work/tmp" QT_QPA_PLATFORM=offscreen \
       timeout 20 "$work/root/usr/bin/vistrel" --version 2>&1) || fail "--version ended badly: $said"
grep -q "$version" <<<"$said" || fail "--version said: $said"

page=$(gzip -dc "$work/root/usr/share/man/man1/vistrel.1.gz")
for option in -help -version -port; do
    grep -q -- "$option" <<<"$page" || fail "the manual page does not name -$option"
done
echo "package $(basename "$deb") is fine"
