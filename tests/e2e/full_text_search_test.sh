#!/usr/bin/env bash
# Navigate > "Find Text...", then a query typed like a user would: the first hit is selected
# (the viewer writes "trigger" on its standard output), its list row is drawn in the header
# colour and the preview beside it shows the hit's element with its short name. Keeps the shot.
source "$(dirname "$0")/lib.sh"

pick_file() {
    local dir=${TESSARO_SHARED_ARXML_DIR:-}
    if [ -n "$dir" ] && [ -f "$dir/cantools__cantools__system-4.2.arxml" ]; then
        echo "$dir/cantools__cantools__system-4.2.arxml"
    else
        echo "${TESSARO_EXAMPLE_ARXML:-}"
    fi
}

HOVER_COLOUR=383E47 # a hovered row, grey unlike the blue of a selected one
file=$(pick_file)
[ -f "$file" ] || e2e_skip "no document to search: $file"
# A short name of the file itself, at least five letters long, so that the query surely occurs.
query=$(grep -o '<SHORT-NAME>[A-Za-z]\{5,\}<' "$file" | head -1 | sed 's/<SHORT-NAME>//; s/<$//')
[ -n "$query" ] || e2e_fail "no short name to search for in $file"

e2e_start_xvfb
e2e_start_tessaro "$(realpath "$file")"
e2e_wait_window 20 || e2e_fail "no window"

# Where the search window first appears: beside the middle of the main window, 42 x 35 font sizes
# of 16 pixels.
search_area="$(e2e_search_window_area)"

# The document is drawn once the first tree rows show under the menu bar.
e2e_wait_for 60 e2e_tree_drawn || {
    e2e_keep_screenshot "$E2E_WORK/last.png" full-text-search-start.png >/dev/null
    e2e_fail "the document tree did not appear (see full-text-search-start.png)"
}

search_window_open() {
    e2e_screenshot "$E2E_WORK/last.png" || return 1
    # The empty search window covers the tree there: no short names left in that area.
    [ "$(e2e_count_colour "$E2E_WORK/last.png" 68C1EE "$search_area")" -lt 5 ]
}

# Navigate is the second menu of the bar; "Find Text..." is its first item.
e2e_opens_window e2e_click 110 16 || e2e_fail "the Navigate menu did not open"
e2e_click 130 50
e2e_wait_for 10 search_window_open || {
    e2e_keep_screenshot "$E2E_WORK/last.png" full-text-search-menu.png >/dev/null
    e2e_fail "the Full-Text Search window did not open (see full-text-search-menu.png)"
}
xdotool mousemove --window "$(e2e_window_id)" 1000 900

e2e_type "$query"
e2e_wait_for 20 grep -qx trigger "$E2E_WORK/tessaro.out" || e2e_fail "no 'trigger' on standard output for '$query'"

first_hit_shown() {
    e2e_screenshot "$E2E_WORK/last.png" || return 1
    [ "$(e2e_count_colour "$E2E_WORK/last.png" 1A509C "$search_area")" -ge 200 ] &&
        { [ "$(e2e_count_colour "$E2E_WORK/last.png" 68C1EE "$search_area")" -ge 20 ] ||
            [ "$(e2e_count_colour "$E2E_WORK/last.png" FBD065 "$search_area")" -ge 20 ]; }
}
e2e_wait_for 20 first_hit_shown || {
    e2e_keep_screenshot "$E2E_WORK/last.png" full-text-search.png >/dev/null
    e2e_fail "selected row (#1A509C) or preview short name or text (#68C1EE, #FBD065) missing (see full-text-search.png)"
}
e2e_log "searched '$query': $(e2e_keep_screenshot "$E2E_WORK/last.png" full-text-search.png)"

# A click on a tree row (drawn as hovered from then on) must leave the search window in front.
e2e_click 60 100
tree_clicked_under_search() {
    e2e_screenshot "$E2E_WORK/last.png" || return 1
    [ "$(e2e_count_colour "$E2E_WORK/last.png" "$HOVER_COLOUR" "$(e2e_tree_region)")" -ge 200 ] &&
        [ "$(e2e_count_colour "$E2E_WORK/last.png" 1A509C "$search_area")" -ge 200 ]
}
e2e_wait_for 10 tree_clicked_under_search || {
    e2e_keep_screenshot "$E2E_WORK/last.png" full-text-search-behind.png >/dev/null
    e2e_fail "after a click on the tree the search window is not in front of it (see full-text-search-behind.png)"
}

e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE after SIGTERM"
e2e_pass
