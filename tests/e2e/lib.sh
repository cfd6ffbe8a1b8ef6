#!/usr/bin/env bash
# Shared helpers for end-to-end tests of the real viewer under Xvfb. Source it from a test script:
#
#   source "$(dirname "$0")/lib.sh"
#   e2e_start_xvfb
#   e2e_start_tessaro "$file"
#   e2e_wait_for 20 e2e_has_colour EB6847 || e2e_fail "no error text"
#   e2e_stop_tessaro; [ "$E2E_EXIT_CODE" = 0 ] || e2e_fail "exit code $E2E_EXIT_CODE"
#   e2e_pass
#
# Inputs (environment): TESSARO_BIN (the executable, required), TESSARO_VERSION (as "2.7",
# required), E2E_OUT (folder for kept screenshots, default: the work folder). Everything started here is ended by the exit trap.
set -uo pipefail

E2E_NAME=$(basename "${BASH_SOURCE[1]:-$0}" .sh)
E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/tessaro-e2e-$E2E_NAME.XXXXXX")
E2E_OUT=${E2E_OUT:-$E2E_WORK}
mkdir -p "$E2E_OUT"
E2E_XVFB_PID=""
E2E_TESSARO_PID=""
E2E_STARTED_PIDS=()
E2E_EXIT_CODE=""
E2E_HOME=""
E2E_SCREEN=${E2E_SCREEN:-1280x1024}

e2e_log() { echo "[$E2E_NAME] $*"; }

e2e_cleanup() {
    local pid
    for pid in "${E2E_STARTED_PIDS[@]}"; do
        if kill -0 "$pid" 2>/dev/null; then
            kill -KILL "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
        fi
    done
    if [ -n "$E2E_XVFB_PID" ] && kill -0 "$E2E_XVFB_PID" 2>/dev/null; then
        kill -TERM "$E2E_XVFB_PID" 2>/dev/null
        wait "$E2E_XVFB_PID" 2>/dev/null
    fi
    rm -rf "$E2E_WORK"
}
trap e2e_cleanup EXIT

e2e_fail() {
    e2e_log "FAIL: $*"
    for log in "$E2E_WORK"/tessaro.out "$E2E_WORK"/tessaro.err; do
        [ -s "$log" ] && { e2e_log "--- $(basename "$log")"; tail -20 "$log"; }
    done
    exit 1
}

e2e_pass() {
    e2e_log "PASS"
    exit 0
}

# Exit code 77 is reported by CTest as skipped (SKIP_RETURN_CODE).
e2e_skip() {
    e2e_log "SKIP: $*"
    exit 77
}

