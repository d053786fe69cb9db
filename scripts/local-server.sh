#!/usr/bin/env bash
# A local lighttpd that runs vidodu.cgi at http://127.0.0.1:PORT/vidodu.cgi (https:// with
# --tls-cert), for tests and `make run`. Everything it writes (lighttpd.conf, vidodu.conf, logs,
# pid) goes into STATE.
#
#   local-server.sh run   --state DIR --root DIR [options]  writes the configuration, prints
#                         SERVER=127.0.0.1:PORT, then becomes lighttpd in the foreground
#   local-server.sh start --state DIR --root DIR [options]  starts it in the background, waits
#                         until it answers and prints SERVER=, PORT=, PID= lines
#   local-server.sh stop  --state DIR                       stops what start started
#
# options:
#   --cgi PATH             the vidodu.cgi to run (default: build/bin/vidodu.cgi of this tree)
#   --port N               this port exactly (default: a free one)
#   --from-port N          N, or the next free port after it
#   --password-hash HASH   the password_hash line of vidodu.conf
#   --allow-empty-password accept the empty password from 127.0.0.1
#   --max-request-bytes N  the largest request body (default 67108864)
#   --fastcgi              run vidodu.cgi as one FastCGI process (mod_fastcgi with bin-path)
#                          instead of a CGI program per request
#   --tls-cert FILE        serve https with this certificate (PEM; lighttpd-mod-openssl) ...
#   --tls-key FILE         ... and this private key (default: the key in the --tls-cert file)
#   --log-requests         write the head of every request it receives into STATE/error.log
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Debian installs lighttpd in /usr/sbin, which is not on a normal user's PATH.
PATH=$PATH:/usr/sbin:/sbin

die() {
  echo "local-server.sh: $*" >&2
  exit 1
}

action=${1:-}
[ $# -gt 0 ] && shift
state="" root="" cgi="$here/../build/bin/vidodu.cgi" port="" from_port=""
password_hash="" allow_empty=0 max_bytes=67108864 tls_cert="" tls_key="" log_requests=0 fastcgi=0
while [ $# -gt 0 ]; do
  case "$1" in
    --state) state=$2; shift 2 ;;
    --root) root=$2; shift 2 ;;
    --cgi) cgi=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    --from-port) from_port=$2; shift 2 ;;
    --password-hash) password_hash=$2; shift 2 ;;
    --allow-empty-password) allow_empty=1; shift ;;
    --max-request-bytes) max_bytes=$2; shift 2 ;;
    --fastcgi) fastcgi=1; shift ;;
    --tls-cert) tls_cert=$(realpath "$2"); shift 2 ;;
    --tls-key) tls_key=$(realpath "$2"); shift 2 ;;
    --log-requests) log_requests=1; shift ;;
    *) die "unknown option $1" ;;
  esac
done
[ -n "$state" ] || die "--state is required"

port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

choose_port() {
  local p
  if [ -n "$port" ]; then
    echo "$port"
  elif [ -n "$from_port" ]; then
    p=$from_port
    while port_in_use "$p"; do
      p=$((p + 1))
      [ "$p" -le 65535 ] || die "no free port from $from_port"
    done
    echo "$p"
  else
    for _ in $(seq 100); do
      p=$((20000 + RANDOM % 40000))
      port_in_use "$p" || { echo "$p"; return; }
    done
    die "no free port found"
  fi
}

