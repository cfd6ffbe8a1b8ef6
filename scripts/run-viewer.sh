#!/usr/bin/env bash
# Starts the viewer on the example document. With a usable display the window opens there; without
# one the viewer runs under Xvfb until the example is indexed, a screenshot is saved in the build
# tree (its path is printed), and the viewer is ended cleanly.
# Usage: scripts/run-viewer.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
viewer="$build/app/tessaro"
example="$PWD/examples/body-network.arxml"
[ -x "$viewer" ] || { echo "run-viewer: $viewer is missing; build first (make build)" >&2; exit 1; }

display_usable() {
    local socket=${WAYLAND_DISPLAY:-}
    [ -n "$socket" ] && [ "${socket#/}" = "$socket" ] && socket="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/$socket"
    [ -n "$socket" ] && [ -S "$socket" ] && return 0
    [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

if display_usable; then
    exec "$viewer" "$example"
fi

# No display: the end-to-end helpers do the Xvfb work.
export TESSARO_BIN="$viewer" E2E_OUT="$build/screenshots"
source tests/e2e/lib.sh
E2E_NAME=run-viewer
e2e_start_xvfb
# A throw-away profile, so that this run leaves the user's recent files alone.
e2e_start_tessaro "$example"
e2e_wait_window 20 || e2e_fail "the viewer opened no window"
# Indexed: the tree is drawn and the status line's "Loading"/"Indexing" label is gone.
indexed() { e2e_tree_drawn && ! e2e_status_label_shown; }
e2e_wait_for 60 indexed || e2e_fail "the example was not indexed within 60 s"
shot=$(e2e_keep_screenshot "$E2E_WORK/last.png" viewer.png)
e2e_stop_tessaro TERM
[ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "the viewer ended with exit code $E2E_EXIT_CODE"
echo "$shot"
