#!/usr/bin/env bash
# Many editors at once against one vidodu.cgi under lighttpd on 127.0.0.1: CLIENTS processes of
# load_client open, save and list the same FILES files for SECONDS, through the editor's own
# protocol layer. Fails when a request that should have succeeded failed, when a read, a
# listing or a final file was torn, or when a save left a temporary file behind.
#
#   bench/load/run-load.sh [BUILD_DIR, default build] [SECONDS, default 60] [CLIENTS, default 50]
#
# Phases, each on a fresh server:
#   baseline  CHECK only (the cheapest request the script answers), SECONDS/4, empty password
#   edit      open/save/list, SECONDS, the empty password from loopback (no argon2 per request)
#   password  open/save/list, SECONDS/4, a real argon2id password (hash and throttle file each time)
# The rates are requests per second; edit and password are also given as ratios to baseline.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build_dir=$(cd "${1:-$source_dir/build}" && pwd)
seconds=${2:-60}
clients=${3:-50}
files=10
client=$build_dir/bin/bench/load_client
cgi=$build_dir/bin/vidodu.cgi
for program in "$client" "$cgi"; do
  [ -x "$program" ] || { echo "run-load.sh: no $program (build the load_client and vidodu_cgi targets)" >&2; exit 1; }
done

work=$(mktemp -d)
servers=()
cleanup() {
  for s in "${servers[@]}"; do "$source_dir/scripts/local-server.sh" stop --state "$s"; done
  rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen

start_server() { # NAME [options]; sets $server and $root
  local name=$1 out
  shift
  servers+=("$work/$name")
  root=$work/$name-root
  out=$("$source_dir/scripts/local-server.sh" start --state "$work/$name" --root "$root" --cgi "$cgi" "$@")
  server=$(sed -n 's/^SERVER=//p' <<<"$out")
}

failed=0
complain() {
  echo "run-load.sh: $*" >&2
  failed=1
}

# phase NAME MIX SECONDS PASSWORD: runs the clients, checks their logs, prints the figures.
phase() {
  local name=$1 mix=$2 secs=$3 pass=$4 start end n logs
  logs=$work/logs-$name
  mkdir -p "$logs"
  "$client" init "$server" "$pass" "$files" || complain "$name: the files could not be made"
  start=$(date +%s.%N)
  pids=()
  for n in $(seq "$clients"); do
    "$client" run "$server" "$pass" "$files" "$n" "$secs" "$mix" "$logs/$n.log" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || complain "$name: a client ended with an error"; done
  end=$(date +%s.%N)
  cat "$logs"/*.log >"$work/$name.all"
  awk '$3 == "ok" && $1 == "save" { print $4, $5, $6 }' "$work/$name.all" >"$work/$name.saved"
  "$client" verify "$server" "$pass" "$files" "$work/$name.saved" || complain "$name: a file is torn or unknown"
  leftovers=$(find "$root/data" -name '.vidodu-save-*' | wc -l)
  [ "$leftovers" -eq 0 ] || complain "$name: $leftovers temporary files left behind"
  awk -v name="$name" -v s="$start" -v e="$end" -v clients="$clients" '
    { n[$1]++; all++; if ($3 != "ok") bad[$1 " " $3]++ }
    END {
      printf "%s: %d clients, %.1f s, %d requests, %.1f requests/s", name, clients, e - s, all, all / (e - s)
      for (op in n) printf ", %s %d", op, n[op]
      printf "\n"
      for (k in bad) printf "%s: %d %s\n", name, bad[k], k
    }' "$work/$name.all" | tee "$work/$name.summary"
  # Milliseconds per request of each kind: median, 95th percentile, worst.
  for op in check open save list; do
    grep "^$op " "$work/$name.all" | awk '{ print $2 }' | sort -n >"$work/$name.$op" || true
    n=$(wc -l <"$work/$name.$op")
    [ "$n" -gt 0 ] || continue
    printf '%s: %s ms median %s, p95 %s, max %s\n' "$name" "$op" \
      "$(sed -n "$(((n + 1) / 2))p" "$work/$name.$op")" "$(sed -n "$(((n * 95 + 99) / 100))p" "$work/$name.$op")" \
      "$(tail -n 1 "$work/$name.$op")"
  done
  if grep -qv ' ok' "$work/$name.all"; then complain "$name: requests failed or came back torn"; fi
  rate=$(awk -v s="$start" -v e="$end" 'END { printf "%.1f", NR / (e - s) }' "$work/$name.all")
}

start_server baseline --allow-empty-password
phase baseline check $((seconds / 4)) ""
baseline_rate=$rate

start_server edit --allow-empty-password
phase edit edit "$seconds" ""
edit_rate=$rate

hash=$(echo load_pass | "$cgi" --hash-password | sed 's/^password_hash = //')
start_server password --password-hash "$hash"
phase password edit $((seconds / 4)) load_pass
password_rate=$rate

awk -v b="$baseline_rate" -v e="$edit_rate" -v p="$password_rate" 'BEGIN {
  printf "ratios to CHECK with the empty password: open/save/list %.2f, the same with a real password %.3f\n", e / b, p / b }'
[ "$failed" -eq 0 ] && echo "run-load.sh: no failed request, no torn read, listing or file, no leftover"
exit "$failed"
