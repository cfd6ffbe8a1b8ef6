#!/usr/bin/env bash
# A second copy of the viewer running beside the first colours its menu bar green (#165A36); the
# first copy's is grey (#404854), also while a viewer under another name runs on the machine.
source "$(dirname "$0")/lib.sh"

e2e_start_xvfb

# Someone else's viewer already runs on this machine (here: hidden on the same display). Tests run
# a copy of their own, which counts only its own kind.
foreign_home=$(mktemp -d "$E2E_WORK/foreign.XXXXXX")
HOME="$foreign_home" "$TESSARO_BIN" >/dev/null 2>&1 &
E2E_STARTED_PIDS+=("$!")
e2e_wait_window 20 || e2e_fail "the other viewer has no window"
xdotool windowunmap --sync "$(e2e_window_id)" || e2e_fail "cannot hide the other viewer"

e2e_start_tessaro
first=$E2E_TESSARO_PID
e2e_wait_window 20 || e2e_fail "no window"
IFS='x+' read -r W H X Y <<<"$(e2e_window_geometry)"
menu_bar="$((W - 20))x20+$((X + 10))+$((Y + 4))"
e2e_wait_for 10 e2e_has_colour 404854 2000 "$menu_bar" || e2e_fail "the first copy's menu bar is not grey"

# The second copy opens at the same place, on top of the first.
E2E_HOME=""
e2e_start_tessaro
second=$E2E_TESSARO_PID
e2e_wait_for 20 e2e_has_colour 165A36 2000 "$menu_bar" || e2e_fail "the second copy's menu bar is not green"
e2e_keep_screenshot "$E2E_WORK/last.png" second-instance.png >/dev/null

for pid in "$second" "$first"; do
    E2E_TESSARO_PID=$pid
    e2e_stop_tessaro TERM
    [ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "copy $pid ended with exit code $E2E_EXIT_CODE"
done
e2e_pass
