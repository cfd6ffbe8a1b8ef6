#!/usr/bin/env bash
# Drawing on demand must not freeze what moves: while a search runs, its spinner and progress bar
# change between two screenshots. A query that matches nothing walks the whole big document.
source "$(dirname "$0")/lib.sh"

e2e_start_xvfb
big="$E2E_WORK/big.arxml"
e2e_make_big_document "$big"
e2e_start_tessaro "$big"
e2e_wait_window 20 || e2e_fail "no window"
e2e_wait_for 120 e2e_tree_drawn || e2e_fail "the document tree did not appear"

search_area="$(e2e_search_window_area)"

# Navigate is the second menu of the bar; "Find Text..." is its first item.
e2e_opens_window e2e_click 110 16 || e2e_fail "the Navigate menu did not open"
e2e_opens_window e2e_click 130 50 || e2e_fail "Find Text did not open its window"
xdotool mousemove --window "$(e2e_window_id)" 1000 900

# Each attempt types one more letter: a new query, a new walk of the whole document.
changed=0
for letter in q x z w v; do
    e2e_type "$letter"
    sleep 0.1
    import -window root -crop "$search_area" +repage "$E2E_WORK/a.png" 2>/dev/null
    sleep 0.15
    import -window root -crop "$search_area" +repage "$E2E_WORK/b.png" 2>/dev/null
    difference=$(compare -metric AE "$E2E_WORK/a.png" "$E2E_WORK/b.png" null: 2>&1 | cut -d' ' -f1)
    e2e_log "query +$letter: $difference pixels differ"
    if [ "${difference%.*}" -gt 0 ] 2>/dev/null; then
        changed=1
        break
    fi
done
[ "$changed" = 1 ] || {
    e2e_keep_screenshot "$E2E_WORK/b.png" search-animates.png >/dev/null
    e2e_fail "nothing moved while searching (see search-animates.png)"
}

e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE after SIGTERM"
e2e_pass
