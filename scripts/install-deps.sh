#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Lumeno need,
# asking apt only for what dpkg says is missing. With "run", also what only the running editor
# needs: a viewer for the help file (about 100 MB with its GTK libraries, so tests go without).
# Then makes sure the help compiler chmcmd is at hand (scripts/fetch-chmcmd.sh), in the folder
# the build looks in: the build itself never downloads or installs anything.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make ccache
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libicu-dev libsodium-dev libfcgi-dev
  fonts-ipafont-gothic lighttpd lighttpd-mod-openssl openssl curl spawn-fcgi
  xvfb xauth xdotool imagemagick poppler-utils
  dpkg-dev desktop-file-utils libxml2-utils shared-mime-info
  xclip clang-format
)

# Only for `make run`.
run_packages=(xchm)
[ "${1:-}" = run ] && packages+=("${run_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -q
  "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The folder cmake/HelpFile.cmake searches first (its LUMENO_CHMCMD_DIR).
"$(dirname "$0")/fetch-chmcmd.sh" "$HOME/.cache/lumeno/tools"
