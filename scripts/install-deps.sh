#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Lumeno need,
# asking apt only for what dpkg says is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make ccache
  qt6-base-dev qt6-base-dev-tools libicu-dev libsodium-dev
  fonts-ipafont-gothic lighttpd curl
  xvfb xauth xdotool imagemagick poppler-utils
  dpkg-dev desktop-file-utils libxml2-utils shared-mime-info
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
