#!/usr/bin/env bash
# With the installed file type and desktop entry as the user's data, xdg-mime tells ARXML documents
# by name and by content, leaves other XML alone, and names Tessaro as their program.
source "$(dirname "$0")/lib.sh"

root="$PKG_WORK/root"
pkg_install "$root" /usr
data="$root/usr/share"
# What the shared-mime-info and desktop-file-utils triggers do after a package is installed.
update-mime-database "$data/mime" >"$PKG_WORK/update.log" 2>&1 &&
    update-desktop-database "$data/applications" >>"$PKG_WORK/update.log" 2>&1 ||
    { cat "$PKG_WORK/update.log"; pkg_fail "the desktop's caches could not be updated"; }

arxml_type=$(sed -n 's/.*<mime-type type="\([^"]*\)">.*/\1/p' "$data/mime/packages/tessaro.xml")
[ -n "$arxml_type" ] || pkg_fail "the installed file type declares no type"

# A desktop-neutral session that sees only the system's types and the installed ones.
mkdir -p "$PKG_WORK/home" "$PKG_WORK/config"
xdg() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP=X-Generic \
        HOME="$PKG_WORK/home" XDG_CONFIG_HOME="$PKG_WORK/config" XDG_DATA_HOME="$data" \
        XDG_DATA_DIRS=/usr/share xdg-mime "$@"
}
expect_type() {
    local actual
    actual=$(xdg query filetype "$2")
    [ "$actual" = "$1" ] || pkg_fail "$2 is '$actual', expected $1"
}

samples="$PKG_WORK/samples"
mkdir -p "$samples"
example="$TESSARO_SOURCE_DIR/examples/body-network.arxml"
expect_type "$arxml_type" "$example"
# Without the extension, the root element tells the type; other XML stays XML.
cp "$example" "$samples/system-description"
expect_type "$arxml_type" "$samples/system-description"
printf '<?xml version="1.0"?>\n<CONFIG><AUTOSAR-LIKE/></CONFIG>\n' >"$samples/config"
expect_type application/xml "$samples/config"
# Real documents by others, where present: their headers differ in length, comments and line
# ends. Without the extension, those whose root element is AUTOSAR are told by content; the others
# among them (an HTML page, an illegal root element) must not be.
if [ -d "${TESSARO_SHARED_ARXML_DIR:-}" ]; then
    for real in "$TESSARO_SHARED_ARXML_DIR"/*.arxml; do
        cp "$real" "$samples/real"
        actual=$(xdg query filetype "$samples/real")
        if head -c 1024 "$real" | grep -aqE '<AUTOSAR([[:space:]>]|$)'; then
            [ "$actual" = "$arxml_type" ] || pkg_fail "$real without its extension is '$actual'"
        else
            [ "$actual" != "$arxml_type" ] || pkg_fail "$real is no AUTOSAR document but was taken for one"
        fi
    done
fi

default=$(xdg query default "$arxml_type")
[ "$default" = tessaro.desktop ] || pkg_fail "the default program for $arxml_type is '$default'"
pkg_pass
