#!/usr/bin/env bash
# A bookmark from conf.json, chosen in Navigate > Bookmarks, opens the tree down to its element
# on page 3 of its package's element list, highlights the row and scrolls to it; the row's copy
# button then puts the element path on the X11 clipboard. Keeps the screenshots.
source "$(dirname "$0")/lib.sh"

file=${TESSARO_EXAMPLE_ARXML:-}
[ -f "$file" ] || e2e_fail "no example document: $file"
command -v xclip >/dev/null || e2e_skip "xclip is not installed"
# The 45th signal of /Body/Signals: the element list shows 20 per page, so it is on page 3.
target=/Body/Signals/WheelSpeedFR

e2e_start_xvfb
e2e_temp_home
mkdir -p "$E2E_HOME/.Tessaro"
cat >"$E2E_HOME/.Tessaro/conf.json" <<JSON
{"bookmarks": ["$target", "/Missing/Thing"], "recent_open_files": [], "version": 1}
JSON

e2e_start_tessaro "$file"
e2e_wait_window 20 || e2e_fail "no window"
e2e_wait_for 30 e2e_has_colour 68C1EE 20 || e2e_fail "the document tree did not appear"
IFS='x+' read -r _ _ winX winY <<<"$(e2e_window_geometry)"

hover() {
    xdotool mousemove --window "$(e2e_window_id)" "$1" "$2"
    sleep 0.3
}
# Bounding box (WxH+X+Y, screen coordinates) of the pixels of colour RRGGBB in a screenshot.
bbox() {
    convert "$1" -alpha off -fill black +opaque "#$2" -format "%@" info:
}

# Menu bar positions of the default font at scale 1: "File", then hover along to "Navigate" and
# down to its fourth row, "Bookmarks", whose submenu opens beside it.
e2e_opens_window e2e_click 38 16 || e2e_fail "the File menu did not open"
hover 112 16
hover 150 126
hover 200 126
e2e_wait_for 10 e2e_has_colour 238551 5 || e2e_fail "no resolved bookmark in Navigate > Bookmarks"
shot=$(e2e_keep_screenshot "$E2E_WORK/last.png" bookmarks-menu.png)
e2e_log "bookmarks menu: $shot"
IFS='x+' read -r w h x y <<<"$(bbox "$shot" 238551)"
# The path is drawn 3 font sizes right of the check mark.
e2e_click $((x - winX + 80)) $((y + h / 2 - winY))

# The row stays highlighted for 2 s.
e2e_wait_for 1.5 e2e_has_colour 165A36 200 || e2e_fail "no highlighted row after choosing the bookmark"
shot=$(e2e_keep_screenshot "$E2E_WORK/last.png" bookmark-highlight.png)
e2e_log "highlighted row: $shot"
[ "$(e2e_count_colour "$shot" 68C1EE)" -ge 20 ] || e2e_fail "no short names drawn"
IFS='x+' read -r w h x y <<<"$(bbox "$shot" 165A36)"
rowY=$((y + h / 2 - winY))
# The target is scrolled to the middle of the document area.
[ "$y" -gt $((winY + 200)) ] || e2e_fail "the highlighted row is not scrolled towards the middle (y=$y)"

# Hovering the row shows its buttons; the bookmarked one is yellow, the copy button two buttons on.
hover 200 "$rowY"
e2e_screenshot "$E2E_WORK/hover.png"
IFS='x+' read -r bw bh bx by <<<"$(bbox "$E2E_WORK/hover.png" E5DE00)"
[ -n "$bx" ] && [ "$bw" -lt 100 ] || e2e_fail "no highlighted bookmark button on the row"
copyX=$((bx + bw / 2 + 64 - winX))
hover "$copyX" "$rowY"
e2e_click "$copyX" "$rowY"
sleep 0.3
e2e_keep_screenshot "$E2E_WORK/hover.png" bookmark-row-buttons.png >/dev/null
copied=$(timeout 5 xclip -o -selection clipboard 2>/dev/null)
[ "$copied" = "$target" ] || e2e_fail "clipboard holds '$copied', expected '$target'"

e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE"
e2e_pass
