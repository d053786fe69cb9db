#!/usr/bin/env bash
# `make run`: the editor against vidodu.cgi under a local lighttpd on 127.0.0.1:8080 (or the
# next free port), over a per-user demo tree that accepts the empty password. The first time,
# the demo documents are copied there in code page 932. The server stops when the editor exits.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${1:-build}
editor=$build_dir/bin/lumeno
cgi=$build_dir/bin/vidodu.cgi
state=${XDG_STATE_HOME:-$HOME/.local/state}/lumeno-demo
root=$state/root
ini=${XDG_CONFIG_HOME:-$HOME/.config}/Lumeno/Lumeno.ini

die() {
  echo "run.sh: $*" >&2
  exit 1
}

[ -x "$editor" ] || die "no editor at $editor (build first)"
[ -x "$cgi" ] || die "no vidodu.cgi at $cgi (build first)"

# The demo documents, in code page 932 with CR LF line ends as the editor saves them. Made
# once: whatever the user changed there is theirs.
install_demo_tree() {
  local source=$here/demo-data/data file
  [ -d "$root/data" ] && return
  mkdir -p "$root.new"
  (cd "$source" && find . -type d) | while IFS= read -r dir; do mkdir -p "$root.new/data/$dir"; done
  (cd "$source" && find . -type f) | while IFS= read -r file; do
    sed 's/$/\r/' "$source/$file" | iconv -f UTF-8 -t CP932 >"$root.new/data/$file"
  done
  rm -rf "$root"
  mv "$root.new" "$root"
}

# Points the editor at the demo server when the user has not chosen a server: writes
# Server= into [Setting] of the settings store, leaving every other line as it is. A value
# this script wrote before may be moved to the new port; a value the user made never is.
point_editor_at() {
  local address=$1 written_file=$state/server-written current written="" tmp
  [ -f "$written_file" ] && written=$(cat "$written_file")
  mkdir -p "$(dirname "$ini")"
  [ -f "$ini" ] || : >"$ini"
  current=$(awk '
    /^[[:space:]]*\[/ { insection = ($0 ~ /^[[:space:]]*\[Setting\][[:space:]]*\r?$/) }
    insection && /^[[:space:]]*Server[[:space:]]*=/ {
      sub(/^[^=]*=[[:space:]]*/, ""); sub(/\r$/, ""); print; found = 1; exit
    }
    END { if (!found) print "\001none" }' "$ini")
  if [ "$current" = "$address" ]; then
    return
  elif [ "$current" != $'\001none' ] && [ "$current" != "$written" ]; then
    echo "run.sh: the editor is set to the server \"$current\"; the demo server is at $address" >&2
    return
  fi
  tmp=$(mktemp "$ini.XXXXXX")
  awk -v address="$address" -v replace="$([ "$current" = $'\001none' ] && echo 0 || echo 1)" '
    /^[[:space:]]*\[/ {
      if (insection && !done) { print "Server=" address; done = 1 }
      insection = ($0 ~ /^[[:space:]]*\[Setting\][[:space:]]*\r?$/)
      print
      if (insection && !replace && !done) { print "Server=" address; done = 1 }
      next
    }
    insection && replace && /^[[:space:]]*Server[[:space:]]*=/ && !done { print "Server=" address; done = 1; next }
    { print }
    END { if (!done) { if (NR > 0) print ""; print "[Setting]"; print "Server=" address } }' "$ini" >"$tmp"
  mv "$tmp" "$ini"
  echo "$address" >"$written_file"
}

mkdir -p "$state"
install_demo_tree
output=$("$here/local-server.sh" start --state "$state/server" --root "$root" --cgi "$cgi" \
  --from-port 8080 --allow-empty-password)
address=$(sed -n 's/^SERVER=//p' <<<"$output")
stop_server() {
  "$here/local-server.sh" stop --state "$state/server"
}
trap stop_server EXIT
trap 'exit 130' INT TERM HUP
echo "Demo server: http://$address/vidodu.cgi over $root"
point_editor_at "$address"
"$editor"
