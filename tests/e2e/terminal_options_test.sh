#!/usr/bin/env bash
# --help and --version answer on the terminal without a display and without touching the settings;
# a file that merely looks like an option is still a path, so the viewer goes for its window.
source "$(dirname "$0")/lib.sh"

e2e_temp_home
run() {
    (cd "$E2E_WORK" && env -u DISPLAY -u WAYLAND_DISPLAY HOME="$E2E_HOME" "$TESSARO_BIN" "$@" \
        >"$E2E_WORK/tessaro.out" 2>"$E2E_WORK/tessaro.err")
}

for option in --help -h; do
    run "$option" || e2e_fail "$option: exit code $?"
    head -1 "$E2E_WORK/tessaro.out" | grep -q '^Usage: tessaro \[FILE\]' || e2e_fail "$option printed no usage"
    [ ! -s "$E2E_WORK/tessaro.err" ] || e2e_fail "$option wrote to standard error"
done
run --version || e2e_fail "--version: exit code $?"
[ "$(cat "$E2E_WORK/tessaro.out")" = "Tessaro $TESSARO_VERSION" ] || e2e_fail "--version printed '$(cat "$E2E_WORK/tessaro.out")'"
[ ! -e "$E2E_HOME/.Tessaro" ] || e2e_fail "answering an option created the settings folder"

# Paths: without a display the viewer gives up on its window, which proves it took them as files.
touch "$E2E_WORK/--help"
for path in ./--help "--help extra"; do
    run $path
    code=$?
    [ "$code" = 1 ] || e2e_fail "'$path': exit code $code, expected the window's failure 1"
    grep -q '^tessaro: .*display' "$E2E_WORK/tessaro.err" || e2e_fail "'$path' was not opened as a file"
done
e2e_pass
