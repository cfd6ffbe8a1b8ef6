#!/usr/bin/env bash
# An idle viewer (document loaded, no input, nothing animating) sleeps in the event wait instead of
# redrawing: at most 3 % of one core over eight seconds, and so with the keyboard focus in the
# filter field, whose cursor does not blink. Prints the measured shares.
source "$(dirname "$0")/lib.sh"

e2e_start_xvfb
e2e_start_tessaro "$TESSARO_EXAMPLE_ARXML"
e2e_wait_window 20 || e2e_fail "no window"
e2e_wait_for 30 e2e_tree_drawn || e2e_fail "no tree"

# Redrawing 60 frames a second with software rendering (llvmpipe) costs about half a core here.
idle=$(e2e_idle_cpu)
e2e_log "idle CPU: $idle % of one core"

# The filter field left of the "/" toggle, focused: its cursor is the only white in it.
e2e_click 100 62
filter_focused() {
    local w h x y
    IFS='x+' read -r w h x y <<<"$(e2e_window_geometry)"
    e2e_has_colour FFFFFF 8 "260x24+$((x + 20))+$((y + 50))"
}
e2e_wait_for 10 filter_focused || e2e_fail "the filter field did not take the keyboard focus"
focused=$(e2e_idle_cpu)
e2e_log "idle CPU with the filter field focused: $focused % of one core"

e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE"
awk -v p="$idle" 'BEGIN { exit !(p <= 3) }' || e2e_fail "idle viewer used $idle % of a core"
awk -v p="$focused" 'BEGIN { exit !(p <= 3) }' || e2e_fail "idle viewer with a focused field used $focused % of a core"
e2e_pass
