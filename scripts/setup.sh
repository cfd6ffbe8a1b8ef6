#!/usr/bin/env bash
# Installs what building, running and testing Tessaro needs, when it is missing. Idempotent.
# With --windows also what cross-building the Windows program and testing it under wine need.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ cmake make pkg-config git
    libpugixml-dev libzip-dev libre2-dev nlohmann-json3-dev googletest libgtest-dev
    libimgui-dev libglfw3-dev libstb-dev libfreetype-dev libgl-dev
    xvfb xauth xdotool x11-utils imagemagick xclip openbox wmctrl
    dpkg-dev lintian man-db desktop-file-utils shared-mime-info xdg-utils libfile-mimeinfo-perl
    bash-completion
    clang libclang-rt-14-dev clang-format
)
if [ "${1:-}" = "--windows" ]; then
    # dpkg-dev unpacks the libraries' Debian sources (apt-get source); RE2's character tables are
    # generated from unicode-data with python3-six; wixl and msitools build the installer.
    packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 dpkg-dev unicode-data python3-six
        wixl msitools)
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

# npm fetches the fonts; a machine may have Node.js from elsewhere, so look for the command.
command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

bash scripts/fetch-fonts.sh
