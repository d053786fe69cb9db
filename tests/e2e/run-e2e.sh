#!/usr/bin/env bash
# The real lumeno on a virtual X display against the real vidodu.cgi under lighttpd, driven
# like a person drives it: keys and mouse clicks through xdotool, Japanese text typed and
# pasted, the editor's text read back by selecting all and copying. Checks the server's files
# byte for byte and the settings store. A screenshot of every step goes to OUTPUT_DIR.
#
#   tests/e2e/run-e2e.sh BIN_DIR OUTPUT_DIR
#
# BIN_DIR holds lumeno and vidodu.cgi. Exits 77 (skipped) when Xvfb, xdotool, xclip or
# ImageMagick's import is missing.
set -euo pipefail

bin_dir=$(cd "$1" && pwd)
out=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
for tool in Xvfb xdotool xclip import iconv; do
  command -v "$tool" >/dev/null || { echo "run-e2e.sh: $tool is missing: skipped"; exit 77; }
done

rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
xvfb_pid="" lumeno_pid="" server_state="$work/server" step_number=0 main=""

cleanup() {
  if [ -n "$lumeno_pid" ]; then kill "$lumeno_pid" 2>/dev/null || true; fi
  "$source_dir/scripts/local-server.sh" stop --state "$server_state" 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

shot() {
  step_number=$((step_number + 1))
  import -window root "$(printf '%s/%02d-%s.png' "$out" "$step_number" "$1")" 2>/dev/null || true
}

fail() {
  echo "run-e2e.sh: FAILED: $*" >&2
  shot failed
  for log in "$out"/lumeno-*.log; do [ -s "$log" ] && { echo "--- $log"; cat "$log"; } >&2; done
  echo "run-e2e.sh: screenshots in $out" >&2
  exit 1
}

# until SECONDS DESCRIPTION COMMAND...: polls the command every 0.1 s.
until_true() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "waited $seconds s for $what"
    sleep 0.1
  done
}

# --- the display, the server and the user's folders -----------------------------------------
# -noreset: an X server resets when its last client leaves, and refuses the next editor while
# it does.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
until_true 20 "Xvfb" test -s "$work/display"
export DISPLAY=":$(cat "$work/display")"

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Lumeno" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

root=$work/root
start_server() { # [--port N]
  local started
  started=$("$source_dir/scripts/local-server.sh" start --state "$server_state" --root "$root" \
    --cgi "$bin_dir/vidodu.cgi" --allow-empty-password "$@") || fail "lighttpd did not start"
  port=$(sed -n 's/^PORT=//p' <<<"$started")
}
start_server
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
mkdir -p "$root/data/手紙"
sjis $'前の文\r\n' >"$root/data/手紙/下書き.txt"
ini=$XDG_CONFIG_HOME/Lumeno/Lumeno.ini
printf '[Setting]\nServer=127.0.0.1:%s\n' "$port" >"$ini"
sjis $'data/手紙\t下書き.txt\r\n' >"$HOME/下書き.lmk"

# --- driving the editor ------------------------------------------------------------------------
run=0
start_lumeno() { # ARGS...: starts the editor and waits for its window
  run=$((run + 1))
  "$bin_dir/lumeno" "$@" >"$out/lumeno-$run.log" 2>&1 &
  lumeno_pid=$!
  until_true 30 "the main window" visible Lumeno
  main=$(xdotool search --onlyvisible --name '^Lumeno$' | head -n 1)
}

quit_lumeno() { # through the File menu's 終了(&Q)
  focus_main
  xdotool key alt+f q   # the editor reads keys in order: q goes to the open menu
  until_true 30 "the editor to end" gone "$lumeno_pid"
  wait "$lumeno_pid" || fail "lumeno ended with status $?"
  lumeno_pid=""
}

gone() { ! kill -0 "$1" 2>/dev/null; }
visible() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
window_count() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l; }
more_than() { [ "$(window_count "$1")" -gt "$2" ]; }
at_most() { [ "$(window_count "$1")" -le "$2" ]; }
gone_window() { ! visible "$1"; }

# Without a window manager nobody hands the focus back when a dialog closes: do what one does.
focus_main() { xdotool windowfocus --sync "$main"; }

# The dialog named $1, once it is shown and has the focus.
dialog() {
  until_true 30 "the window $1" visible "$1"
  dialog_id=$(xdotool search --onlyvisible --name "^$1\$" | head -n 1)
  xdotool windowfocus --sync "$dialog_id"
}

