#!/usr/bin/env bash
# Packs the build tree with CPack into a scratch folder, then checks the .deb
# as dpkg sees it: control fields, file list, the unpacked desktop entry, icons
# and man pages, and that the unpacked command-line program runs.
# Usage: check_package.sh CPACK CPACK_CONFIG VERSION
set -euo pipefail
cpack=$1 config=$2 version=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

"$cpack" --config "$config" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; exit 1; }
deb=$(echo "$scratch/out/vaskord_${version}_"*.deb)
[ -f "$deb" ] || { echo "no package at $deb" >&2; ls "$scratch/out" >&2; exit 1; }

# Control fields: computed library dependencies plus the two added by hand.
info=$(dpkg-deb -I "$deb")
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
echo "Size: $(stat -c %s "$deb") bytes"
for field in "Package: vaskord" "Version: $version" "Section: utils" "Maintainer: "; do
  grep -q "^ $field" <<<"$info" || fail "control lacks '$field'"
done
for package in libqt6core6 libqt6gui6 libqt6widgets6 libmdb3 libc6 fonts-arphic-uming qt6-qpa-plugins; do
  grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package"
done

# File list.
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/vaskord ./usr/bin/vaskord-cli \
  ./usr/share/applications/vaskord.desktop \
  ./usr/share/icons/hicolor/scalable/apps/vaskord.svg \
  ./usr/share/icons/hicolor/48x48/apps/vaskord.png \
  ./usr/share/man/man1/vaskord.1.gz ./usr/share/man/man1/vaskord-cli.1.gz \
  ./usr/share/doc/vaskord/copyright ./usr/share/doc/vaskord/changelog.gz; do
  grep -qx -- "$path" <<<"$contents" || fail "package lacks $path"
done
if grep -v -e '^\./usr/\(bin\|share\)/' -e '^\./usr/$' -e '^\./$' <<<"$contents" | grep .; then
  fail "package holds files outside /usr/bin and /usr/share"
fi

# The unpacked tree.
root="$scratch/root"
dpkg -x "$deb" "$root"
desktop="$root/usr/share/applications/vaskord.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate refused the entry"
grep -qx 'Exec=vaskord' "$desktop" || fail "the entry must start vaskord without arguments"
grep -qx 'Icon=vaskord' "$desktop" || fail "the entry must name the themed icon"
file -b "$root/usr/share/icons/hicolor/48x48/apps/vaskord.png" | grep -q 'PNG image data, 48 x 48' ||
  fail "the 48x48 icon is not a 48x48 PNG"
for page in vaskord vaskord-cli; do
  gzip -dc "$root/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH ${page^^} 1" ||
    fail "man page $page.1 is not a section 1 page"
done
for program in vaskord vaskord-cli; do
  if file -b "$root/usr/bin/$program" | grep -q 'not stripped'; then
    fail "$program is not stripped"
  fi
done
"$root/usr/bin/vaskord-cli" --version | grep -qx "vaskord-cli $version" ||
  fail "the unpacked vaskord-cli does not run"

if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1 ||
    { grep -v 'root privileges' "$scratch/lintian.log" >&2; fail "lintian reports errors or warnings"; }
fi

[ "$failures" -eq 0 ]
