#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running Vellumark need.
# Idempotent: when everything is present it only checks, which takes a moment.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins qt6-webengine-dev qt6-wayland
  libgif-dev libimagequant-dev fonts-liberation fontconfig
  libgtest-dev libgmock-dev libbenchmark-dev
  imagemagick gifsicle poppler-utils
  libcpp-httplib-dev libsqlite3-dev libsodium-dev
  xvfb xauth xdotool ccache shared-mime-info desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
