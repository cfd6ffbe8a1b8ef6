#!/usr/bin/env bash
# A large document shows the loading screen first and then the document tree.
# The document is generated big enough (about 300 MB) that loading it outlasts several screenshots.
source "$(dirname "$0")/lib.sh"

big="$E2E_WORK/big.arxml"
e2e_make_big_document "$big" 2000000

e2e_start_xvfb
e2e_start_tessaro "$big"
e2e_wait_window 20 || e2e_fail "no window"

# Regions of the window: right of and below the document area's centre (spinner and
# "Loading..."), and the top-left of the document area (first tree rows).
IFS='x+' read -r W H X Y <<<"$(e2e_window_geometry)"
loading_region="220x140+$((X + W / 2))+$((Y + H / 2 - 10))"
tree_region=$(e2e_tree_region)

loading_shown() { e2e_has_colour FFFFFF 30 "$loading_region"; }
tree_shown() {
    e2e_screenshot "$E2E_WORK/last.png" || return 1
    [ "$(e2e_count_colour "$E2E_WORK/last.png" FFFFFF "$tree_region")" -ge 20 ] &&
        [ "$(e2e_count_colour "$E2E_WORK/last.png" FFFFFF "$loading_region")" -lt 30 ]
}

e2e_wait_for 10 loading_shown || e2e_fail "the loading screen was not seen"
e2e_log "loading screen: $(e2e_keep_screenshot "$E2E_WORK/last.png" loading-screen.png)"
e2e_wait_for 120 tree_shown || e2e_fail "the document tree did not follow the loading screen"
e2e_log "tree after loading: $(e2e_keep_screenshot "$E2E_WORK/last.png" big-document.png)"

# Stopping while the index is still being built is a test of its own; here wait for the status
# line's "Indexing" label (bottom right) to go.
indexing_done() { e2e_screenshot "$E2E_WORK/last.png" && ! e2e_status_label_shown; }
e2e_wait_for 120 indexing_done || e2e_fail "indexing did not finish"

e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE after SIGTERM"
e2e_pass
