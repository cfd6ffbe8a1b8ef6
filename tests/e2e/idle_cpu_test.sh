#!/usr/bin/env bash
# An idle viewer (document loaded, no input, nothing animating) sleeps in the event wait instead of
# redrawing: at most 3 % of one core over ten seconds. Prints the measured share.
source "$(dirname "$0")/lib.sh"

e2e_start_xvfb
e2e_start_tessaro "$TESSARO_EXAMPLE_ARXML"
e2e_wait_window 20 || e2e_fail "no window"
settled() { e2e_tree_drawn && ! e2e_status_label_shown; }
e2e_wait_for 60 settled || e2e_fail "the document was not shown as indexed"

ticks_per_second=$(getconf CLK_TCK)
before=$(e2e_cpu_ticks "$E2E_TESSARO_PID")
start=$(date +%s%N)
sleep 10 # the span measured, not a wait for something to happen
after=$(e2e_cpu_ticks "$E2E_TESSARO_PID")
end=$(date +%s%N)
percent=$(awk -v t="$((after - before))" -v hz="$ticks_per_second" -v ns="$((end - start))" \
    'BEGIN { printf "%.1f", 100 * (t / hz) / (ns / 1e9) }')
e2e_log "idle CPU: $percent % of one core"

e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE"
# Redrawing 60 frames a second with software rendering (llvmpipe) costs about half a core here.
awk -v p="$percent" 'BEGIN { exit !(p <= 3) }' || e2e_fail "idle viewer used $percent % of a core"
e2e_pass
