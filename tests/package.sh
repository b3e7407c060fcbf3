#!/bin/sh
# The Debian package: made from this build, it holds the program, desktop entry, icon, AppStream
# data and copyright where a desktop looks for them, and depends on the libraries and tools Tarn
# uses.
build="$1"
command -v dpkg-deb >/dev/null 2>&1 || { echo "dpkg-deb is not installed: nothing to check"; exit 0; }
out=$(mktemp -d) || exit 1
trap 'rm -rf "$out"' EXIT
cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "no package made"; cat "$out/cpack.log"; exit 1; }
failed=0
fail() { echo "$*"; failed=1; }

[ "$(dpkg-deb -f "$deb" Package)" = tarn ] || fail "the package is not named tarn"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libgtk-4-1 libadwaita-1-0 libwebkitgtk-6.0-4 libgtkmm-4.0-0 libicu72 git zsh; do
  echo "$depends" | grep -q "\(^\|, \)$needed\( \|,\|$\)" || fail "Depends lacks $needed: $depends"
done
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/tarn ./usr/libexec/tarn/tarn-window ./usr/libexec/tarn/tarn-preview.so ./usr/share/applications/dev.tarn.Tarn.desktop \
            ./usr/share/icons/hicolor/scalable/apps/dev.tarn.Tarn.svg ./usr/share/metainfo/dev.tarn.Tarn.metainfo.xml \
            ./usr/share/doc/tarn/copyright; do
  echo "$contents" | grep -q " $file\$" || fail "the package lacks $file"
done
echo "$contents" | grep " ./usr/bin/tarn\$" | grep -q '^-rwxr-xr-x' || fail "the program is not executable"
# The desktop entry starts the installed program.
dpkg-deb -x "$deb" "$out/root"
grep -q '^Exec=tarn ' "$out/root/usr/share/applications/dev.tarn.Tarn.desktop" || fail "the desktop entry does not run tarn"
[ $failed -eq 0 ] && echo "the package holds what a desktop needs: $(basename "$deb")"
exit $failed