# Runs a command until it succeeds or TIMEOUT seconds (may be fractional) pass; 1 on timeout.
e2e_wait_for() {
    local timeout=$1
    shift
    local deadline=$(($(date +%s%N) + ${timeout%.*} * 1000000000))
    while true; do
        "$@" && return 0
        [ "$(date +%s%N)" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# A document of about 60 MB per 400,000 signals (the default; the second argument sets the count),
# the signals referring to each other: big enough that loading
# and indexing it outlast several screenshots.
e2e_make_big_document() {
    awk -v count="${2:-400000}" 'BEGIN {
        print "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        print "<AUTOSAR><AR-PACKAGES><AR-PACKAGE><SHORT-NAME>Big</SHORT-NAME><ELEMENTS>"
        for (i = 0; i < count; i++)
            printf "<I-SIGNAL><SHORT-NAME>S%d</SHORT-NAME><LENGTH>8</LENGTH><SYSTEM-SIGNAL-REF DEST=\"SYSTEM-SIGNAL\">/Big/S%d</SYSTEM-SIGNAL-REF></I-SIGNAL>\n", i, (i * 7) % count
        print "</ELEMENTS></AR-PACKAGE></AR-PACKAGES></AUTOSAR>"
    }' >"$1"
}

# Starts Xvfb on a free display (chosen by the server itself) and exports DISPLAY.
e2e_start_xvfb() {
    local size=${1:-$E2E_SCREEN}
    command -v Xvfb >/dev/null || e2e_skip "Xvfb is not installed (scripts/setup.sh installs it)"
    local fifo="$E2E_WORK/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$fifo" 2>"$E2E_WORK/xvfb.log" &
    E2E_XVFB_PID=$!
    local display=""
    read -r -t 20 display <"$fifo" || true
    [ -n "$display" ] || e2e_fail "Xvfb did not start: $(tail -3 "$E2E_WORK/xvfb.log")"
    export DISPLAY=":$display"
    unset WAYLAND_DISPLAY
    e2e_log "Xvfb on $DISPLAY ($size)"
}

# A fresh, empty home folder for the viewer, so that its settings start empty and stay private.
e2e_temp_home() {
    E2E_HOME=$(mktemp -d "$E2E_WORK/home.XXXXXX")
}

# The viewer under a name of its own: copies are counted by executable name across the machine
# (the menu bar colour), so viewers that others run here must not change what a test sees.
e2e_private_bin() {
    [ -n "${TESSARO_BIN:-}" ] && [ -x "$TESSARO_BIN" ] || e2e_fail "TESSARO_BIN is not an executable: ${TESSARO_BIN:-}"
    if [ -z "${E2E_PRIVATE_BIN:-}" ]; then
        E2E_PRIVATE_BIN="$E2E_WORK/tessaro-e2e-$$"
        cp "$TESSARO_BIN" "$E2E_PRIVATE_BIN" || e2e_fail "cannot copy $TESSARO_BIN"
    fi
    echo "$E2E_PRIVATE_BIN"
}

# Starts the viewer in the background with the given arguments and a temporary HOME.
e2e_start_tessaro() {
    e2e_private_bin >/dev/null
    [ -n "$E2E_HOME" ] || e2e_temp_home
    HOME="$E2E_HOME" "$E2E_PRIVATE_BIN" "$@" >"$E2E_WORK/tessaro.out" 2>"$E2E_WORK/tessaro.err" &
    E2E_TESSARO_PID=$!
    E2E_STARTED_PIDS+=("$E2E_TESSARO_PID")
}

e2e_tessaro_running() {
    [ -n "$E2E_TESSARO_PID" ] && kill -0 "$E2E_TESSARO_PID" 2>/dev/null
}

# Sends SIGTERM (or the given signal) and waits up to 20 s; E2E_EXIT_CODE holds the exit code.
e2e_stop_tessaro() {
    local signal=${1:-TERM}
    kill "-$signal" "$E2E_TESSARO_PID" 2>/dev/null
    local i
    for i in $(seq 200); do
        e2e_tessaro_running || break
        sleep 0.1
    done
    if e2e_tessaro_running; then
        kill -KILL "$E2E_TESSARO_PID"
        e2e_fail "the viewer did not end within 20 s of SIG$signal"
    fi
    wait "$E2E_TESSARO_PID"
    E2E_EXIT_CODE=$?
    E2E_TESSARO_PID=""
}

# The viewer's top-level window id, once it is mapped. The title names the open file first.
e2e_window_id() {
    xdotool search --onlyvisible --name "(^| - )Tessaro ${TESSARO_VERSION//./\\.}\$" 2>/dev/null | head -1
}

e2e_wait_window() {
    e2e_wait_for "${1:-20}" e2e_window_id >/dev/null
}

# Screenshot of the whole screen to FILE (PNG).
e2e_screenshot() {
    import -window root "$1" 2>/dev/null
}

# Number of pixels of exactly colour RRGGBB in FILE, optionally within GEOMETRY (WxH+X+Y).
e2e_count_colour() {
    local file=$1 hex=${2^^} geometry=${3:-}
    local crop=()
    [ -n "$geometry" ] && crop=(-crop "$geometry" +repage)
    convert "$file" "${crop[@]}" -alpha off -format %c histogram:info:- 2>/dev/null |
        awk -v hex="#$hex" 'toupper($0) ~ hex { sub(":", "", $1); total += $1 } END { print total + 0 }'
}

# Takes a screenshot and succeeds when at least MIN (default 20) pixels have colour RRGGBB.
# The shot is kept as $E2E_WORK/last.png.
e2e_has_colour() {
    local hex=$1 min=${2:-20} geometry=${3:-}
    e2e_screenshot "$E2E_WORK/last.png" || return 1
    [ "$(e2e_count_colour "$E2E_WORK/last.png" "$hex" "$geometry")" -ge "$min" ]
}

# The window's geometry on screen as WxH+X+Y.
# Regions of the viewer's main window: the first tree rows under the menu bar, and the right end of
# the status line, where the "Loading" or "Indexing" label stands.
e2e_tree_region() {
    local w h x y
    IFS='x+' read -r w h x y <<<"$(e2e_window_geometry)"
    echo "400x120+$x+$((y + 40))"
}
e2e_status_label_region() {
    local w h x y
    IFS='x+' read -r w h x y <<<"$(e2e_window_geometry)"
    echo "260x40+$((x + w - 260))+$((y + h - 44))"
}

# Succeeds once the count of colour RRGGBB pixels (whole screen, or GEOMETRY) differs from COUNT:
# something was drawn or taken away (takes a screenshot).
e2e_colour_count_differs() {
    local hex=$1 count=$2 geometry=${3:-}
    e2e_screenshot "$E2E_WORK/last.png" || return 1
    [ "$(e2e_count_colour "$E2E_WORK/last.png" "$hex" "$geometry")" != "$count" ]
}

# Runs a command (a key press, a click) and waits up to 5 s until a window, menu or dialog opens or
# closes (the count of border pixels changes), so that the next input reaches it.
e2e_opens_window() {
    e2e_screenshot "$E2E_WORK/last.png"
    local borders
    borders=$(e2e_count_colour "$E2E_WORK/last.png" 5F6B7C)
    "$@"
    e2e_wait_for 5 e2e_colour_count_differs 5F6B7C "$borders"
}

# The document tree is drawn (takes a screenshot).
e2e_tree_drawn() { e2e_has_colour FFFFFF 20 "$(e2e_tree_region)"; }

# The status line shows its "Loading"/"Indexing" label in the last screenshot taken.
e2e_status_label_shown() {
    [ "$(e2e_count_colour "$E2E_WORK/last.png" FFFFFF "$(e2e_status_label_region)")" -ge 10 ]
}

e2e_window_geometry() {
    local id
    id=$(e2e_window_id) || return 1
    eval "$(xdotool getwindowgeometry --shell "$id")"
    echo "${WIDTH}x${HEIGHT}+${X}+${Y}"
}

# The viewer's own visible top-level windows (those of this process, not of other copies running
# beside it), optionally only those whose title matches the regular expression TITLE.
e2e_own_windows() {
    xdotool search --all --onlyvisible --pid "$E2E_TESSARO_PID" ${1:+--name "$1"} 2>/dev/null
}

# The viewer's own window titled exactly TITLE, if one is open; whether one is.
e2e_window_titled() { e2e_own_windows "^$1\$" | head -1; }
e2e_has_window() { [ -n "$(e2e_window_titled "$1")" ]; }

# A window's place on the screen as WIDTHxHEIGHT+X+Y (xwininfo counts the frame a window manager
# adds as xdotool does not).
e2e_place_of() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /^ *Width/ { w = $NF } /^ *Height/ { h = $NF } END { print w "x" h "+" x "+" y }'
}

