#!/usr/bin/env bash
# Installs the project into a staging folder and builds the Debian package, then
# checks the file list, the desktop entry and metainfo, and that the program runs
# from the unpacked package.
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null

expect=(
  usr/bin/tapwell
  usr/share/applications/org.qorvex.Tapwell.desktop
  usr/share/metainfo/org.qorvex.Tapwell.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/org.qorvex.Tapwell.svg
  usr/share/icons/hicolor/32x32/apps/org.qorvex.Tapwell.png
  usr/share/man/man1/tapwell.1
)
for f in "${expect[@]}"; do
  [ -e "$work/stage/$f" ] || { echo "missing from the install: $f"; exit 1; }
done
[ -d "$work/stage/usr/share/tapwell" ] || { echo "missing: usr/share/tapwell"; exit 1; }

desktop-file-validate "$work/stage/usr/share/applications/org.qorvex.Tapwell.desktop"
appstreamcli validate --no-net "$work/stage/usr/share/metainfo/org.qorvex.Tapwell.metainfo.xml" >/dev/null

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null)
deb=$(ls "$work"/pkg/*.deb)
dpkg-deb --field "$deb" Depends | grep -q libxtst6 || { echo "libxtst6 not declared"; exit 1; }
dpkg-deb --field "$deb" Depends | grep -q fonts-ipafont-gothic || { echo "font not declared"; exit 1; }
# The windows open natively in a Wayland session through the toolkit's Wayland platform.
dpkg-deb --field "$deb" Depends | grep -q qt6-wayland || { echo "qt6-wayland not declared"; exit 1; }
# The desktop entry starts the program by name, wherever the package puts it.
grep -qx 'Exec=tapwell' "$work/stage/usr/share/applications/org.qorvex.Tapwell.desktop" ||
  { echo "the desktop entry does not start tapwell by name"; exit 1; }
mkdir -p "$work/root"
dpkg-deb -x "$deb" "$work/root"
for f in "${expect[@]}"; do
  [ -e "$work/root/$f" ] || { echo "missing from the package: $f"; exit 1; }
done
version=$("$work/root/usr/bin/tapwell" --version)
case "$version" in
  "tapwell "*) echo "package ok: $(basename "$deb"): $version" ;;
  *) echo "unexpected version output: $version"; exit 1 ;;
esac
