#!/usr/bin/env bash
# Opens a real ARXML file (one of the shared files when present, else the bundled example) and its
# ZIP form: the document tree appears, SIGTERM ends the viewer with exit code 0, and conf.json
# lists the opened path first among the recent files. Keeps a screenshot of the loaded window.
source "$(dirname "$0")/lib.sh"

pick_file() {
    local dir=${TESSARO_SHARED_ARXML_DIR:-}
    if [ -n "$dir" ] && [ -d "$dir" ]; then
        # A middle-sized one: big enough to be real, small enough to load quickly.
        find "$dir" -maxdepth 1 -name '*.arxml' -size +20k -size -1000k | sort | head -1
    fi
}

file=$(pick_file)
[ -n "$file" ] || file=$TESSARO_EXAMPLE_ARXML
[ -f "$file" ] || e2e_fail "no document to open: $file"

e2e_start_xvfb

open_and_check() {
    local path=$1 shot=$2
    e2e_temp_home
    e2e_start_tessaro "$path"
    e2e_wait_window 20 || e2e_fail "no window for $path"
    e2e_wait_for 60 e2e_tree_drawn || e2e_fail "the document tree of $path did not appear"
    [ "$(e2e_count_colour "$E2E_WORK/last.png" EB6847)" -lt 20 ] || e2e_fail "error text shown for $path"
    e2e_log "loaded window: $(e2e_keep_screenshot "$E2E_WORK/last.png" "$shot")"

    e2e_stop_tessaro TERM
    [ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE after SIGTERM"
    local conf="$E2E_HOME/.Tessaro/conf.json"
    [ -f "$conf" ] || e2e_fail "no conf.json written"
    local first
    first=$(node -e 'const c = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
        process.stdout.write(String(c.recent_open_files[0]))' "$conf") || e2e_fail "conf.json unreadable"
    [ "$first" = "$path" ] || e2e_fail "first recent file is '$first', expected '$path'"
    [ -f "$E2E_HOME/.Tessaro/imgui.ini" ] || e2e_fail "no imgui.ini beside conf.json"
}

open_and_check "$(realpath "$file")" loaded-window.png
open_and_check "$(realpath "$TESSARO_EXAMPLE_ZIP")" loaded-zip-window.png
e2e_pass
