#!/usr/bin/env bash
# The filter above the tree, go to definition and Back, and Ctrl+F typing into Find Text, on the
# bundled example: typing a name into the filter leaves only its rows; Find Ref (Ctrl+G) with Enter
# reveals a signal, a Ctrl+click on its reference goes to the target and Alt+Left comes back.
source "$(dirname "$0")/lib.sh"

file=${TESSARO_EXAMPLE_ARXML:-}
[ -f "$file" ] || e2e_skip "no example document: $file"

e2e_start_xvfb
e2e_start_tessaro "$(realpath "$file")"
e2e_wait_window 20 || e2e_fail "no window"
e2e_wait_for 60 e2e_tree_drawn || e2e_fail "the document tree did not appear"

IFS='x+' read -r win_w win_h win_x win_y <<<"$(e2e_window_geometry)"
tree_area="$((win_w - 40))x$((win_h - 160))+$((win_x + 20))+$((win_y + 80))"
park_mouse() { xdotool mousemove --window "$(e2e_window_id)" "$((win_w - 5))" "$((win_h - 5))"; }

# Pixel rows (screen y, top and bottom) holding colour RRGGBB in the last shot, as "TOP BOTTOM".
colour_rows() {
    convert "$E2E_WORK/last.png" -crop "$tree_area" +repage -fill black +opaque "#$1" -trim \
        -format '%Y %h' info: 2>/dev/null | awk '{ print $1 + 0, $1 + $2 }'
}

# 1. Filter: short names are in the tree's colour; typing one redraws the tree with only its
# matches and their ancestors, opened (so the count of short-name pixels changes, not always down).
park_mouse
e2e_screenshot "$E2E_WORK/last.png"
names_before=$(e2e_count_colour "$E2E_WORK/last.png" 68C1EE "$tree_area")
e2e_click 120 62
e2e_type "TrunkOpen"
park_mouse
filtered() {
    e2e_screenshot "$E2E_WORK/last.png" || return 1
    local now
    now=$(e2e_count_colour "$E2E_WORK/last.png" 68C1EE "$tree_area")
    [ "$now" -gt 20 ] && [ "$now" != "$names_before" ]
}
e2e_wait_for 20 filtered || {
    e2e_keep_screenshot "$E2E_WORK/last.png" daily-filter.png >/dev/null
    e2e_fail "the filter did not change the tree (before: $names_before short-name pixels; see daily-filter.png)"
}
e2e_log "filtered: $(e2e_keep_screenshot "$E2E_WORK/last.png" daily-filter.png)"
e2e_click 120 62
e2e_press ctrl+a BackSpace

# 2. Find Ref with Enter reveals the signal, Escape closes the dialog. Enter does nothing until the
# answer is there (the index may still be building), so it is pressed until the row lights up.
e2e_opens_window e2e_press ctrl+g || e2e_fail "Ctrl+G opened no dialog"
e2e_type "/Body/Signals/VehicleSpeed"
revealed() {
    e2e_press Return
    park_mouse
    e2e_has_colour 165A36 200 "$tree_area"
}
e2e_wait_for 10 revealed || e2e_fail "Find Ref + Enter did not reveal the signal"
e2e_press Escape
highlight_gone() { ! e2e_has_colour 165A36 200 "$tree_area"; }
e2e_wait_for 10 highlight_gone || e2e_fail "the highlight did not fade"
# Its reference row, right below the signal's row, is the only reference text shown.
park_mouse
e2e_screenshot "$E2E_WORK/last.png"
read -r ref_top ref_bottom <<<"$(colour_rows 62D96B)"
[ -n "$ref_top" ] || e2e_fail "no reference text under the revealed signal"

# 3. Ctrl+click on the reference goes to its target.
IFS='x+' read -r _ _ area_x area_y <<<"$tree_area"
ref_x=$(convert "$E2E_WORK/last.png" -crop "$tree_area" +repage -fill black +opaque "#62D96B" -trim -format '%X' info: | tr -d +)
# Like a hand: the pointer rests on the text, Ctrl goes down, then the click (each in frames of its own).
# Ctrl is pressed in the X server, as the click is (see e2e_press).
xdotool mousemove "$((area_x + ref_x + 8))" "$((area_y + (ref_top + ref_bottom) / 2))"
sleep 0.3
xdotool keydown ctrl
sleep 0.2
xdotool click 1
sleep 0.2
xdotool keyup ctrl
park_mouse
e2e_wait_for 10 e2e_has_colour 165A36 200 "$tree_area" || {
    e2e_keep_screenshot "$E2E_WORK/last.png" daily-goto.png >/dev/null
    e2e_fail "Ctrl+click on the reference revealed nothing (see daily-goto.png)"
}
e2e_log "went to the definition: $(e2e_keep_screenshot "$E2E_WORK/last.png" daily-goto.png)"
e2e_wait_for 10 highlight_gone || e2e_fail "the highlight did not fade"

# 4. Alt+Left reveals the signal again: its reference row is back in view.
e2e_press alt+Left
back_at_signal() {
    e2e_screenshot "$E2E_WORK/last.png" || return 1
    [ "$(e2e_count_colour "$E2E_WORK/last.png" 62D96B "$tree_area")" -ge 20 ]
}
e2e_wait_for 10 back_at_signal || {
    e2e_keep_screenshot "$E2E_WORK/last.png" daily-back.png >/dev/null
    e2e_fail "Alt+Left did not return to the signal (see daily-back.png)"
}

# 5. Ctrl+F opens Find Text with its field focused: typing searches at once.
e2e_opens_window e2e_press ctrl+f || e2e_fail "Ctrl+F opened no window"
e2e_type "TrunkOpen"
e2e_wait_for 20 grep -qx trigger "$E2E_WORK/tessaro.out" || e2e_fail "Ctrl+F then typing found nothing"

e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE after SIGTERM"
e2e_pass
