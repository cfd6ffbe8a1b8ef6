#!/usr/bin/env bash
# With its standard output and error leading into a pipe that nobody reads any more, the viewer
# keeps running (its first-run message on standard error must not end it); when its terminal goes
# away (SIGHUP) it ends like SIGTERM: exit code 0, settings written.
source "$(dirname "$0")/lib.sh"

file=${TESSARO_EXAMPLE_ARXML:-}
[ -f "$file" ] || e2e_fail "no example document: $file"

e2e_start_xvfb
e2e_temp_home
bin=$(e2e_private_bin)
exec 7> >(exec true) # the reader ends at once
reader_gone() { ! (trap '' PIPE; printf x >&7) 2>/dev/null; } # a write then fails with EPIPE
e2e_wait_for 5 reader_gone || e2e_fail "the pipe's reader did not end"
HOME="$E2E_HOME" "$bin" "$file" >&7 2>&7 &
E2E_TESSARO_PID=$!
E2E_STARTED_PIDS+=("$E2E_TESSARO_PID")
exec 7>&-

e2e_wait_window 20 || e2e_fail "no window (the viewer ended: a write to the closed pipe killed it?)"
e2e_wait_for 30 e2e_has_colour 68C1EE 20 || e2e_fail "the document tree did not appear"
e2e_tessaro_running || e2e_fail "the viewer ended"

e2e_stop_tessaro HUP
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE after SIGHUP"
grep -qF "\"$file\"" "$E2E_HOME/.Tessaro/conf.json" || e2e_fail "settings not written: $(cat "$E2E_HOME/.Tessaro/conf.json" 2>&1)"
e2e_pass
