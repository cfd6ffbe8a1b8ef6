#!/usr/bin/env bash
# A missing file ends in the error screen: its message in the error colour #EB6847. SIGINT ends the
# viewer like closing the window, and the failed path still leads the recent files.
source "$(dirname "$0")/lib.sh"

missing="$E2E_WORK/no such folder/100%d missing.arxml"
e2e_start_xvfb
e2e_start_tessaro "$missing"
e2e_wait_window 20 || e2e_fail "no window"
e2e_wait_for 30 e2e_has_colour EB6847 100 || e2e_fail "no text in the error colour"
e2e_log "error screen: $(e2e_keep_screenshot "$E2E_WORK/last.png" error-screen.png)"

e2e_stop_tessaro INT
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE after SIGINT"
grep -qF '100%d missing.arxml' "$E2E_HOME/.Tessaro/conf.json" || e2e_fail "conf.json lacks the opened path"
e2e_pass
