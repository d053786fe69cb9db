#!/usr/bin/env bash
# From start to text on the screen, under Xvfb: the editor (BUILD_DIR/bin/lumeno, a local
# shortcut on its command line) opening a document from vidodu.cgi under lighttpd on 127.0.0.1,
# against bench_open_baseline, a bare Qt program that reads the same text from the local disk,
# decodes it and shows it. The document: 10 MB of Japanese text in UTF-8, about 7.3 MB in code
# page 932 with CR LF line ends. Every program is started fresh; the runs are interleaved.
#
#   bench/open/run-open.sh [BUILD_DIR, default build] [RUNS, default 7] [--fastcgi]
#
# Both programs write the moments they paint into the file named by LUMENO_PAINT_REPORT (the
# editor: app/paintreport.h): "text" when the box first paints text, "loaded" when it first
# paints it in an enabled window, the whole document in. Times are from just before the program
# is started; peak memory is the process's VmHWM once the document is loaded (measure.py). Medians
# of RUNS, and the ratios to the baseline of the same run:
#   baseline    the bare Qt program, the 10 MB text from the local disk
#   lumeno      the editor, the 10 MB document from the server
#   lumeno-1k   the editor, a 1 KB document from the server
#   lumeno-none the editor without a document ("text" then means the empty box painted)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build_dir=$(cd "${1:-$source_dir/build}" && pwd)
runs=${2:-7}
server_options=(--allow-empty-password)
[ "${3:-}" = --fastcgi ] && server_options+=(--fastcgi)
editor=$build_dir/bin/lumeno
cgi=$build_dir/bin/vidodu.cgi
baseline=$build_dir/bin/bench/bench_open_baseline
for program in "$editor" "$cgi" "$baseline"; do
  [ -x "$program" ] || { echo "run-open.sh: no $program (build lumeno, vidodu_cgi and bench_open_baseline)" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  "$source_dir/scripts/local-server.sh" stop --state "$work/server" >/dev/null 2>&1 || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime \
  XDG_STATE_HOME=$work/state QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
mkdir -p -m 700 "$HOME" "$XDG_CONFIG_HOME/Lumeno" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"

root=$work/root
port=$("$source_dir/scripts/local-server.sh" start --state "$work/server" --root "$root" --cgi "$cgi" \
  "${server_options[@]}" | sed -n 's/^PORT=//p')
mkdir -p "$root/data/bench"
python3 - "$root/data/bench" "$work/local.txt" <<'EOF'
import sys
line = "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。 (Natsume, 1905) page 12\r\n"
big = line * (10 * 1000 * 1000 // len(line.encode()))
for path, text in ((sys.argv[1] + "/big.txt", big), (sys.argv[1] + "/small.txt", line * 8), (sys.argv[2], big)):
    open(path, "wb").write(text.encode("cp932"))
EOF
printf '[Setting]\nServer=127.0.0.1:%s\n' "$port" >"$XDG_CONFIG_HOME/Lumeno/Lumeno.ini"
printf 'data/bench\tbig.txt\r\n' >"$work/big.lmk"
printf 'data/bench\tsmall.txt\r\n' >"$work/small.lmk"


# Every start, interleaved: its name, the report line that ends it, the program and arguments.
printf '%s\n' "baseline loaded $baseline $work/local.txt" "lumeno loaded $editor $work/big.lmk" \
  "lumeno-1k loaded $editor $work/small.lmk" "lumeno-none paint $editor" >"$work/starts"
python3 "$here/measure.py" "$work" "$runs"