write_config() {
  local p=$1
  [ -n "$root" ] || die "--root is required"
  [ -x "$cgi" ] || die "no executable vidodu.cgi at $cgi (build first)"
  command -v lighttpd >/dev/null || die "lighttpd is missing (make deps)"
  [[ "$max_bytes" =~ ^[0-9]+$ ]] || die "--max-request-bytes takes a number"
  mkdir -p "$state/htdocs" "$state/uploads" "$root"
  state=$(cd "$state" && pwd)
  root=$(cd "$root" && pwd)
  cgi=$(cd "$(dirname "$cgi")" && pwd)/$(basename "$cgi")
  {
    echo "# Written by scripts/local-server.sh"
    echo "root = $root"
    echo "password_hash = $password_hash"
    [ "$allow_empty" = 1 ] && echo "allow_empty_password_from = 127.0.0.1"
    echo "max_request_bytes = $max_bytes"
  } >"$state/vidodu.conf"
  # As in packaging/server/lighttpd.conf (CGI) and lighttpd-fastcgi.conf: the script's path
  # and everything below it. One FastCGI process, so that tests can watch it.
  local modules='"mod_alias", "mod_cgi", "mod_setenv"' gateway
  gateway="    alias.url = (\"/vidodu.cgi\" => \"$cgi\")
    cgi.assign = (\"\" => \"\")"
  if [ "$fastcgi" = 1 ]; then
    modules='"mod_fastcgi", "mod_setenv"'
    gateway="    fastcgi.server = (\"/vidodu.cgi\" => ((\"socket\" => \"$state/vidodu.socket\",
        \"bin-path\" => \"$cgi\", \"max-procs\" => 1, \"check-local\" => \"disable\")))"
  fi
  # lighttpd counts the request size in KiB; its limit must not cut below the script's.
  [ -z "$tls_cert" ] || modules+=', "mod_openssl"'
  cat >"$state/lighttpd.conf" <<EOF
# Written by scripts/local-server.sh
server.modules = ($modules)
server.bind = "127.0.0.1"
server.port = $p
server.document-root = "$state/htdocs"
server.errorlog = "$state/error.log"
server.upload-dirs = ("$state/uploads")
server.max-request-size = $(((max_bytes + 1023) / 1024 + 1))
setenv.add-environment = ("VIDODU_CONF" => "$state/vidodu.conf")
# Host headers reach the script as sent, so that tests meet the script's own rule for them.
server.http-parseopts = ("host-strict" => "disable", "host-normalize" => "disable")
\$HTTP["url"] =~ "^/vidodu\\.cgi(/|\$)" {
$gateway
}
EOF
  if [ -n "$tls_cert" ]; then
    [ -f /usr/lib/lighttpd/mod_openssl.so ] || die "lighttpd-mod-openssl is missing (make deps)"
    printf 'ssl.engine = "enable"\nssl.pemfile = "%s"\n' "$tls_cert" >>"$state/lighttpd.conf"
    [ -z "$tls_key" ] || printf 'ssl.privkey = "%s"\n' "$tls_key" >>"$state/lighttpd.conf"
  fi
  [ "$log_requests" = 0 ] || echo 'debug.log-request-header = "enable"' >>"$state/lighttpd.conf"
  return 0
}

# Ours answers: lighttpd logged its start (so it holds the port) and the port answers HTTP.
answers() {
  local scheme=http
  [ -z "$tls_cert" ] || scheme=https
  grep -q 'server started' "$state/error.log" 2>/dev/null &&
    curl -sk --noproxy '*' -o /dev/null --max-time 2 "$scheme://127.0.0.1:$1/" 2>/dev/null
}

fresh_log() {
  [ -f "$state/error.log" ] && mv "$state/error.log" "$state/error.log.old"
  return 0
}

case "$action" in
  run)
    p=$(choose_port)
    write_config "$p"
    fresh_log
    echo "SERVER=127.0.0.1:$p"
    exec lighttpd -D -f "$state/lighttpd.conf"
    ;;
  start)
    for attempt in 1 2 3 4 5; do
      p=$(choose_port)
      write_config "$p"
      fresh_log
      lighttpd -D -f "$state/lighttpd.conf" </dev/null >>"$state/lighttpd.log" 2>&1 &
      pid=$!
      echo "$pid" >"$state/lighttpd.pid"
      for _ in $(seq 200); do
        answers "$p" && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
      done
      if kill -0 "$pid" 2>/dev/null && answers "$p"; then
        echo "SERVER=127.0.0.1:$p"
        echo "PORT=$p"
        echo "PID=$pid"
        exit 0
      fi
      kill "$pid" 2>/dev/null || true
      rm -f "$state/lighttpd.pid"
      # Another program took the port between the look and the bind: try another one.
      [ -z "$port" ] || break
    done
    die "lighttpd did not start; see $state/error.log and $state/lighttpd.log"
    ;;
  stop)
    [ -f "$state/lighttpd.pid" ] || exit 0
    pid=$(cat "$state/lighttpd.pid")
    kill "$pid" 2>/dev/null || true
    # Gone, or a zombie waiting for a parent that is no longer ours to wait for.
    for _ in $(seq 100); do
      [ -e "/proc/$pid" ] || break
      grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null && break
      sleep 0.05
    done
    rm -f "$state/lighttpd.pid"
    ;;
  *)
    sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
