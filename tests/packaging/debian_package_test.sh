#!/usr/bin/env bash
# The Debian package: named by the program's version, depending on the package of every library the
# programs load, holding the installed tree plus its Debian documents, and clean for lintian.
# As root with CI=true (or TESSARO_TEST_APT_INSTALL=1) it is also installed with apt, used from
# /usr/bin and removed again.
source "$(dirname "$0")/lib.sh"

deb=$(bash "$TESSARO_SOURCE_DIR/packaging/build-deb.sh" "$TESSARO_BUILD_DIR" "$PKG_WORK" 2>"$PKG_WORK/build.err") ||
    { cat "$PKG_WORK/build.err"; pkg_fail "packaging/build-deb.sh failed"; }
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "tessaro_${TESSARO_VERSION}-1_$arch.deb" ] || pkg_fail "the package is named $(basename "$deb")"

info=$(dpkg-deb --info "$deb") || pkg_fail "dpkg-deb --info cannot read $deb"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = tessaro ] && [ "$(field Version)" = "$TESSARO_VERSION-1" ] && [ "$(field Architecture)" = "$arch" ] ||
    pkg_fail "control fields:
$info"

# Every shared library a program loads comes from a package the package depends on.
depends=" $(field Depends | sed 's/ *([^)]*)//g; s/,/ /g') "
mkdir -p "$PKG_WORK/unpacked" && dpkg-deb --extract "$deb" "$PKG_WORK/unpacked"
for program in "$PKG_WORK"/unpacked/usr/bin/*; do
    for library in $(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }'); do
        path=$(ldconfig -p | awk -v l="$library" '$1 == l { print $NF; exit }')
        [ -n "$path" ] || pkg_fail "$library of $(basename "$program") is not on this machine"
        owner=$(dpkg -S "$(realpath "$path")" 2>/dev/null || dpkg -S "$path" 2>/dev/null)
        owner=${owner%%:*}
        [[ $depends == *" $owner "* ]] ||
            pkg_fail "$(basename "$program") loads $library of $owner, which Depends lacks: $depends"
    done
done

# The files: the installed tree under /usr, manual pages compressed, plus copyright and changelog.
actual=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $NF }' | sed 's|^\./||' | LC_ALL=C sort)
expected=$({
    pkg_expected_files | sed 's|^|usr/|; s|\.1$|.1.gz|'
    printf '%s\n' usr/share/doc/tessaro/changelog.Debian.gz usr/share/doc/tessaro/copyright
} | LC_ALL=C sort)
[ "$actual" = "$expected" ] || pkg_fail "package files differ:
$(diff <(echo "$expected") <(echo "$actual"))"

# lintian: errors fail; the warnings kept are printed for the record.
lintian --tag-display-limit 0 "$deb" >"$PKG_WORK/lintian.out" 2>&1
grep -v "running with root privileges" "$PKG_WORK/lintian.out"
! grep -q '^E: ' "$PKG_WORK/lintian.out" || pkg_fail "lintian reports errors"

if [ "$(id -u)" = 0 ] && { [ "${CI:-}" = true ] || [ "${TESSARO_TEST_APT_INSTALL:-}" = 1 ]; }; then
    dpkg-query -W -f='${Status}' tessaro 2>/dev/null | grep -q 'ok installed' &&
        pkg_fail "a tessaro package is installed already; not replacing it"
    real=$(ls "${TESSARO_SHARED_ARXML_DIR:-/nonexistent}"/*.arxml 2>/dev/null | head -1)
    [ -n "$real" ] || real="$TESSARO_SOURCE_DIR/examples/body-network.arxml"
    remove() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 purge -y -qq tessaro >/dev/null 2>&1; }
    trap 'remove; rm -rf "$PKG_WORK"' EXIT
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq "$deb" >"$PKG_WORK/apt.log" 2>&1 ||
        { cat "$PKG_WORK/apt.log"; pkg_fail "apt-get install $deb failed"; }
    /usr/bin/tessaro-query "$real" stats | grep -q '"nodes":[1-9]' || pkg_fail "/usr/bin/tessaro-query on $real"
    [ "$(/usr/bin/tessaro --version)" = "Tessaro $TESSARO_VERSION" ] || pkg_fail "/usr/bin/tessaro --version"
    [ "$(man -w tessaro-query)" = /usr/share/man/man1/tessaro-query.1.gz ] || pkg_fail "man tessaro-query not found"
    remove || pkg_fail "apt-get purge tessaro failed"
    [ ! -e /usr/bin/tessaro ] || pkg_fail "/usr/bin/tessaro is left after removal"
else
    echo "[$PKG_NAME] installing with apt skipped: needs root and CI=true or TESSARO_TEST_APT_INSTALL=1"
fi
pkg_pass
