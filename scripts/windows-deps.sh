#!/usr/bin/env bash
# Cross-builds the libraries of the Windows program from Debian's source packages of the versions
# the Linux build uses, statically, into BUILD/deps/prefix. The sources are fetched with
# `apt-get source` through an apt configuration private to BUILD/deps/apt: the machine's own apt
# set-up is never changed. Each library built is stamped in BUILD/deps/prefix/.built, and only
# libraries without a stamp are built, so a prefix from before a library was added gains just that
# one; delete BUILD/deps to build everything again.
# Usage: scripts/windows-deps.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath -m "${1:-build-windows}")
deps=$build/deps
prefix=$deps/prefix
toolchain=$root/cmake/mingw-w64-x86_64.cmake
jobs=$(nproc)

# .complete lists the libraries of a finished prefix; it is finished only for this very list.
libraries=(zlib pugixml libzip freetype nlohmann-json googletest imgui re2)
[ "$(cat "$prefix/.complete" 2>/dev/null)" = "${libraries[*]}" ] && exit 0
stamps=$prefix/.built
# A prefix finished before libraries were stamped one by one holds the first seven.
if [ -f "$prefix/.complete" ] && [ ! -d "$stamps" ]; then
    mkdir -p "$stamps"
    for name in zlib pugixml libzip freetype nlohmann-json googletest imgui; do touch "$stamps/$name"; done
fi
rm -f "$prefix/.complete"
rm -rf "$deps/src" "$deps/work"
mkdir -p "$prefix" "$stamps" "$deps/src" "$deps/work"
missing() { [ ! -f "$stamps/$1" ]; }

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
# Debian source package and the installed package whose version it must have, per library.
declare -A source_package=([zlib]=zlib [pugixml]=pugixml [libzip]=libzip [freetype]=freetype
    [nlohmann-json]=nlohmann-json3 [imgui]=imgui [re2]=re2)
declare -A linux_package=([zlib]=zlib1g-dev [pugixml]=libpugixml-dev [libzip]=libzip-dev
    [freetype]=libfreetype-dev [nlohmann-json]=nlohmann-json3-dev [imgui]=libimgui-dev [re2]=libre2-dev)
wanted=()
for name in "${!source_package[@]}"; do
    missing "$name" && wanted+=("${source_package[$name]}=$(source_version "${linux_package[$name]}")")
done
if [ ${#wanted[@]} -gt 0 ]; then
    echo "windows-deps: reading the source lists"
    apt-get -qq "${apt_options[@]}" update
    (cd "$deps/src" && apt-get -qq "${apt_options[@]}" source "${wanted[@]}" >/dev/null)
fi
src_dir() { find "$deps/src" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | head -n 1; }

configure_and_install() { # NAME SOURCE_DIR CMAKE_ARGS...
    local name=$1 source=$2
    shift 2
    missing "$name" || return 0
    echo "windows-deps: building $name"
    cmake -S "$source" -B "$deps/work/$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" \
        > "$deps/work/$name.log" 2>&1 || { cat "$deps/work/$name.log"; exit 1; }
    cmake --build "$deps/work/$name" -j "$jobs" --target install >> "$deps/work/$name.log" 2>&1 ||
        { tail -n 40 "$deps/work/$name.log"; exit 1; }
    touch "$stamps/$name"
}
export TESSARO_WINDOWS_PREFIX=$prefix

# zlib: Debian's repack has no win32/ folder, so only the static library is built and installed.
if missing zlib; then
    zlib=$(src_dir zlib)
    cmake -S "$zlib" -B "$deps/work/zlib" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        > "$deps/work/zlib.log" 2>&1 || { cat "$deps/work/zlib.log"; exit 1; }
    echo "windows-deps: building zlib"
    cmake --build "$deps/work/zlib" -j "$jobs" --target zlibstatic >> "$deps/work/zlib.log" 2>&1 ||
        { tail -n 40 "$deps/work/zlib.log"; exit 1; }
    mkdir -p "$prefix/include" "$prefix/lib"
    cp "$deps/work/zlib/libzlibstatic.a" "$prefix/lib/libz.a"
    cp "$zlib/zlib.h" "$deps/work/zlib/zconf.h" "$prefix/include/"
    touch "$stamps/zlib"
fi

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
# RE2 of Debian 12 predates its dependency on Abseil. Debian's source leaves out the generated
# Unicode and Perl class tables; they are made again from the Unicode data, as Debian's build does.
if missing re2; then
    re2=$(src_dir re2)
    perl "$re2/re2/make_perl_groups.pl" > "$re2/re2/perl_groups.cc"
    for table in casefold groups; do
        (cd "$re2/re2" && python3 "make_unicode_$table.py" > "unicode_$table.cc")
    done
    configure_and_install re2 "$re2" -DRE2_BUILD_TESTING=OFF
fi

# The GUI library has no build of its own: the program's CMake compiles the sources kept here.
if missing imgui; then
    rm -rf "$prefix/imgui"
    cp -r "$(src_dir imgui)" "$prefix/imgui"
    touch "$stamps/imgui"
fi
echo "${libraries[*]}" > "$prefix/.complete"
echo "windows-deps: ready in $prefix"
