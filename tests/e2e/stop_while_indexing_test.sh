#!/usr/bin/env bash
# Closing the viewer while a large document is still being indexed ends it cleanly: exit code 0 and
# the settings written.
source "$(dirname "$0")/lib.sh"

big="$E2E_WORK/big.arxml"
e2e_make_big_document "$big"

e2e_start_xvfb
e2e_start_tessaro "$big"
e2e_wait_window 20 || e2e_fail "no window"
# The tree is drawn and the status line still shows its label: the document is loaded and its
# index is being built.
indexing() { e2e_tree_drawn && e2e_status_label_shown; }
e2e_wait_for 60 indexing || e2e_fail "the indexing label was not seen"
e2e_keep_screenshot "$E2E_WORK/last.png" indexing.png >/dev/null

e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE after SIGTERM while indexing"
[ -f "$E2E_HOME/.Tessaro/conf.json" ] || e2e_fail "no conf.json written"
e2e_pass