# Whether the window with id WINDOW has the keyboard.
e2e_has_keyboard() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# Opens ELEMENT (a path) in a window of its own: Find Ref, then its "Open in new window" button,
# the left one of the two framed in the border colour in the lower half of the dialog; it does
# nothing until the answer is there, so it is clicked until the window opens. Sets
# E2E_ELEMENT_WINDOW to the element window's id.
e2e_open_element_window() {
    local element=$1 dialog w h x y bx by bh
    e2e_press ctrl+g
    e2e_wait_for 10 e2e_has_window "Find Ref" || e2e_fail "Ctrl+G opened no Find Ref window"
    dialog=$(e2e_window_titled "Find Ref")
    e2e_wait_for 10 e2e_has_keyboard "$dialog" || e2e_fail "the dialog did not take the keyboard"
    e2e_type "$element"
    IFS='x+' read -r w h x y <<<"$(e2e_place_of "$dialog")"
    e2e_screenshot "$E2E_WORK/last.png"
    read -r bx by bh <<<"$(convert "$E2E_WORK/last.png" -crop "${w}x$((h / 2))+$x+$((y + h / 2))" +repage \
        -fill black +opaque "#5F6B7C" -trim -format '%X %Y %h' info: | tr -d +)"
    [ -n "$bh" ] || e2e_fail "no buttons in the Find Ref window"
    e2e_click_open() {
        xdotool mousemove "$((x + bx + 20))" "$((y + h / 2 + by + bh / 2))" click 1
        e2e_wait_for 1 e2e_has_window "$element"
    }
    e2e_wait_for 20 e2e_click_open || e2e_fail "no window titled $element"
    E2E_ELEMENT_WINDOW=$(e2e_window_titled "$element")
}

