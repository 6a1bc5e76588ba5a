#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Sweepwise need.
# Only missing packages are installed, so a prepared machine pays nothing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-webengine-dev libqt6svg6 libmount-dev libxcb1-dev
    libgtest-dev libgmock-dev
    xvfb xauth fonts-noto-cjk clang-format git
    # Packaging and checking the desktop integration: the validators, dpkg-shlibdeps (with
    # file, which CPack uses to find the programs), and the AT-SPI bus with its Python client.
    desktop-file-utils appstream dpkg-dev file
    dbus at-spi2-core python3-gi gir1.2-atspi-2.0
    # Fuzzing: clang with libFuzzer's runtime.
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}"
# A fresh machine may have stale or empty package lists: refresh them once and retry.
if ! "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