# A message or input box: titled Lumeno like the main window, and not the main window. (Its
# text is not readable from outside on X: the screenshot shows it; tests/app check the texts.)
message_box() {
  until_true 60 "$1" more_than Lumeno 1
  dialog_id=$(xdotool search --onlyvisible --name '^Lumeno$' | grep -vx "$main" | head -n 1)
  xdotool windowfocus --sync "$dialog_id"
}

# A dialog disables itself while its request waits for the server, and keys or clicks sent
# then are lost. Idle again when its name label is drawn in the enabled (dark) colour.
dialog_idle() {
  local height darkest
  height=$(xdotool getwindowgeometry --shell "$dialog_id" | sed -n 's/^HEIGHT=//p')
  darkest=$(import -window "$dialog_id" -crop "70x14+10+$((height - 30))" -colorspace Gray -format '%[fx:minima]' info:)
  awk -v v="$darkest" 'BEGIN { exit !(v < 0.4) }'
}
settle() { until_true 30 "the dialog's request" dialog_idle; }
keys() { # each key, once the dialog is idle again
  for key in "$@"; do
    settle
    xdotool key "$key"
  done
  settle
}

click() { # X Y within the dialog; a negative X counts from its right edge
  local x=$1 width
  if [ "$x" -lt 0 ]; then
    width=$(xdotool getwindowgeometry --shell "$dialog_id" | sed -n 's/^WIDTH=//p')
    x=$((width + x))
  fi
  settle
  xdotool mousemove --window "$dialog_id" "$x" "$2" click 1
  settle
}

to_clipboard() {
  # xclip stays behind to serve the text: it must not hold the test's output open.
  printf '%s' "$1" | xclip -selection clipboard >/dev/null 2>&1
  until_true 10 "the clipboard" clipboard_is "$1"
}
clipboard_is() { # keeping trailing line breaks
  local got
  got=$(xclip -o -selection clipboard 2>/dev/null; printf x)
  [ "${got%x}" = "$1" ]
}

# The editor's whole text, through select all and copy (line breaks as LF).
editor_text_is() {
  focus_main
  to_clipboard "(nothing copied)"
  xdotool key ctrl+a ctrl+c
  local copied=0
  for _ in $(seq 50); do
    clipboard_is "(nothing copied)" || { copied=1; break; }
    sleep 0.1
  done
  xdotool key ctrl+End
  [ "$copied" = 1 ] && clipboard_is "$1"
}

file_is() { # PATH under data, the expected text (UTF-8, CR LF line breaks)
  [ -f "$root/data/$1" ] && cmp -s "$root/data/$1" <(sjis "$2")
}

