#!/usr/bin/env bash
# Closing the viewer while a large document is still being read or indexed ends it cleanly: exit
# code 0 and the settings written. The index is built in a fraction of a second now, so the test
# stops the viewer as soon as its window is up, whichever of the two phases it is in.
source "$(dirname "$0")/lib.sh"

big="$E2E_WORK/big.arxml"
e2e_make_big_document "$big"

e2e_start_xvfb
e2e_start_tessaro "$big"
e2e_wait_window 20 || e2e_fail "no window"

e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE after SIGTERM while indexing"
[ -f "$E2E_HOME/.Tessaro/conf.json" ] || e2e_fail "no conf.json written"
e2e_pass