# Where keys go: the viewer's window that has the keyboard focus (a dialog just opened, say), else
# its main window.
e2e_key_window() {
    local focused
    focused=$(xdotool getwindowfocus 2>/dev/null)
    if [ -n "$focused" ] && e2e_own_windows | grep -qx "$focused"; then
        echo "$focused"
    else
        e2e_window_id
    fi
}

# Starts a window manager on the display (openbox) and waits until it manages windows.
e2e_start_window_manager() {
    command -v openbox >/dev/null || e2e_skip "openbox is not installed (scripts/setup.sh installs it)"
    openbox --sm-disable >"$E2E_WORK/openbox.log" 2>&1 &
    E2E_STARTED_PIDS+=("$!")
    e2e_wait_for 20 eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        e2e_fail "the window manager did not start: $(tail -3 "$E2E_WORK/openbox.log")"
}

# Input helpers; coordinates are relative to the viewer's main window.
e2e_click() {
    xdotool mousemove --window "$(e2e_window_id)" "$1" "$2" click 1
}

e2e_key() {
    xdotool key --window "$(e2e_key_window)" "$@"
}

# Keys held like a hand holds them, each for a few frames (the viewer reads key states once a
# frame, so a press released within one frame would go unseen), pressed in the X server as a
# keyboard does, in the viewer's window that has the keyboard (the main window, given the focus
# first, when none has). Sent key events are no substitute: GLFW takes a window's sent presses of a
# key only until that key was pressed there for real.
e2e_press() {
    local key window
    window=$(e2e_key_window)
    if [ "$(xdotool getwindowfocus 2>/dev/null)" != "$window" ]; then
        xdotool windowfocus "$window" 2>/dev/null
        e2e_wait_for 5 eval '[ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ]' ||
            e2e_fail "the viewer's window did not take the keyboard"
    fi
    for key in "$@"; do
        xdotool keydown "$key"
        sleep 0.15
        xdotool keyup "$key"
    done
}

e2e_type() {
    xdotool type --window "$(e2e_key_window)" --delay 20 "$1"
}

# Copies FILE into the kept-screenshots folder as NAME and prints the path.
e2e_keep_screenshot() {
    cp "$1" "$E2E_OUT/$2"
    echo "$E2E_OUT/$2"
}

# CPU time (user + system, in clock ticks) used so far by PID.
e2e_cpu_ticks() {
    awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}

# Share of one core the viewer used over eight seconds, as a percentage.
e2e_idle_cpu() {
    local before after start end
    before=$(e2e_cpu_ticks "$E2E_TESSARO_PID")
    start=$(date +%s%N)
    sleep 8 # the span measured, not a wait for something to happen
    after=$(e2e_cpu_ticks "$E2E_TESSARO_PID")
    end=$(date +%s%N)
    awk -v t="$((after - before))" -v hz="$(getconf CLK_TCK)" -v ns="$((end - start))" \
        'BEGIN { printf "%.1f", 100 * (t / hz) / (ns / 1e9) }'
}

# Screen area of the Full-Text Search window (672x560 at scale 1) on its first opening: beside the
# middle of the main window, as result windows are placed (right of the middle when it fits there,
# else below or above the middle row, else against the right edge), as WIDTHxHEIGHT+X+Y.
e2e_search_window_area() {
    local win_w win_h win_x win_y w=672 h=560 band=32 x y
    IFS='x+' read -r win_w win_h win_x win_y <<<"$(e2e_window_geometry)"
    if [ $((win_w - win_w / 2)) -ge $w ]; then
        x=$((win_w / 2)); y=$((win_h / 2 - h / 2))
    elif [ $((win_h - win_h / 2 - band)) -ge $h ]; then
        x=$((win_w - w)); y=$((win_h / 2 + band))
    elif [ $((win_h / 2 - band)) -ge $h ]; then
        x=$((win_w - w)); y=$((win_h / 2 - band - h))
    else
        x=$((win_w - w)); y=$((win_h / 2 - h / 2))
    fi
    [ $x -lt 0 ] && x=0
    [ $y -lt 0 ] && y=0
    echo "${w}x${h}+$((win_x + x))+$((win_y + y))"
}
