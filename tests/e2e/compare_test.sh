#!/usr/bin/env bash
# tessaro OLD --compare NEW with NEW an edited copy: the Changes window opens, Escape closes it,
# F8 opens the tree down to the changed value, whose row is drawn in the colour of a change, and
# F8 again to the row of the element the copy adds, drawn in the colour of an addition.
source "$(dirname "$0")/lib.sh"

[ -f "$TESSARO_EXAMPLE_ARXML" ] || e2e_fail "no example document: $TESSARO_EXAMPLE_ARXML"
edited="$E2E_WORK/edited.arxml"
sed -e '0,/<LENGTH>8<\/LENGTH>/s//<LENGTH>16<\/LENGTH>/' \
    -e '0,/<I-SIGNAL UUID=/s//<I-SIGNAL><SHORT-NAME>AddedSpeed<\/SHORT-NAME><\/I-SIGNAL>&/' \
    "$TESSARO_EXAMPLE_ARXML" >"$edited"
cmp -s "$TESSARO_EXAMPLE_ARXML" "$edited" && e2e_fail "the copy was not edited"

e2e_start_xvfb
e2e_start_tessaro "$TESSARO_EXAMPLE_ARXML" --compare "$edited"
e2e_wait_window 20 || e2e_fail "no window"
e2e_wait_for 60 e2e_tree_drawn || e2e_fail "the document tree did not appear"
e2e_wait_for 30 e2e_has_window "Changes" || e2e_fail "no Changes window"
# Escape closes it, so that it hides none of the tree.
changes=$(e2e_window_titled "Changes")
xdotool windowfocus "$changes"
e2e_wait_for 5 e2e_has_keyboard "$changes" || e2e_fail "the Changes window did not take the keyboard"
e2e_press Escape
e2e_wait_for 10 eval '! e2e_has_window Changes' || e2e_fail "Escape left the Changes window open"

changed=FBB360
e2e_screenshot "$E2E_WORK/before.png"
before=$(e2e_count_colour "$E2E_WORK/before.png" "$changed")
e2e_press F8
e2e_wait_for 10 e2e_colour_count_differs "$changed" "$before" || e2e_fail "F8 revealed no changed row"
e2e_log "revealed change: $(e2e_keep_screenshot "$E2E_WORK/last.png" compare-f8.png)"
added=72CA9B
# The tree shows the open version: nothing is in the colour of an addition until its row is there.
e2e_wait_for 10 eval '! e2e_has_colour "$added"' || e2e_fail "an addition's colour before its row was reached"
e2e_press F8
e2e_wait_for 10 e2e_has_colour "$added" || e2e_fail "F8 revealed no added row"
e2e_log "revealed addition: $(e2e_keep_screenshot "$E2E_WORK/last.png" compare-f8-added.png)"
e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE after SIGTERM"
e2e_pass
