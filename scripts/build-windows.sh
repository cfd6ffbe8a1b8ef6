#!/usr/bin/env bash
# Cross-builds the Windows x86-64 program with MinGW-w64 and packs it twice, with the same files
# (tessaro.exe, tessaro-query.exe, tessaro-bench.exe, README and LICENSE, listed by the build):
# BUILD/tessaro-windows-x86_64.zip and the installer BUILD/tessaro-VERSION-x86_64.msi. The
# executables are linked statically; this fails if one needs a MinGW runtime DLL.
# Usage: scripts/build-windows.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-windows}")
jobs=${JOBS:-$(nproc)}

bash scripts/setup.sh --windows
bash scripts/windows-deps.sh "$build"
prefix=$build/deps/prefix
export TESSARO_WINDOWS_PREFIX=$prefix

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" -DTESSARO_IMGUI_DIR="$prefix/imgui" > "$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "$jobs" --target tessaro tessaro-query tessaro-bench tessaro-core-tests \
    tessaro-platform-helper tessaro-close-windows tessaro-resource-check
mapfile -t files <"$build/package-files.txt"

# Only DLLs that every Windows has may be imported.
for exe in "${files[@]}"; do
    [[ $exe == *.exe ]] || continue
    if x86_64-w64-mingw32-objdump -p "$exe" | grep -i "DLL Name:" | grep -iE "libstdc|libgcc|libwinpthread|zlib|libzip|freetype|pugixml|re2"; then
        echo "build-windows: $exe needs a MinGW or library DLL" >&2
        exit 1
    fi
done

stage=$build/package/tessaro-windows-x86_64
rm -rf "$build/package"
mkdir -p "$stage"
cp "${files[@]}" "$stage/"
rm -f "$build/tessaro-windows-x86_64.zip"
(cd "$stage" && cmake -E tar cf "$build/tessaro-windows-x86_64.zip" --format=zip -- *)
echo "build-windows: $build/tessaro-windows-x86_64.zip"

cmake --build "$build" --target tessaro-msi
echo "build-windows: $build/tessaro-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")-x86_64.msi"
