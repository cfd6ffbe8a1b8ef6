#!/usr/bin/env bash
# The Windows build under wine: the engine tests, tessaro-query.exe against the Linux tessaro-query
# on the real files of ../shared/arxml, and tessaro.exe under Xvfb (tree drawn, error screen,
# settings written on WM_CLOSE, the second copy's instance colour). Wine runs in a prefix of its own
# in the build folder, so the machine's and other runs' wine set-ups are left alone.
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

export WINEPREFIX=$windows_build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
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

[ $failures = 0 ] || e2e_fail "$failures Windows checks failed"
e2e_pass
