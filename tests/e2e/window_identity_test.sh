#!/usr/bin/env bash
# The running window carries what the desktop entry promises: the class named by StartupWMClass
# (so the dock groups the window with its launcher) and the icon that the theme's PNG files show.
source "$(dirname "$0")/lib.sh"

desktop_file="$TESSARO_SOURCE_DIR/packaging/tessaro.desktop"
icon_png="$TESSARO_ICON_DIR/16x16/apps/tessaro.png"
[ -f "$icon_png" ] || e2e_fail "the 16x16 icon $icon_png was not built"

e2e_start_xvfb
e2e_start_tessaro
e2e_wait_window 20 || e2e_fail "the viewer opened no window"
window=$(e2e_window_id)

wm_class=$(xprop -id "$window" WM_CLASS)
startup_class=$(sed -n 's/^StartupWMClass=//p' "$desktop_file")
[ -n "$startup_class" ] || e2e_fail "the desktop entry names no StartupWMClass"
[[ $wm_class == *", \"$startup_class\"" ]] || e2e_fail "window class $wm_class, desktop entry: $startup_class"

# _NET_WM_ICON: width, height, then one ARGB number per pixel; the 16x16 image comes first.
window_icon=$(xprop -id "$window" -notype -f _NET_WM_ICON 32c _NET_WM_ICON | sed 's/^[^=]*= //' |
    tr -d ' ' | tr ',' '\n' | head -258)
[ "$(echo "$window_icon" | head -2 | paste -sd x)" = 16x16 ] || e2e_fail "the window's first icon is not 16x16"
png_icon=$(convert "$icon_png" -depth 8 rgba:- | od -An -v -tu1 -w4 |
    awk '{ printf "%.0f\n", $4 * 16777216 + $1 * 65536 + $2 * 256 + $3 }')
[ "$(echo "$window_icon" | tail -n +3)" = "$png_icon" ] || e2e_fail "the window icon and $icon_png differ"

e2e_stop_tessaro TERM
e2e_pass
