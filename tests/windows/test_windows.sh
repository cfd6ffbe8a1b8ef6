#!/usr/bin/env bash
# The Windows build under wine: the engine tests, tessaro-query.exe against the Linux tessaro-query
# on the real files of ../shared/arxml, and tessaro.exe under Xvfb (tree drawn, error screen,
# settings written on WM_CLOSE, the second copy's instance colour, an element window as a window of
# its own, F8 in a comparison), the executables' version and icon resources, and the installer
# (install, file type, upgrade, removal). Wine runs in a prefix of its own in the build folder, so
# the machine's and other runs' wine set-ups are left alone.
# Usage: tests/windows/test_windows.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
linux_build=$(realpath "${1:-build}")
windows_build=$(realpath "${2:-build-windows}")
query_linux=$linux_build/cli/tessaro-query
query_windows=$windows_build/cli/tessaro-query.exe
viewer=$windows_build/app/tessaro.exe
close_windows=$windows_build/tests/windows/tessaro-close-windows.exe
resource_check=$windows_build/tests/windows/tessaro-resource-check.exe
shared=${TESSARO_SHARED_ARXML_DIR:-$root/../shared/arxml}
failures=0

# Wine's menu builder is off: it would copy the installer's Start menu entry and icons into the
# desktop's menus of the machine's user.
export WINEPREFIX=$windows_build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" WINEARCH=win64
# The window title carries the version the build wrote from CMakeLists.txt.
TESSARO_VERSION=$(sed -n 's/.*kTessaroVersion = "\(.*\)";/\1/p' "$linux_build/generated/Version.h")
export E2E_OUT=$windows_build/screenshots TESSARO_BIN=$viewer TESSARO_VERSION
source tests/e2e/lib.sh
E2E_NAME=windows

check() { # NAME COMMAND...: runs a check and reports it
    local name=$1 started=$SECONDS
    shift
    if "$@"; then
        e2e_log "ok: $name ($((SECONDS - started)) s)"
    else
        e2e_log "FAILED: $name ($((SECONDS - started)) s)"
        failures=$((failures + 1))
    fi
}

# A wine server that stays up for the whole run spares every program its start-up; it is ended
# with the run. Wine's desktop process keeps the display it was started with, so the private Xvfb
# runs first and a server left over from an earlier run in this prefix is ended.
start_wine() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    [ -f "$WINEPREFIX/system.reg" ] || { e2e_log "creating the wine prefix"; wineboot -i >/dev/null 2>&1; }
    wineserver -p
    E2E_WINESERVER=1
}
stop_wine() { [ -n "${E2E_WINESERVER:-}" ] && wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; }
trap 'stop_wine; e2e_cleanup' EXIT

