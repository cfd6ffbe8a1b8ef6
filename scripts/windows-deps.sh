#!/usr/bin/env bash
# Cross-builds the libraries of the Windows program from Debian's source packages of the versions
# the Linux build uses, statically, into BUILD/deps/prefix. The sources are fetched with
# `apt-get source` through an apt configuration private to BUILD/deps/apt: the machine's own apt
# set-up is never changed. A finished prefix is kept; delete BUILD/deps to build it again.
# Usage: scripts/windows-deps.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath -m "${1:-build-windows}")
deps=$build/deps
prefix=$deps/prefix
toolchain=$root/cmake/mingw-w64-x86_64.cmake
jobs=$(nproc)

[ -f "$prefix/.complete" ] && exit 0
rm -rf "$prefix" "$deps/src" "$deps/work"
mkdir -p "$prefix" "$deps/src" "$deps/work"

# Source version of the installed Linux package, so that both builds use the same library.
source_version() { dpkg-query -W -f='${source:Version}' "$1"; }

# The mirrors the machine already uses (one-line and deb822 lists alike), as deb-src entries.
mirror_lines() {
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        awk '$1 == "deb" { $1 = "deb-src"; print }' "$file" | grep -E 'debian(-security)?/? ' || true
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk 'BEGIN { RS = ""; FS = "\n" }
            {
                uris = suites = comps = keys = ""
                for (i = 1; i <= NF; ++i) {
                    if ($i ~ /^URIs:/) uris = substr($i, 6)
                    if ($i ~ /^Suites:/) suites = substr($i, 8)
                    if ($i ~ /^Components:/) comps = substr($i, 12)
                    if ($i ~ /^Signed-By:/) keys = substr($i, 11)
                }
                if (uris !~ /debian/) next
                n = split(uris, u, " "); m = split(suites, s, " ")
                gsub(/^ +/, "", keys)
                for (a = 1; a <= n; ++a) for (b = 1; b <= m; ++b)
                    print "deb-src" (keys != "" ? " [signed-by=" keys "]" : "") " " u[a] " " s[b] " " comps
            }' "$file"
    done
}

apt_dir=$deps/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
mirror_lines > "$apt_dir/sources.list"
[ -s "$apt_dir/sources.list" ] || { echo "windows-deps: no Debian mirror found in /etc/apt" >&2; exit 1; }
apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "APT::Sandbox::User=root")
echo "windows-deps: reading the source lists"
apt-get -qq "${apt_options[@]}" update
(
    cd "$deps/src"
    apt-get -qq "${apt_options[@]}" source \
        "imgui=$(source_version libimgui-dev)" "pugixml=$(source_version libpugixml-dev)" \
        "libzip=$(source_version libzip-dev)" "zlib=$(source_version zlib1g-dev)" \
        "freetype=$(source_version libfreetype-dev)" "nlohmann-json3=$(source_version nlohmann-json3-dev)" \
        >/dev/null
)
src_dir() { find "$deps/src" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | head -n 1; }

configure_and_install() { # NAME SOURCE_DIR CMAKE_ARGS...
    local name=$1 source=$2
    shift 2
    echo "windows-deps: building $name"
    cmake -S "$source" -B "$deps/work/$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" \
        > "$deps/work/$name.log" 2>&1 || { cat "$deps/work/$name.log"; exit 1; }
    cmake --build "$deps/work/$name" -j "$jobs" --target install >> "$deps/work/$name.log" 2>&1 ||
        { tail -n 40 "$deps/work/$name.log"; exit 1; }
}
export TESSARO_WINDOWS_PREFIX=$prefix

# zlib: Debian's repack has no win32/ folder, so only the static library is built and installed.
zlib=$(src_dir zlib)
cmake -S "$zlib" -B "$deps/work/zlib" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    > "$deps/work/zlib.log" 2>&1 || { cat "$deps/work/zlib.log"; exit 1; }
echo "windows-deps: building zlib"
cmake --build "$deps/work/zlib" -j "$jobs" --target zlibstatic >> "$deps/work/zlib.log" 2>&1 ||
    { tail -n 40 "$deps/work/zlib.log"; exit 1; }
mkdir -p "$prefix/include" "$prefix/lib"
cp "$deps/work/zlib/libzlibstatic.a" "$prefix/lib/libz.a"
cp "$zlib/zlib.h" "$deps/work/zlib/zconf.h" "$prefix/include/"

configure_and_install pugixml "$(src_dir pugixml)" -DPUGIXML_BUILD_TESTS=OFF
configure_and_install libzip "$(src_dir libzip)" -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
    -DENABLE_GNUTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF \
    -DENABLE_WINDOWS_CRYPTO=ON -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
# FreeType's own copy of zlib would clash with the real one at link time.
configure_and_install freetype "$(src_dir freetype)" -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON \
    -DFT_DISABLE_BROTLI=ON -DFT_DISABLE_BZIP2=ON -DFT_REQUIRE_ZLIB=ON \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
configure_and_install nlohmann-json "$(src_dir nlohmann-json3)" -DJSON_BuildTests=OFF -DJSON_Install=ON
# GoogleTest's source ships with Debian's googletest package, of the version the Linux tests use.
configure_and_install googletest /usr/src/googletest -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF

# The GUI library has no build of its own: the program's CMake compiles the sources kept here.
rm -rf "$prefix/imgui"
cp -r "$(src_dir imgui)" "$prefix/imgui"
touch "$prefix/.complete"
echo "windows-deps: ready in $prefix"
