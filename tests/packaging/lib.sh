#!/usr/bin/env bash
# Shared by the packaging tests: a work folder removed at exit, failing with a message, and the
# list of files an installation must hold.
set -uo pipefail

PKG_NAME=$(basename "${BASH_SOURCE[1]:-$0}" .sh)
PKG_WORK=$(mktemp -d "${TMPDIR:-/tmp}/tessaro-$PKG_NAME.XXXXXX")
trap 'rm -rf "$PKG_WORK"' EXIT
: "${TESSARO_BUILD_DIR:?}" "${TESSARO_SOURCE_DIR:?}"
# Installing and packing take many seconds: only with TESSARO_SLOW_TESTS=1, as `make test` does.
if [ "${TESSARO_SLOW_TESTS:-0}" = 0 ]; then
    echo "[$PKG_NAME] SKIP: slow: runs with TESSARO_SLOW_TESTS=1, as make test does"
    exit 77
fi

pkg_fail() {
    echo "[$PKG_NAME] FAIL: $*"
    exit 1
}

pkg_pass() {
    echo "[$PKG_NAME] PASS"
    exit 0
}

# Installs the build into ROOT under PREFIX, the way `make install DESTDIR=ROOT PREFIX=...` does.
pkg_install() {
    DESTDIR="$1" cmake --install "$TESSARO_BUILD_DIR" --prefix "$2" >"$PKG_WORK/install.log" 2>&1 ||
        { cat "$PKG_WORK/install.log"; pkg_fail "cmake --install failed"; }
}

# The files of an installation, relative to the prefix; manual pages without their .gz.
pkg_expected_files() {
    local size
    printf '%s\n' bin/tessaro bin/tessaro-bench bin/tessaro-query \
        share/applications/tessaro.desktop \
        share/bash-completion/completions/tessaro-query \
        share/man/man1/tessaro.1 share/man/man1/tessaro-bench.1 share/man/man1/tessaro-query.1 \
        share/mime/packages/tessaro.xml
    for size in 16 32 48 64 128 256; do
        echo "share/icons/hicolor/${size}x${size}/apps/tessaro.png"
    done
}