# Runs a Windows program with a time limit; standard output without carriage returns.
run_windows() { # SECONDS PROGRAM ARGS...
    local seconds=$1
    shift
    timeout -k 5 "$seconds" wine "$@" | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

e2e_start_xvfb
start_wine

# 1. The engine tests, cross-built.
core_tests() {
    (cd "$windows_build/tests" && run_windows 600 ./tessaro-core-tests.exe --gtest_brief=1) >"$E2E_WORK/core.log" 2>&1
    local status=$?
    grep -E '^\[ *(PASSED|FAILED|SKIPPED) *\]|tests ran' "$E2E_WORK/core.log" | sed 's/^/    /'
    [ $status = 0 ] || tail -n 40 "$E2E_WORK/core.log"
    return $status
}
check "engine tests under wine" core_tests

# Search hits arrive from several threads, in no fixed order: uncapped lists are compared sorted,
# capped ones (which 100 of the hits come first is down to timing) by their summary line only.
normalise_search() {
    if tail -n 1 "$1" | grep -q '"capped":true'; then
        tail -n 1 "$1" >"$1.normal"
    else
        LC_ALL=C sort "$1" >"$1.normal"
    fi
    mv "$1.normal" "$1"
}

# 2. tessaro-query.exe answers as the Linux build does. Paths are relative, so that both print the
# same file names.
query_answers() {
    local files=() file differing=0 command
    [ -d "$shared" ] || { e2e_log "no real files in $shared: skipped"; return 0; }
    while IFS= read -r file; do files+=("$file"); done < <(cd "$root" && find "$(realpath --relative-to="$root" "$shared")" -maxdepth 1 -name '*.arxml' | sort)
    for file in "${files[@]}"; do
        for command in stats paths broken-refs "search SHORT-NAME" "search ref --match-case"; do
            # shellcheck disable=SC2086
            (cd "$root" && "$query_linux" "$file" $command) >"$E2E_WORK/linux.out" 2>/dev/null
            local linux_status=$?
            # shellcheck disable=SC2086
            (cd "$root" && run_windows 120 "$query_windows" "$file" $command) >"$E2E_WORK/windows.out" 2>"$E2E_WORK/windows.err"
            local windows_status=$?
            if [ "${command%% *}" = search ]; then
                normalise_search "$E2E_WORK/linux.out"
                normalise_search "$E2E_WORK/windows.out"
            fi
            if [ $linux_status != $windows_status ] || ! cmp -s "$E2E_WORK/linux.out" "$E2E_WORK/windows.out"; then
                e2e_log "    differs: $file $command (exit $linux_status on Linux, $windows_status on Windows)"
                diff "$E2E_WORK/linux.out" "$E2E_WORK/windows.out" | head -n 6
                head -n 4 "$E2E_WORK/windows.err"
                differing=$((differing + 1))
            fi
        done
    done
    e2e_log "    ${#files[@]} files, 5 questions each, $differing answers differ"
    [ ${#files[@]} -gt 0 ] && [ $differing = 0 ]
}
check "tessaro-query.exe answers as on Linux" query_answers

# 3. The viewer under Xvfb. Settings land in the wine user's profile.
profile_dir() { winepath -u "$(wine cmd /c echo %USERPROFILE% 2>/dev/null | tr -d '\r\n')" 2>/dev/null; }
profile=$(profile_dir)
settings=$profile/.Tessaro

start_viewer() { # ARGS...: starts tessaro.exe in the background
    (cd "$root" && exec wine "$viewer" "$@") >>"$E2E_WORK/tessaro.out" 2>>"$E2E_WORK/tessaro.err" &
    E2E_TESSARO_PID=$!
    E2E_STARTED_PIDS+=("$E2E_TESSARO_PID")
}
close_viewers() { # sends WM_CLOSE to every viewer window, then waits for PIDS to end
    run_windows 30 "$close_windows" >/dev/null || return 1
    local pid code=0
    for pid in "$@"; do
        local i
        for i in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -0 "$pid" 2>/dev/null && { kill -KILL "$pid"; return 1; }
        wait "$pid" || code=$?
    done
    E2E_EXIT_CODE=$code
}
example=examples/body-network.arxml
viewer_draws_and_saves() {
    rm -rf "$settings"
    start_viewer "$example"
    local first=$E2E_TESSARO_PID
    e2e_wait_window 60 || { e2e_log "    no window"; return 1; }
    e2e_wait_for 60 e2e_has_colour 68C1EE 20 || { e2e_log "    the tree's short names were not drawn"; return 1; }
    e2e_log "    screenshot: $(e2e_keep_screenshot "$E2E_WORK/last.png" windows-tree.png)"
    e2e_wait_for 10 e2e_has_colour 404854 2000 "$(e2e_window_geometry)" || { e2e_log "    the first copy's menu bar is not grey"; return 1; }
    close_viewers "$first" || { e2e_log "    WM_CLOSE did not end the viewer"; return 1; }
    [ "$E2E_EXIT_CODE" = 0 ] || { e2e_log "    exit code $E2E_EXIT_CODE"; return 1; }
    [ -f "$settings/conf.json" ] || { e2e_log "    no $settings/conf.json"; return 1; }
    e2e_log "    conf.json: $(cat "$settings/conf.json")"
    grep -q '"recent_open_files":\["examples/body-network.arxml"' "$settings/conf.json"
}
check "tessaro.exe draws the tree and saves on WM_CLOSE" viewer_draws_and_saves

# A second copy beside a first one gets the second instance colour.
second_copy_coloured() {
    start_viewer
    local first=$E2E_TESSARO_PID
    e2e_wait_window 60 || { e2e_log "    no window"; return 1; }
    start_viewer
    local second=$E2E_TESSARO_PID
    e2e_wait_for 60 e2e_has_colour 165A36 2000 "$(e2e_window_geometry)" || { e2e_log "    the second copy's menu bar is not green"; return 1; }
    e2e_log "    screenshot: $(e2e_keep_screenshot "$E2E_WORK/last.png" windows-second-copy.png)"
    close_viewers "$first" "$second" && [ "$E2E_EXIT_CODE" = 0 ]
}
check "a second tessaro.exe gets the second instance colour" second_copy_coloured

viewer_shows_error() {
    start_viewer "$E2E_WORK/missing.arxml"
    local pid=$E2E_TESSARO_PID
    e2e_wait_window 60 || { e2e_log "    no window"; return 1; }
    e2e_wait_for 60 e2e_has_colour EB6847 20 || { e2e_log "    no error colour"; return 1; }
    e2e_log "    screenshot: $(e2e_keep_screenshot "$E2E_WORK/last.png" windows-missing-file.png)"
    close_viewers "$pid" && [ "$E2E_EXIT_CODE" = 0 ]
}
check "tessaro.exe shows the error screen for a missing file" viewer_shows_error

# Secondary windows are windows of their own: an element window opened from Find Ref is another
# top-level window of the viewer, titled with the element's path and owned by the main window.
# Closed through the window manager it goes, and the viewer then ends cleanly, keeping its place.
viewer_windows() { run_windows 30 "$close_windows" --list; }
# Windows, not the X server, says which window has the keyboard: wine hands it the keys whichever of
# the viewer's X windows has the X focus.
e2e_has_keyboard() { viewer_windows | grep -qxF "owned* $(xdotool getwindowname "$1")"; }
element_window_of_its_own() {
    local element=/Body/Signals/VehicleSpeed pid wm windows failed=0
    rm -rf "$settings"
    e2e_start_window_manager
    wm=${E2E_STARTED_PIDS[-1]}
    start_viewer "$example"
    pid=$E2E_TESSARO_PID
    e2e_wait_window 60 && e2e_wait_for 60 e2e_has_colour 68C1EE 20 || { e2e_log "    the tree was not drawn"; return 1; }
    e2e_open_element_window "$element"
    windows=$(viewer_windows | tr -d '*')
    e2e_screenshot "$E2E_WORK/last.png"
    e2e_log "    screenshot: $(e2e_keep_screenshot "$E2E_WORK/last.png" windows-element-window.png)"
    e2e_log "    windows: $(tr '\n' ';' <<<"$windows")"
    [ "$(grep -c '^main ' <<<"$windows")" = 1 ] && grep -qxF "owned $element" <<<"$windows" ||
        { e2e_log "    the element window is not a window of its own owned by the main one"; failed=1; }
    wmctrl -i -c "$E2E_ELEMENT_WINDOW"
    e2e_wait_for 10 eval '! viewer_windows | grep -q " $element\$"' || { e2e_log "    the window manager could not close it"; failed=1; }
    close_viewers "$pid" && [ "$E2E_EXIT_CODE" = 0 ] || { e2e_log "    the viewer did not end cleanly"; failed=1; }
    grep -q '"windows":{[^}]*"Element"' "$settings/conf.json" 2>/dev/null || { e2e_log "    its place was not kept"; failed=1; }
    kill "$wm" && wait "$wm" 2>/dev/null
    return $failed
}
check "an element window is a window of its own, owned by the main one, and closes through the window manager" element_window_of_its_own

# A comparison: the viewer opens the example against an edited copy, Escape closes the Changes
# window, and F8 opens the tree down to the changed value, drawn in the colour of a change.
f8_reveals_change() {
    local edited=$E2E_WORK/edited.arxml changed=FBB360 pid wm changes before failed=0
    sed '0,/<LENGTH>8<\/LENGTH>/s//<LENGTH>16<\/LENGTH>/' "$root/$example" >"$edited"
    rm -rf "$settings"
    e2e_start_window_manager
    wm=${E2E_STARTED_PIDS[-1]}
    start_viewer "$example" --compare "$(winepath -w "$edited" 2>/dev/null)"
    pid=$E2E_TESSARO_PID
    # The Changes window opens over the tree once the comparison is done.
    e2e_wait_window 60 && e2e_wait_for 60 e2e_has_window Changes || { e2e_log "    no Changes window"; return 1; }
    changes=$(e2e_window_titled Changes)
    e2e_wait_for 10 e2e_has_keyboard "$changes" && e2e_press Escape &&
        e2e_wait_for 10 eval '! e2e_has_window Changes' || { e2e_log "    Escape left the Changes window open"; failed=1; }
    e2e_wait_for 30 e2e_has_colour 68C1EE 20 || { e2e_log "    the tree was not drawn"; failed=1; }
    e2e_screenshot "$E2E_WORK/before.png"
    before=$(e2e_count_colour "$E2E_WORK/before.png" "$changed")
    e2e_press F8
    e2e_wait_for 20 e2e_colour_count_differs "$changed" "$before" || { e2e_log "    F8 revealed no changed row"; failed=1; }
    e2e_log "    screenshot: $(e2e_keep_screenshot "$E2E_WORK/last.png" windows-compare-f8.png)"
    close_viewers "$pid" && [ "$E2E_EXIT_CODE" = 0 ] || { e2e_log "    the viewer did not end cleanly"; failed=1; }
    kill "$wm" && wait "$wm" 2>/dev/null
    return $failed
}
check "F8 steps to a change of a comparison" f8_reveals_change

# 4. What Explorer shows of the executables: the project's version as four numbers, the product, a
# description each, and the viewer's icon in every size Windows asks for.
resources_read_back() {
    local version exe answer failed=0
    version=$(sed -n 's/^project(Tessaro VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt").0
    for exe in app/tessaro.exe cli/tessaro-query.exe bench/tessaro-bench.exe; do
        answer=$(cd "$windows_build" && run_windows 60 "$resource_check" "$exe")
        if ! grep -qx "version $version" <<<"$answer" || ! grep -qx "product Tessaro" <<<"$answer" ||
            ! grep -q "^description [A-Z]" <<<"$answer"; then
            e2e_log "    $exe: $(tr '\n' ';' <<<"$answer") (want version $version)"
            failed=1
        fi
    done
    answer=$(cd "$windows_build" && run_windows 60 "$resource_check" app/tessaro.exe | grep '^icon')
    [ "$answer" = "icon 100: 16 24 32 48 64 128 256" ] || { e2e_log "    tessaro.exe: $answer"; failed=1; }
    return $failed
}
check "the executables carry their version and the viewer its icon" resources_read_back

# 5. The installer, as a user meets it: an older version installed first and replaced, a silent
# per-machine install under Program Files, .arxml offered by the file type and opened on a double
# click, the Start menu entry, the installed programs at work, and a removal that leaves nothing;
# then an install over a user's own .arxml program, with tessaro-query.exe put on PATH.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$windows_build/CMakeCache.txt")
msi=$windows_build/tessaro-$version-x86_64.msi
installed=$WINEPREFIX/drive_c/Program\ Files/Tessaro
install_dir='C:\Program Files\Tessaro\'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
environment_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'

registry() { # KEY [NAME]: the value's data (the key's default without NAME); fails when absent
    local which=(/ve) answer
    [ $# = 2 ] && which=(/v "$2")
    answer=$(wine reg query "$1" "${which[@]}" 2>/dev/null | tr -d '\r') || return 1
    sed -En 's/^    .*    REG_[A-Z_]+( {4})?//p' <<<"$answer" | head -n 1
}
msiexec_quietly() { run_windows 120 msiexec "$@" /qn >/dev/null 2>&1; }
installed_versions() { # the versions of Tessaro in the installed programs' list
    wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | awk '
        /^HKEY/ { key = $0 }
        /^    DisplayName    REG_SZ    Tessaro$/ { ours[key] = 1 }
        /^    DisplayVersion    REG_SZ    / { version[key] = $NF }
        END { for (key in ours) print version[key] }'
}
start_menu_entry() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Tessaro.lnk' 2>/dev/null | head -n 1; }
expect() { # WHAT EXPECTED ACTUAL
    [ "$2" = "$3" ] && return 0
    e2e_log "    $1: \"$3\", expected \"$2\""
    return 1
}

installs_over_older_version() {
    [ -f "$msi" ] || { e2e_log "    no $msi"; return 1; }
    # A removal left over from an earlier run in this prefix, and a file type of its own.
    msiexec_quietly /x "$msi"
    wine reg delete 'HKLM\Software\Classes\.arxml' /f >/dev/null 2>&1
    bash packaging/build-msi.sh "$windows_build/packaging/tessaro.wxs" 0.0.1 "$E2E_WORK/older.msi" >/dev/null 2>&1 &&
        msiexec_quietly /i "$E2E_WORK/older.msi" || { e2e_log "    the older version did not install"; return 1; }
    expect "installed before the upgrade" 0.0.1 "$(installed_versions)" || return 1
    msiexec_quietly /i "$msi" || { e2e_log "    msiexec /i failed"; return 1; }
    expect "installed after the upgrade" "$version" "$(installed_versions)" || return 1
    local file failed=0
    while IFS= read -r file; do
        cmp -s "$file" "$installed/$(basename "$file")" || { e2e_log "    not installed: $(basename "$file")"; failed=1; }
    done <"$windows_build/package-files.txt"
    return $failed
}
check "the installer replaces an older version, silently, under Program Files" installs_over_older_version

registers_file_type() {
    local failed=0 entry
    expect ".arxml opens with" Tessaro.Document "$(registry 'HKCR\.arxml')" || failed=1
    registry 'HKCR\.arxml\OpenWithProgids' Tessaro.Document >/dev/null || { e2e_log "    not under Open with"; failed=1; }
    expect "open command" "\"${install_dir}tessaro.exe\" \"%1\"" "$(registry 'HKCR\Tessaro.Document\shell\open\command')" || failed=1
    expect "document icon" "\"${install_dir}tessaro.exe\",0" "$(registry 'HKCR\Tessaro.Document\DefaultIcon')" || failed=1
    expect "Default Apps" Tessaro.Document "$(registry 'HKLM\Software\Tessaro\Capabilities\FileAssociations' .arxml)" || failed=1
    expect "registered application" 'Software\Tessaro\Capabilities' "$(registry 'HKLM\Software\RegisteredApplications' Tessaro)" || failed=1
    entry=$(start_menu_entry)
    [ -n "$entry" ] && grep -qa 'tessaro\.exe' "$entry" || { e2e_log "    no Start menu entry for tessaro.exe"; failed=1; }
    return $failed
}
check "the installer registers .arxml and a Start menu entry" registers_file_type

installed_query_answers() {
    (cd "$root" && "$query_linux" "$example" stats) >"$E2E_WORK/linux.out"
    (cd "$root" && run_windows 60 "$installed/tessaro-query.exe" "$example" stats) >"$E2E_WORK/windows.out"
    cmp "$E2E_WORK/linux.out" "$E2E_WORK/windows.out"
}
check "the installed tessaro-query.exe answers as on Linux" installed_query_answers

# The way Explorer opens a file: the shell finds the registered command and fills in the path, in
# double quotes because of its blanks.
double_click_opens() {
    local folder="$WINEPREFIX/drive_c/path with spaces"
    mkdir -p "$folder" && cp "$root/$example" "$folder/body network.arxml"
    (exec wine start /wait 'C:\path with spaces\body network.arxml') >>"$E2E_WORK/tessaro.out" 2>>"$E2E_WORK/tessaro.err" &
    local pid=$!
    E2E_STARTED_PIDS+=("$pid")
    e2e_wait_window 60 || { e2e_log "    no window"; return 1; }
    e2e_wait_for 60 e2e_has_colour 68C1EE 20 || { e2e_log "    the tree's short names were not drawn"; return 1; }
    e2e_log "    screenshot: $(e2e_keep_screenshot "$E2E_WORK/last.png" windows-installed-double-click.png)"
    close_viewers "$pid"
}
check "the installed viewer opens a double-clicked file whose path has blanks" double_click_opens

removes_everything() {
    local path_before failed=0 key
    path_before=$(registry "$environment_key" PATH)
    msiexec_quietly /x "$msi" || { e2e_log "    msiexec /x failed"; return 1; }
    [ ! -e "$installed" ] || { e2e_log "    left behind: $(ls -A "$installed" | tr '\n' ' ')"; failed=1; }
    [ -z "$(start_menu_entry)" ] || { e2e_log "    the Start menu entry is left"; failed=1; }
    for key in 'HKCR\.arxml' 'HKCR\Tessaro.Document' 'HKLM\Software\Tessaro'; do
        ! wine reg query "$key" >/dev/null 2>&1 || { e2e_log "    key left: $key"; failed=1; }
    done
    ! registry 'HKLM\Software\RegisteredApplications' Tessaro >/dev/null || { e2e_log "    still a registered application"; failed=1; }
    [ -z "$(installed_versions)" ] || { e2e_log "    still listed as installed"; failed=1; }
    expect "PATH" "$path_before" "$(registry "$environment_key" PATH)" || failed=1
    return $failed
}
check "msiexec /x removes every file and key it added" removes_everything

# A user's own program for .arxml stays theirs, before and after; PATH gains the folder only when
# asked and loses it on removal.
keeps_users_choice() {
    local path_before failed=0
    path_before=$(registry "$environment_key" PATH)
    wine reg add 'HKLM\Software\Classes\.arxml' /ve /d Other.Document /f >/dev/null 2>&1
    msiexec_quietly /i "$msi" ADD_TO_PATH=1 || { e2e_log "    msiexec /i ADD_TO_PATH=1 failed"; return 1; }
    expect ".arxml opens with" Other.Document "$(registry 'HKCR\.arxml')" || failed=1
    registry 'HKCR\.arxml\OpenWithProgids' Tessaro.Document >/dev/null || { e2e_log "    not under Open with"; failed=1; }
    expect "PATH" "$path_before;$install_dir" "$(registry "$environment_key" PATH)" || failed=1
    msiexec_quietly /x "$msi" || { e2e_log "    msiexec /x failed"; return 1; }
    expect ".arxml opens with, after removal" Other.Document "$(registry 'HKCR\.arxml')" || failed=1
    # Wine's installer leaves the separator it had added.
    expect "PATH after removal" "$path_before" "$(registry "$environment_key" PATH | sed 's/;$//')" || failed=1
    wine reg delete 'HKLM\Software\Classes\.arxml' /f >/dev/null 2>&1
    return $failed
}
check "the installer keeps a user's .arxml program and puts tessaro-query on PATH only when asked" keeps_users_choice

[ $failures = 0 ] || e2e_fail "$failures Windows checks failed"
e2e_pass
