#!/usr/bin/env bash
# Without a display the viewer ends with exit code 1, says why on one line, and writes no settings.
source "$(dirname "$0")/lib.sh"

e2e_temp_home
env -u DISPLAY -u WAYLAND_DISPLAY HOME="$E2E_HOME" "$TESSARO_BIN" "$TESSARO_EXAMPLE_ARXML" \
    >"$E2E_WORK/tessaro.out" 2>"$E2E_WORK/tessaro.err"
code=$?
[ "$code" = 1 ] || e2e_fail "exit code $code, expected 1"
[ ! -e "$E2E_HOME/.Tessaro/conf.json" ] || e2e_fail "conf.json was written"
grep -q '^tessaro: .*display' "$E2E_WORK/tessaro.err" || e2e_fail "no reason on standard error"
e2e_pass
