#!/usr/bin/env bash
# The real lumeno on a virtual X display against the real vidodu.cgi under lighttpd, driven
# like a person drives it: keys and mouse clicks through xdotool, Japanese text pasted, the
# editor's text read back by selecting all and copying, over https to a server with a certificate
# of its own, trusted once in the settings dialog. Checks the server's files byte for byte and the
# settings store. Screenshots of the message boxes and of a failure go to OUTPUT_DIR.
#
#   tests/e2e/run-e2e.sh BIN_DIR OUTPUT_DIR
#
# BIN_DIR holds lumeno and vidodu.cgi. Exits 77 (skipped) when Xvfb, xdotool, xclip or
# ImageMagick's import is missing.
set -euo pipefail

bin_dir=$(cd "$1" && pwd)
out=$2
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
for tool in Xvfb xdotool xclip import iconv; do
  command -v "$tool" >/dev/null || { echo "run-e2e.sh: $tool is missing: skipped"; exit 77; }
done
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
xvfb_pid="" lumeno_pid="" second_pid="" server_state="$work/server" root="$work/root" main="" run=0

cleanup() {
  [ -z "$lumeno_pid" ] || kill "$lumeno_pid" 2>/dev/null || true
  [ -z "$second_pid" ] || kill "$second_pid" 2>/dev/null || true
  "$source_dir/scripts/local-server.sh" stop --state "$server_state" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

shot() { import -window root "$out/$1.png" 2>/dev/null || true; }

fail() {
  echo "run-e2e.sh: FAILED: $*" >&2
  shot failed
  for log in "$out"/lumeno-*.log; do [ -s "$log" ] && { echo "--- $log"; cat "$log"; } >&2; done
  exit 1
}

# until_true SECONDS DESCRIPTION COMMAND...: polls the command every 0.1 s.
until_true() {
  local deadline=$((SECONDS + $1)) what=$2
  shift 2
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "waited for $what"
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
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime \
  XDG_STATE_HOME=$work/state
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
mkdir -p -m 700 "$HOME" "$XDG_CONFIG_HOME/Lumeno" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"

certs=$work/certs
"$source_dir/scripts/make-certificates.sh" "$certs" || fail "openssl could not make the certificates"
start_server() { # [--port N]
  port=$("$source_dir/scripts/local-server.sh" start --state "$server_state" --root "$root" \
    --cgi "$bin_dir/vidodu.cgi" --allow-empty-password --tls-cert "$certs/self-signed.pem" \
    --tls-key "$certs/self-signed.key" "$@" | sed -n 's/^PORT=//p') || fail "lighttpd did not start"
}
start_server
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
mkdir -p "$root/data/手紙"
sjis $'前の文\r\n' >"$root/data/手紙/下書き.txt"
ini=$XDG_CONFIG_HOME/Lumeno/Lumeno.ini
printf '[Setting]\nServer=127.0.0.1:%s\n' "$port" >"$ini"
sjis $'data/手紙\t下書き.txt\r\n' >"$HOME/下書き.lmk"

# --- driving the editor ------------------------------------------------------------------------
windows() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l; }
more_than() { [ "$(windows "$1")" -gt "$2" ]; }
at_most() { [ "$(windows "$1")" -le "$2" ]; }

start_lumeno() { # ARGS...: starts the editor and waits for its window
  run=$((run + 1))
  "$bin_dir/lumeno" "$@" >"$out/lumeno-$run.log" 2>&1 &
  lumeno_pid=$!
  until_true 30 "the main window" more_than Lumeno 0
  main=$(xdotool search --onlyvisible --name '^Lumeno$' | head -n 1)
}

exited() { ! ps -o stat= -p "$1" | grep -qv '^Z'; } # gone, or a zombie not yet waited for

# Without a window manager nobody hands the focus back when a dialog closes: do what one does.
focus_main() { xdotool windowfocus --sync "$main"; }

# TITLE [SCREENSHOT]: the window so titled that is not the main window, once shown, given the
# focus. A message or input box is titled Lumeno like the main window; its text is not readable
# from outside on X: the screenshot shows it, tests/app check the texts.
dialog() {
  local main_too=0
  [ "$1" != Lumeno ] || main_too=1
  until_true 60 "the window $1" more_than "$1" "$main_too"
  dialog_id=$(xdotool search --onlyvisible --name "^$1\$" | grep -vx "$main" | head -n 1)
  xdotool windowfocus --sync "$dialog_id"
  [ -z "${2:-}" ] || shot "$2"
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
# The main window, disabled while it reads a file, takes no activation meanwhile: its file-name
# panel is drawn in the enabled (dark) colour once it is idle again.
main_idle() {
  local height darkest
  height=$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^HEIGHT=//p')
  darkest=$(import -window "$main" -crop "70x12+6+$((height - 20))" -colorspace Gray -format '%[fx:minima]' info:)
  awk -v v="$darkest" 'BEGIN { exit !(v < 0.4) }'
}
click() { # X Y within the dialog; a negative X counts from its right edge
  local x=$1
  [ "$x" -ge 0 ] || x=$(($(xdotool getwindowgeometry --shell "$dialog_id" | sed -n 's/^WIDTH=//p') + x))
  settle
  xdotool mousemove --window "$dialog_id" "$x" "$2" click 1
  settle
}

clipboard_is() { # keeping trailing line breaks
  local got
  got=$(xclip -o -selection clipboard 2>/dev/null; printf x)
  [ "${got%x}" = "$1" ]
}
# xdotool types characters outside the keyboard map by remapping a key for each one, and the
# editor may see a key before it has read the new map: Japanese goes through the clipboard.
paste() { # TEXT [KEYS]: pasted into the window with the focus, then the keys
  # xclip stays behind to serve the text: it must not hold the test's output open.
  printf '%s' "$1" | xclip -selection clipboard >/dev/null 2>&1
  until_true 10 "the clipboard" clipboard_is "$1"
  xdotool windowfocus --sync "${dialog_id:-$main}" key ctrl+v ${2:-}
}

# The editor's whole text, through select all and copy (line breaks as LF).
editor_text_is() {
  focus_main
  printf '(nothing copied)' | xclip -selection clipboard >/dev/null 2>&1
  until_true 10 "the clipboard" clipboard_is "(nothing copied)"
  xdotool key ctrl+a ctrl+c # an empty box copies nothing
  for _ in $(seq 50); do clipboard_is "(nothing copied)" && sleep 0.1 || break; done
  xdotool key ctrl+End
  clipboard_is "$1"
}

file_is() { # PATH under data, the expected text (UTF-8, CR LF line breaks)
  [ -f "$root/data/$1" ] && cmp -s "$root/data/$1" <(sjis "$2")
}

# The file browser: its root node, the first row of its file list and the toolbar's buttons (the
# toolbar sits at the top right; its buttons keep their place from the dialog's right edge).
root_node_x=70 root_node_y=57 file_row_x=280 file_row_y=72
newfolder_x=-211 deletefile_x=-119 deleted_x=-27 newfolder_y=26

# --- 0. choose https; OK meets the server's own certificate, which the user trusts ---------
start_lumeno
focus_main
xdotool key alt+c s
dialog サーバ設定
xdotool key shift+Tab Down Return # the scheme stands before the address; OK is the default
dialog Lumeno trust-question
xdotool key y # はい(&Y); No is the default
until_true 30 "the settings dialog to close" at_most サーバ設定 0
focus_main
xdotool key alt+f q
until_true 30 "the editor to quit" exited "$lumeno_pid"
wait "$lumeno_pid" || fail "lumeno ended with status $?"
dialog_id="" # the keys go to the main window again

# --- 1. open a document by its shortcut, given on the command line --------------------------
start_lumeno "$HOME/下書き.lmk"
until_true 30 "the shortcut's document in the editor" editor_text_is $'前の文\n'

# --- 2. type ASCII, paste Japanese, save with Ctrl+S ----------------------------------------
xdotool key ctrl+End type --delay 20 'Hello, world'
xdotool key Return
paste 'にほんご漢字ｶﾀｶﾅ' Return
paste '貼り付けた文。①'
text1=$'前の文\r\nHello, world\r\nにほんご漢字ｶﾀｶﾅ\r\n貼り付けた文。①'
until_true 10 "the typed text" editor_text_is "${text1//$'\r'/}"
xdotool key ctrl+s
until_true 30 "the saved file" file_is 手紙/下書き.txt "$text1"

# --- 3. the server stops during the next save: a message, the text stays, saved once back ---
"$source_dir/scripts/local-server.sh" stop --state "$server_state"
xdotool key Return
paste '追記' ctrl+s
text2="$text1"$'\r\n追記'
dialog Lumeno save-failed-message
xdotool key Return
until_true 10 "the message to close" at_most Lumeno 1
file_is 手紙/下書き.txt "$text1" || fail "the failed save changed the file"
until_true 10 "the text after the failed save" editor_text_is "${text2//$'\r'/}"
start_server --port "$port"
xdotool key ctrl+s
until_true 30 "the save once the server is back" file_is 手紙/下書き.txt "$text2"

# --- 3b. a second editor saves the same document first: the first asks before replacing it --
first=$main
"$bin_dir/lumeno" "$HOME/下書き.lmk" >"$out/lumeno-second.log" 2>&1 &
second_pid=$!
until_true 30 "the second editor" more_than Lumeno 1
main=$(xdotool search --onlyvisible --name '^Lumeno$' | grep -vx "$first" | head -n 1)
until_true 30 "the document in the second editor" editor_text_is "${text2//$'\r'/}"
other="$text2"$'\r\nよその清書'
xdotool key Return
dialog_id=
paste 'よその清書' ctrl+s
until_true 30 "the second editor's save" file_is 手紙/下書き.txt "$other"
xdotool key alt+f q
until_true 30 "the second editor to quit" exited "$second_pid"
main=$first
focus_main
xdotool key Return
dialog_id= # the message box is gone: paste into the main window
paste '最終稿' ctrl+s
text3="$text2"$'\r\n最終稿'
dialog Lumeno conflict-question
xdotool key Return # Cancel is the default: the text stays unsaved
until_true 10 "the question to close" at_most Lumeno 1
file_is 手紙/下書き.txt "$other" || fail "the conflict replaced the second editor's file unasked"
focus_main
xdotool key ctrl+s
dialog Lumeno
xdotool key alt+o # 上書き(&O)
until_true 30 "the file replaced once the user said so" file_is 手紙/下書き.txt "$text3"
focus_main

# --- 4. save under a new name into a new folder, through the file browser ------------------
xdotool key F12
dialog ファイルの保存
click "$root_node_x" "$root_node_y" # the folder buttons act on the selected folder
click "$newfolder_x" "$newfolder_y"
dialog Lumeno new-folder-name
paste '清書' Return
until_true 30 "the new folder" test -d "$root/data/清書"
until_true 10 "the name box to close" at_most Lumeno 1
dialog ファイルの保存
click "$root_node_x" "$root_node_y"
# Open data, then 手紙, then 清書 (names sort by their bytes), then the name box, each once the
# browser is idle.
for key in Right Down Down alt+n; do settle && xdotool key "$key"; done
paste '完成稿.txt' Return
until_true 30 "the file saved under its new name" file_is 清書/完成稿.txt "$text3"
until_true 10 "the browser to close" at_most ファイルの保存 0

# --- 4b. delete a file in the browser, bring it back from its folder's deleted list, open it --
focus_main
xdotool key ctrl+n ctrl+o # from an empty box: the text afterwards is the reopened file's
dialog ファイルを開く
click "$root_node_x" "$root_node_y"
for key in Right Down Down; do settle && xdotool key "$key"; done # to 清書, as above
click "$file_row_x" "$file_row_y"
click "$deletefile_x" "$newfolder_y"
until_true 30 "the file deleted" test ! -e "$root/data/清書/完成稿.txt"
click "$deleted_x" "$newfolder_y" # the folder stays selected
dialog "削除したファイルとフォルダ - 清書" deleted-list
# The list fills before the dialog shows; its first row sits below the header.
xdotool mousemove --window "$dialog_id" 60 38 click 1 key alt+r
dialog Lumeno restore-question
xdotool key y # はい(&Y); No is the default
until_true 30 "the file restored" file_is 清書/完成稿.txt "$text3"
dialog ファイルを開く
click "$file_row_x" "$file_row_y"
xdotool key alt+o
until_true 10 "the browser to close" at_most ファイルを開く 0
until_true 30 "the file read" main_idle
until_true 30 "the restored file in the editor" editor_text_is "${text3//$'\r'/}"

# --- 5. quit through the menu; the settings store keeps the server and the recent files ----
focus_main
xdotool key alt+f q # 終了(&Q); the editor reads keys in order
until_true 30 "the editor to quit" exited "$lumeno_pid"
wait "$lumeno_pid" || fail "lumeno ended with status $?"
for line in "Server=127.0.0.1:$port" Secure=1 "127.0.0.1%3A$port=$(tr -d : <"$certs/self-signed.sha256" | tr A-F a-f)" Wrap=True Count=2 Path1=data/手紙 File1=下書き.txt Path2=data/清書 File2=完成稿.txt File3= \
  CurrentVersion=1.00.0000 'Width=[0-9.]+'; do
  grep -qxE "$line" "$ini" || fail "the settings store lacks $line: $(cat "$ini")"
done

# --- 6. after a restart, reopen the older file from the recent-files menu -------------------
start_lumeno
focus_main
xdotool key alt+f Up Up Right Return # 終了 is last, the recent files just above it
until_true 30 "the recent file in the editor" editor_text_is "${text3//$'\r'/}"

# --- 7. killed after typing: the next start offers the draft, Enter restores it, a save stores it
drafts=$XDG_STATE_HOME/Lumeno/drafts
draft_has() { grep -qF "$1" "$drafts"/*.draft 2>/dev/null; }
dialog_id=
xdotool key ctrl+End Return
paste '消えない下書き①'
text4="$text3"$'\r\n消えない下書き①'
until_true 40 "the draft on the disk" draft_has '消えない下書き①'
kill -9 "$lumeno_pid"
wait "$lumeno_pid" 2>/dev/null || true
run=$((run + 1))
"$bin_dir/lumeno" >"$out/lumeno-$run.log" 2>&1 &
lumeno_pid=$!
until_true 30 "the main window and the draft's offer" more_than Lumeno 1
# The offer is titled Lumeno like the main window, which was made first: its number is lower.
main=$(xdotool search --onlyvisible --name '^Lumeno$' | sort -n | head -n 1)
dialog Lumeno draft-offer
xdotool key Return # Yes is the default
until_true 10 "the offer to close" at_most Lumeno 1
until_true 10 "the draft in the editor" editor_text_is "${text4//$'\r'/}"
xdotool key ctrl+s
until_true 30 "the draft saved to its file" file_is 手紙/下書き.txt "$text4"

# --- 8. ended by SIGTERM: the draft holds the last text, the status tells the signal --------
dialog_id=
xdotool key Return
paste '終了の直前'
until_true 10 "the last text in the editor" editor_text_is "${text4//$'\r'/}"$'\n終了の直前'
kill -TERM "$lumeno_pid"
until_true 30 "the editor to end" exited "$lumeno_pid"
status=0
wait "$lumeno_pid" || status=$?
[ "$status" = 143 ] || fail "lumeno ended with status $status on SIGTERM"
draft_has '終了の直前' || fail "SIGTERM left no draft"
echo "run-e2e.sh: all steps passed"
