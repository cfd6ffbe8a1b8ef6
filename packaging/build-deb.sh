#!/usr/bin/env bash
# Puts the Debian package together from a built tree: installs it into a staging folder under
# /usr, strips the programs, compresses the manual pages, adds the copyright and changelog, lets
# dpkg-shlibdeps work out the libraries it depends on, and builds tessaro_VERSION_ARCH.deb in
# OUTPUT_DIR (default: BUILD_DIR).
# Usage: packaging/build-deb.sh BUILD_DIR [OUTPUT_DIR]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:?usage: build-deb.sh BUILD_DIR [OUTPUT_DIR]}")
output=$(realpath "${2:-$build}")
debian_in="$build/packaging/debian"
[ -x "$build/app/tessaro" ] && [ -f "$debian_in/control" ] ||
    { echo "build-deb: $build holds no built viewer; build it first (make build)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tessaro-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
root="$work/root"
doc="$root/usr/share/doc/tessaro"

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
# As dh_strip does: no debugging data, symbols or compiler notes in the programs.
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$root"/usr/bin/*
gzip -9n "$root"/usr/share/man/man1/*.1
mkdir -p "$doc"
gzip -9nc "$debian_in/changelog" >"$doc/changelog.Debian.gz"
{
    echo "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
    echo "Upstream-Name: Tessaro"
    echo
    echo "Files: *"
    sed -n 's/^Copyright (c) /Copyright: /p' "$source_dir/LICENSE"
    echo "License: Expat"
    # The license text, as the format wants it: indented, blank lines as " .".
    sed -e '1,/^Copyright /d' -e 's/^$/./' -e 's/^/ /' "$source_dir/LICENSE" | sed '1{/^ \.$/d}'
} >"$doc/copyright"

# dpkg-shlibdeps and dpkg-gencontrol work from a debian/ folder.
mkdir -p "$work/debian" "$root/DEBIAN"
cp "$debian_in/control" "$debian_in/changelog" "$work/debian/"
(
    cd "$work"
    dpkg-shlibdeps -Tdebian/substvars "$root"/usr/bin/*
    dpkg-gencontrol -ptessaro -P"$root" -Tdebian/substvars -fdebian/files
)
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f ! -path '*/usr/bin/*' -exec chmod 0644 {} +
(cd "$root" && find usr -type f | sort | xargs md5sum >DEBIAN/md5sums)
chmod 0644 "$root/DEBIAN/md5sums"

version=$(sed -n 's/^Version: //p' "$root/DEBIAN/control")
arch=$(sed -n 's/^Architecture: //p' "$root/DEBIAN/control")
deb="$output/tessaro_${version}_${arch}.deb"
mkdir -p "$output"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
