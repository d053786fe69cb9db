#!/usr/bin/env bash
# CHECK requests per second through lighttpd: vidodu.cgi against a one-line shell CGI under
# the same server configuration, measured in the same run, and vidodu.cgi once more with a
# real argon2id password, as a CGI program and as one FastCGI process. Then, through FastCGI,
# LISTFILES of a folder of 10,000 files in milliseconds per request, and a save and read back
# of 10 MB against the same through the CGI program.
#   bench/server/check-rate.sh [BUILD_DIR, default build] [REQUESTS, default 400]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build_dir=${1:-$source_dir/build}
requests=${2:-400}
cgi=$(cd "$build_dir/bin" && pwd)/vidodu.cgi
[ -x "$cgi" ] || { echo "check-rate.sh: no vidodu.cgi in $build_dir/bin" >&2; exit 1; }

work=$(mktemp -d)
servers=()
cleanup() {
  for s in "${servers[@]}"; do "$source_dir/scripts/local-server.sh" stop --state "$s"; done
  rm -rf "$work"
}
trap cleanup EXIT

# The baseline must sit at the same script path, so it is named vidodu.cgi as well.
mkdir -p "$work/shell"
printf '#!/bin/sh\nprintf "Content-Type: text/plain\\r\\n\\r\\nOK\\n"\n' >"$work/shell/vidodu.cgi"
chmod +x "$work/shell/vidodu.cgi"

start() { # NAME CGI [options]; sets $started to the server text (not in a subshell: the
  # list of servers to stop must survive)
  local name=$1 script=$2 out
  shift 2
  servers+=("$work/$name")
  out=$("$source_dir/scripts/local-server.sh" start --state "$work/$name" --root "$work/$name-root" --cgi "$script" "$@")
  started=$(sed -n 's/^SERVER=//p' <<<"$out")
}

rate() { # SERVER PASSWORD -> requests per second
  local server=$1 pass=$2 start end ok
  # One form per transfer: curl sends a command-line -F with the first transfer only.
  for i in $(seq "$requests"); do
    [ "$i" -gt 1 ] && echo next
    printf 'url = "http://%s/vidodu.cgi"\nform = "command=CHECK"\nform = "pass=%s"\n' "$server" "$pass"
  done >"$work/requests"
  start=$(date +%s.%N)
  ok=$(curl -s --no-progress-meter -Z --parallel-max 4 -K "$work/requests" | grep -c '^OK$' || true)
  end=$(date +%s.%N)
  [ "$ok" -eq "$requests" ] || { echo "check-rate.sh: only $ok of $requests answered OK" >&2; exit 1; }
  awk -v n="$requests" -v s="$start" -v e="$end" 'BEGIN { print n / (e - s) }'
}

timed() { # COUNT SERVER FIELDS... -> seconds for COUNT requests one after another; the
  # replies go to $work/replies
  local count=$1 server=$2 start end
  shift 2
  for i in $(seq "$count"); do
    [ "$i" -gt 1 ] && echo next
    echo "url = \"http://$server/vidodu.cgi\""
    printf 'form = "%s"\n' "$@"
  done >"$work/timed"
  start=$(date +%s.%N)
  curl -s --no-progress-meter -K "$work/timed" >"$work/replies"
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { print e - s }'
}

hash=$(echo secret | "$cgi" --hash-password | sed 's/^password_hash = //')
start shell "$work/shell/vidodu.cgi"
shell_server=$started
start open "$cgi" --allow-empty-password
open_server=$started
start hashed "$cgi" --password-hash "$hash"
hashed_server=$started
start fastcgi "$cgi" --fastcgi --password-hash "$hash"
fastcgi_server=$started

rate "$shell_server" "" >/dev/null # warm both up
shell=$(rate "$shell_server" "")
open=$(rate "$open_server" "")
hashed=$(rate "$hashed_server" "secret")
printf 'shell CGI                         %8.1f req/s\n' "$shell"
printf 'vidodu.cgi, empty password        %8.1f req/s  ratio %.2f\n' "$open" "$(awk -v a="$open" -v b="$shell" 'BEGIN { print a / b }')"
printf 'vidodu.cgi, argon2id password     %8.1f req/s  ratio %.2f\n' "$hashed" "$(awk -v a="$hashed" -v b="$shell" 'BEGIN { print a / b }')"
fastcgi=$(rate "$fastcgi_server" "secret")
printf 'FastCGI, argon2id password        %8.1f req/s  ratio %.2f\n' "$fastcgi" "$(awk -v a="$fastcgi" -v b="$shell" 'BEGIN { print a / b }')"

mkdir -p "$work/fastcgi-root/data/many"
for i in $(seq 10000); do : >"$work/fastcgi-root/data/many/file $i.txt"; done
listing=$(timed 50 "$fastcgi_server" command=LISTFILES pass=secret path=data/many)
[ "$(grep -c '^file 1234.txt' "$work/replies")" -eq 50 ] || { echo "check-rate.sh: LISTFILES failed" >&2; exit 1; }
printf 'FastCGI, LISTFILES of 10,000 files %7.1f ms per request\n' "$(awk -v t="$listing" 'BEGIN { print t * 1000 / 50 }')"

head -c 10000000 /dev/urandom >"$work/ten-mb"
round_trip() { # SERVER -> seconds for five saves and read-backs of 10 MB
  local save read
  save=$(timed 5 "$1" command=SAVEFILE pass=secret file=data/ten-mb "content=@$work/ten-mb")
  [ "$(grep -c '^Save OK' "$work/replies")" -eq 5 ] || { echo "check-rate.sh: a save failed" >&2; exit 1; }
  read=$(timed 5 "$1" command=READFILE pass=secret file=data/ten-mb)
  awk -v a="$save" -v b="$read" 'BEGIN { print a + b }'
}
round_trip "$fastcgi_server" >/dev/null # warm up
cgi_trip=$(round_trip "$hashed_server")
fastcgi_trip=$(round_trip "$fastcgi_server")
printf 'save and read back 10 MB: CGI %.0f ms, FastCGI %.0f ms  ratio %.2f\n' \
  "$(awk -v t="$cgi_trip" 'BEGIN { print t * 200 }')" "$(awk -v t="$fastcgi_trip" 'BEGIN { print t * 200 }')" \
  "$(awk -v a="$fastcgi_trip" -v b="$cgi_trip" 'BEGIN { print a / b }')"
