#!/usr/bin/env bash
# Secondary windows are windows of the desktop, under a window manager: an element window opened
# from Find Ref is another top-level window of the process, titled with the element's path and
# owned by the main window, so that it stays above it when the main window is clicked. Closed by
# the window manager, it is gone for good (the interface let it go, rather than drawing it again).
# Open windows cost nothing while idle. Moved, then opened again after a restart, it comes back
# where it was left.
source "$(dirname "$0")/lib.sh"

file=${TESSARO_EXAMPLE_ARXML:-}
[ -f "$file" ] || e2e_skip "no example document: $file"
element=/Body/Signals/VehicleSpeed

e2e_start_xvfb
e2e_start_window_manager

start_viewer() {
    e2e_start_tessaro "$(realpath "$file")"
    e2e_wait_window 20 || e2e_fail "no window"
    e2e_wait_for 60 e2e_tree_drawn || e2e_fail "the document tree did not appear"
    main=$(e2e_window_id)
}

open_element_window() {
    e2e_open_element_window "$element"
    elem=$E2E_ELEMENT_WINDOW
}

# 1. Its own top-level window, owned by the main one.
start_viewer
open_element_window
[ "$elem" != "$main" ] || e2e_fail "the element window is the main window"
xprop -id "$elem" WM_TRANSIENT_FOR | grep -qi "$(printf '0x%x' "$main")" ||
    e2e_fail "the element window is not owned by the main window: $(xprop -id "$elem" WM_TRANSIENT_FOR)"

# 2. A click on the main window leaves it above: later in the desktop's stacking order.
above_main() {
    local order
    order=$(xprop -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*' | xargs -n1 printf '%d\n')
    [ "$(echo "$order" | grep -nx "$elem" | cut -d: -f1)" -gt "$(echo "$order" | grep -nx "$main" | cut -d: -f1)" ]
}
e2e_click 60 100
e2e_wait_for 10 eval '[ "$(xdotool getwindowfocus)" = "$main" ]' || e2e_fail "the click did not focus the main window"
above_main || e2e_fail "the element window went below the main window"

# 3. Idle with the dialog and the element window open: no frames while nothing changes.
idle=$(e2e_idle_cpu)
e2e_log "idle CPU with two secondary windows open: $idle % of one core"
awk -v p="$idle" 'BEGIN { exit !(p <= 3) }' || e2e_fail "idle viewer with secondary windows used $idle % of a core"

# 4. Moved, then closed by the window manager: gone, and still gone after the viewer drew a new
# window (Find Ref) in a later frame.
xdotool windowmove --sync "$elem" 40 50
moved=$(e2e_place_of "$elem")
wmctrl -i -c "$elem"
e2e_wait_for 10 eval '! e2e_has_window "$element"' || e2e_fail "the window manager could not close the element window"
e2e_press ctrl+g
e2e_wait_for 10 e2e_has_window "Find Ref" || e2e_fail "Ctrl+G opened no Find Ref window"
! e2e_has_window "$element" || e2e_fail "the closed element window came back"

# 5. Closing the main window ends the viewer; the element window opens again where it was left.
wmctrl -i -c "$main"
e2e_wait_for 20 eval '! e2e_tessaro_running' || e2e_fail "closing the main window did not end the viewer"
start_viewer
open_element_window
[ "$(e2e_place_of "$elem")" = "$moved" ] || e2e_fail "reopened at $(e2e_place_of "$elem"), left at $moved"
e2e_log "left at $moved, and opened there again"

e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE"
e2e_pass