setting_is() { # SECTION KEY VALUE
  awk -v s="[$1]" -v k="$2" -v v="$3" '
    /^\[/ { section = $0 }
    section == s && index($0, k "=") == 1 { found = (substr($0, length(k) + 2) == v) }
    END { exit !found }' "$ini"
}

# The file browser: its root node, the first row of its file list, and the toolbar's
# "newfolder" button (the toolbar sits at the top right; its buttons keep their place from the
# dialog's right edge).
root_node_x=70 root_node_y=57 first_file_x=240 first_file_y=75 newfolder_x=-144 newfolder_y=26

# --- 1. open a document by its shortcut, given on the command line --------------------------
start_lumeno "$HOME/下書き.lmk"
until_true 30 "the shortcut's document in the editor" editor_text_is $'前の文\n'
shot opened-by-shortcut

# --- 2. type ASCII and Japanese, paste Japanese, save with Ctrl+S ---------------------------
focus_main
xdotool key ctrl+End
xdotool type --delay 20 'Hello, world'
xdotool key Return
# xdotool types characters outside the keyboard map by remapping a key for each one, and the
# editor may see a key before it has read the new map: Japanese goes through the clipboard.
to_clipboard 'にほんご漢字ｶﾀｶﾅ'
focus_main
xdotool key ctrl+v Return
to_clipboard '貼り付けた文。①'
focus_main
xdotool key alt+e p   # the Edit menu's 貼り付け(&P)
text1=$'前の文\r\nHello, world\r\nにほんご漢字ｶﾀｶﾅ\r\n貼り付けた文。①'
until_true 10 "the typed text" editor_text_is "${text1//$'\r'/}"
shot typed
xdotool key ctrl+s
until_true 30 "the saved file" file_is 手紙/下書き.txt "$text1"
shot saved

# --- 3. the server stops during the next save: a message, the text stays, saved once back ---
"$source_dir/scripts/local-server.sh" stop --state "$server_state"
focus_main
to_clipboard '追記'
focus_main
xdotool key Return ctrl+v
text2="$text1"$'\r\n追記'
xdotool key ctrl+s
message_box "the failure message"
shot save-failed-message
xdotool key Return
until_true 10 "the message to close" at_most Lumeno 1
file_is 手紙/下書き.txt "$text1" || fail "the failed save changed the file"
editor_text_is "${text2//$'\r'/}" || fail "the text did not stay after the failed save"
start_server --port "$port"
focus_main
xdotool key ctrl+s
until_true 30 "the save once the server is back" file_is 手紙/下書き.txt "$text2"
shot saved-after-restart-of-server

# --- 4. save under a new name into a new folder, through the file browser ------------------
focus_main
xdotool key F12
dialog ファイルの保存
shot save-browser
click "$root_node_x" "$root_node_y"   # the folder buttons act on the selected folder
click "$newfolder_x" "$newfolder_y"
message_box "the folder name box"
to_clipboard '清書'
xdotool windowfocus --sync "$dialog_id"
xdotool key ctrl+v
shot new-folder-name
xdotool key Return
until_true 30 "the new folder" test -d "$root/data/清書"
until_true 10 "the name box to close" at_most Lumeno 1
dialog ファイルの保存
click "$root_node_x" "$root_node_y"
keys Right Down Down   # open data, then 手紙, then 清書 (names sort by their bytes)
to_clipboard '完成稿.txt'
xdotool windowfocus --sync "$dialog_id"
xdotool key alt+n ctrl+v
shot save-as-name
xdotool key Return
until_true 30 "the file saved under its new name" file_is 清書/完成稿.txt "$text2"
until_true 10 "the browser to close" gone_window ファイルの保存
shot saved-as

# --- 5. quit through the menu; the settings store keeps the server and the recent file -----
quit_lumeno
for expected in "Setting Server 127.0.0.1:$port" "Setting Wrap True" "History Count 1" \
  "History Path1 data/手紙" "History File1 下書き.txt" "History File2 " "UpdateInfo CurrentVersion 1.00.0000"; do
  read -r section key value <<<"$expected"
  setting_is "$section" "$key" "$value" || fail "the settings store lacks $key=$value in [$section]: $(cat "$ini")"
done
grep -q '^Width=[0-9]' "$ini" || fail "no window width in the settings store"

# --- 6. after a restart, reopen from the recent-files menu, then open the new file ---------
start_lumeno
focus_main
xdotool key alt+f Up Up Right   # 終了 is last, the recent files just above it
shot recent-files-menu
xdotool key Return
until_true 30 "the recent file in the editor" editor_text_is "${text2//$'\r'/}"
shot reopened-from-recent-files
focus_main
xdotool key ctrl+o
dialog ファイルを開く
click "$root_node_x" "$root_node_y"
keys Right Down Down   # to 清書
click "$first_file_x" "$first_file_y"
shot open-browser
xdotool key Return   # the default button, 開く(&O)
until_true 30 "the new file in the editor" editor_text_is "${text2//$'\r'/}"
shot opened-new-file
quit_lumeno
for expected in "History Count 2" "History Path2 data/清書" "History File2 完成稿.txt"; do
  read -r section key value <<<"$expected"
  setting_is "$section" "$key" "$value" || fail "the settings store lacks $key=$value in [$section]: $(cat "$ini")"
done

# --- 7. shortcut files that name nothing usable -------------------------------------------
: >"$HOME/empty.lmk"
head -c 4096 /dev/urandom | tr -d '\t\r\n' >"$HOME/binary.lmk"
truncate -s 200M "$HOME/huge.lmk"   # zeros, no TAB in its first line
for shortcut in missing empty binary huge; do
  start=$SECONDS
  start_lumeno "$HOME/$shortcut.lmk"
  [ $((SECONDS - start)) -lt 20 ] || fail "$shortcut.lmk: the window took $((SECONDS - start)) s"
  # Ignored without a message: the window answers at once, the document is untitled.
  focus_main
  xdotool key F12
  dialog ファイルの保存
  shot "shortcut-$shortcut-ignored"
  xdotool key Escape
  until_true 10 "the browser to close" gone_window ファイルの保存
  [ "$(window_count Lumeno)" -eq 1 ] || fail "$shortcut.lmk: a message came up"
  quit_lumeno
done
# A shortcut naming a file the server does not have: the message, then an untitled editor.
sjis $'data/手紙\tない.txt\r\n' >"$HOME/absent.lmk"
start_lumeno "$HOME/absent.lmk"
message_box "the failure message"
shot shortcut-absent-file-message
xdotool key Return
until_true 10 "the message to close" at_most Lumeno 1
quit_lumeno

echo "run-e2e.sh: all steps passed; screenshots in $out"
