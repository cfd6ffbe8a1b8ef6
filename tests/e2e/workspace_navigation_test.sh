#!/usr/bin/env bash
# A folder opens as one workspace: one tree row per file. Open Ref on a reference in the first file
# opens its target, which lives in the second file, in an element window; that window's highlight
# button then opens the second file's row in the main tree down to the target and highlights it.
# Keeps the screenshots.
source "$(dirname "$0")/lib.sh"

command -v convert >/dev/null || e2e_skip "ImageMagick is not installed"

e2e_start_xvfb
e2e_temp_home
mkdir -p "$E2E_HOME/.Tessaro"
# The target is bookmarked, so that its row's bookmark button is drawn yellow and can be found.
cat >"$E2E_HOME/.Tessaro/conf.json" <<JSON
{"bookmarks": ["/Types/UInt8"], "recent_open_files": [], "version": 1}
JSON
folder="$E2E_WORK/model"
mkdir -p "$folder/types"
cat >"$folder/a-system.arxml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<AUTOSAR>
  <TYPE-TREF DEST="SW-BASE-TYPE">/Types/UInt8</TYPE-TREF>
</AUTOSAR>
XML
{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>Types</SHORT-NAME><ELEMENTS>'
    for i in $(seq 1 30); do echo "<SW-BASE-TYPE><SHORT-NAME>Filler$i</SHORT-NAME></SW-BASE-TYPE>"; done
    echo '<SW-BASE-TYPE><SHORT-NAME>UInt8</SHORT-NAME></SW-BASE-TYPE>'
    echo '</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>'
} >"$folder/types/b-types.arxml"

# Bounding box (WxH+X+Y, screen coordinates) of the pixels of colour RRGGBB in a screenshot.
bbox() {
    convert "$1" -alpha off -fill black +opaque "#$2" -format "%@" info:
}
hover() {
    xdotool mousemove --window "$(e2e_window_id)" "$1" "$2"
    sleep 0.3
}

e2e_start_tessaro "$folder"
e2e_wait_window 20 || e2e_fail "no window"
# Closed file rows show their size and element count in the muted colour.
e2e_wait_for 30 e2e_has_colour ABB3BF 10 || { e2e_keep_screenshot "$E2E_WORK/last.png" workspace-no-rows.png >/dev/null; e2e_fail "the file rows did not appear"; }
IFS='x+' read -r _ _ winX winY <<<"$(e2e_window_geometry)"
shot=$(e2e_keep_screenshot "$E2E_WORK/last.png" workspace-files.png)
e2e_log "file rows: $shot"
IFS='x+' read -r w h x y <<<"$(bbox "$shot" ABB3BF)"
# The first file's row: its arrow sits at the left edge of the tree.
e2e_click 31 $((y + 5 - winY))

# Its tree opens two levels at once: the reference, in the link colour, and its Open Ref button.
e2e_wait_for 10 e2e_has_colour 62D96B 20 || e2e_fail "the reference in the first file is not shown"
shot=$(e2e_keep_screenshot "$E2E_WORK/last.png" workspace-reference.png)
IFS='x+' read -r w h x y <<<"$(bbox "$shot" 62D96B)"
e2e_click $((x + w - winX + 45)) $((y + h / 2 - winY))

# The element window shows the target's short name; hovering its row shows the buttons.
e2e_wait_for 10 e2e_has_colour 68C1EE 20 || e2e_fail "Open Ref did not open the target from the other file"
shot=$(e2e_keep_screenshot "$E2E_WORK/last.png" workspace-element-window.png)
IFS='x+' read -r w h x y <<<"$(bbox "$shot" 68C1EE)"
rowY=$((y + h / 2 - winY))
hover $((x + w - winX + 10)) "$rowY"
e2e_screenshot "$E2E_WORK/hover.png"
IFS='x+' read -r bw bh bx by <<<"$(bbox "$E2E_WORK/hover.png" E5DE00)"
[ -n "$bx" ] && [ "$bw" -lt 100 ] || e2e_fail "no bookmarked button on the target's row"
# Open, copy, then highlight: three buttons after the bookmark.
highlightX=$((bx + bw / 2 + 96 - winX))
hover "$highlightX" "$rowY"
e2e_keep_screenshot "$E2E_WORK/hover.png" workspace-element-buttons.png >/dev/null
e2e_click "$highlightX" "$rowY"

# The main tree opens the second file's row down to the target and highlights it for 2 s.
e2e_wait_for 1.5 e2e_has_colour 165A36 200 || e2e_fail "the target is not highlighted in the main tree"
shot=$(e2e_keep_screenshot "$E2E_WORK/last.png" workspace-highlight.png)
e2e_log "highlighted target: $shot"

e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE"
e2e_pass
