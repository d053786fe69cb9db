#!/usr/bin/env bash
# Makes TOOL_DIR/chmcmd a working CHM compiler for the user guide. Run by scripts/install-deps.sh,
# never by the build, which only looks for the compiler there.
#
# Debian ships chmcmd in fp-utils-3.2.2, whose dependencies pull in the whole Free Pascal source tree
# (over 200 MB) that compiling a help file never needs. So an installed /usr/bin/chmcmd-3.2.2 is used
# as it is, and otherwise the package is downloaded with apt-get and only that one program is taken
# out of it. The program needs nothing but the C library. A compiler already in TOOL_DIR is reused.
#
# Usage: scripts/fetch-chmcmd.sh TOOL_DIR
set -euo pipefail

tool_dir=${1:?usage: fetch-chmcmd.sh TOOL_DIR}
package=fp-utils-3.2.2
program=chmcmd-3.2.2
target=$tool_dir/chmcmd

# chmcmd answers 1 even to --help, so its banner tells whether it runs.
runs() {
  local banner
  banner=$("$1" --help 2>&1 || true)
  [[ $banner == *"CHM compiler"* ]]
}

mkdir -p "$tool_dir"
if [ -x "$target" ] && runs "$target"; then
  exit 0
fi
rm -f "$target"

if [ -x "/usr/bin/$program" ] && runs "/usr/bin/$program"; then
  ln -s "/usr/bin/$program" "$target"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A package left in apt's own cache saves the download.
deb=$(ls /var/cache/apt/archives/${package}_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
  echo "Fetching $program from the Debian package $package" >&2
  # apt drops its privileges to _apt for downloads; let it write the temporary folder.
  chmod 0777 "$work"
  if ! (cd "$work" && apt-get download -q "$package" >&2); then
    # On a fresh machine the package lists may be missing: read them once and try again.
    as_root=()
    [ "$(id -u)" -eq 0 ] || as_root=(sudo)
    "${as_root[@]}" apt-get update -q >&2
    (cd "$work" && apt-get download -q "$package" >&2)
  fi
  deb=$(ls "$work"/${package}_*.deb | head -n 1)
fi

dpkg -x "$deb" "$work/root"
install -m 0755 "$work/root/usr/bin/$program" "$target"
if ! runs "$target"; then
  echo "fetch-chmcmd.sh: $target does not run on this machine" >&2
  rm -f "$target"
  exit 1
fi
echo "chmcmd ready in $tool_dir" >&2
