#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, where it is missing.
# Usage: scripts/setup.sh [build|test]
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-translations-l10n
    libicu-dev libx11-dev libtidy-dev
    fonts-ipafont-gothic
)
if [ "${1:-build}" = test ]; then
    packages+=(xvfb xauth xdotool x11-utils imagemagick poppler-utils openbox)
    packages+=(dpkg-dev file desktop-file-utils appstream man-db)
    packages+=(dbus-daemon at-spi2-core python3-dbus)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
