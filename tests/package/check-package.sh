#!/usr/bin/env bash
# Builds the Debian package and checks it without installing it: the files it
# holds, that its dependencies name the package of every library the programs
# link, that the companion unpacked from it shrinks a file, that the manual
# pages format without warnings and that the desktop entry validates.
#
#   tests/package/check-package.sh [PACKAGE.deb]
#
# Without an argument it runs `make package` first. Needs the tools of
# `scripts/install-deps package-check`.
set -euo pipefail
cd "$(dirname "$0")/../.."

fail() {
  echo "check-package: $*" >&2
  exit 1
}
for tool in dpkg-deb dpkg-query readelf gzip man desktop-file-validate; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps package-check)"
done

deb=${1:-}
if [ -z "$deb" ]; then
  make package >&2
  deb=$(ls -t build-package/dorvalune_*.deb | head -n 1)
fi
[ -f "$deb" ] || fail "no package $deb"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The files: both programs, the two manual pages compressed, the desktop
# entry and the icons, and nothing outside /usr.
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in usr/bin/dorvalune usr/bin/dorvalune-shrink \
  usr/share/man/man1/dorvalune.1.gz usr/share/man/man1/dorvalune-shrink.1.gz \
  usr/share/applications/dorvalune.desktop usr/share/icons/hicolor/16x16/apps/dorvalune.png \
  usr/share/icons/hicolor/32x32/apps/dorvalune.png usr/share/icons/hicolor/48x48/apps/dorvalune.png; do
  grep -qxF "./$file" <<<"$listing" || fail "$file is not in the package"
done
if grep -v -e '^\./$' -e '^\./usr/' <<<"$listing"; then
  fail "the package holds files outside /usr"
fi
[ "$(dpkg-deb -f "$deb" Package)" = dorvalune ] || fail "the package is not called dorvalune"
dpkg-deb -x "$deb" "$work/root"
root=$work/root

# Every library a program names comes from a package the package depends on.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# One package name a line, versions and alternatives taken apart.
depends_names=$(sed -e 's/ *([^)]*)//g' -e 's/ *[,|] */\n/g' <<<"$depends")
for program in dorvalune dorvalune-shrink; do
  binary=$root/usr/bin/$program
  ! ldd "$binary" | grep 'not found' || fail "$program needs a library that is not there"
  for soname in $(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path=$(ldd "$binary" | awk -v lib="$soname" '$1 == lib {print $3}')
    owner=""
    for candidate in "$path" "$(readlink -f "$path")" "${path#/usr}" "/usr$path"; do
      owner=$(dpkg-query -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1) && break
    done
    [ -n "$owner" ] || fail "no package holds $soname ($path)"
    grep -qxF "$owner" <<<"$depends_names" || fail "$program links $soname of $owner, not in Depends"
  done
done

# The companion from the package works on a real file.
cp tests/data/bmpsuite/g/rgb24.bmp "$work/picture.bmp"
report=$(cd "$work" && "$root/usr/bin/dorvalune-shrink" picture.bmp) ||
  fail "dorvalune-shrink failed: $report"
echo "$report"
grep -qxE 'shrunk picture\.bmp [0-9]+x[0-9]+ -> [0-9]+x[0-9]+, original kept as oldpicture\.bmp' \
  <<<"$report" || fail "unexpected report: $report"
cmp -s tests/data/bmpsuite/g/rgb24.bmp "$work/oldpicture.bmp" || fail "the original was not kept"
version=$("$root/usr/bin/dorvalune-shrink" --version)
[ "$version" = "dorvalune-shrink $(dpkg-deb -f "$deb" Version)" ] ||
  fail "--version says '$version', the package $(dpkg-deb -f "$deb" Version)"

# The manual pages: compressed whole, formatted without a warning.
for page in dorvalune dorvalune-shrink; do
  file=$root/usr/share/man/man1/$page.1.gz
  gzip -t "$file" || fail "$page.1.gz is damaged"
  warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page(1): $warnings"
  MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q "^NAME" || fail "$page(1) has no NAME section"
done

# The desktop entry validates, and names a program and an icon the package holds.
desktop-file-validate "$root/usr/share/applications/dorvalune.desktop" ||
  fail "the desktop entry does not validate"
grep -qx 'Exec=dorvalune' "$root/usr/share/applications/dorvalune.desktop" || fail "Exec is not dorvalune"
grep -qx 'Icon=dorvalune' "$root/usr/share/applications/dorvalune.desktop" || fail "Icon is not dorvalune"

echo "check-package: $deb is good"
