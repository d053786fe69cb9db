#!/usr/bin/env bash
# The Debian packages as a user gets them: built with cpack from the build folder, unpacked into a
# scratch root with dpkg -x, then checked there.
#
#   check-packages.sh STEP BUILD_DIR WORK_DIR VERSION
#
#   build     cpack both packages into WORK_DIR/debs and unpack them into WORK_DIR/root
#   control   names, version, dependencies; no file in both packages; everything owned by root
#   desktop   the desktop entry, MIME type and icons, as the desktop's own tools read them
#   editor    the installed lumeno command starts offscreen and finds its own folder
#   cgi       the installed vidodu.cgi answers CHECK, run directly and under the example lighttpd
#             configuration
#   shortcut  the desktop entry's command opens a local shortcut's document from that server
set -euo pipefail

step=$1
build_dir=$(realpath -m "$2")
work=$(realpath -m "$3")
version=$4
arch=$(dpkg --print-architecture)
debs=$work/debs
root=$work/root
editor_deb=$debs/lumeno_${version}_${arch}.deb
server_deb=$debs/lumeno-server_${version}_${arch}.deb
cgi=$root/usr/lib/cgi-bin/vidodu.cgi
examples=$root/usr/share/doc/lumeno-server/examples
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

expect() { # expect DESCRIPTION COMMAND...
  local what=$1
  shift
  "$@" || fail "$what"
}

finish() {
  [ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
  echo "all checks passed"
}

scratch() { # a fresh folder for one step, under WORK_DIR
  rm -rf "${work:?}/$1"
  mkdir -p "$work/$1"
  echo "$work/$1"
}

poll() { # poll PID COMMAND...: true once COMMAND succeeds within 20 s while PID runs
  local pid=$1 _
  shift
  for _ in $(seq 200); do
    "$@" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

start_editor() { # start_editor HOME COMMAND...: the installed editor in a clean session; sets editor_pid
  local home=$1
  shift
  mkdir -p "$home/config" "$home/data" "$home/cache" "$home/runtime"
  chmod 700 "$home/runtime"
  env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
    XDG_RUNTIME_DIR="$home/runtime" "$@" >"$home/out.log" 2>&1 &
  editor_pid=$!
}

# start_example_lighttpd DIR CGI CONF: lighttpd on 127.0.0.1 with the installed example
# configuration, pointed at CGI and CONF instead of the system's places. Sets server_pid and
# server_port; answers false when no server came up.
start_example_lighttpd() {
  local dir=$1
  sed -e "s|/usr/lib/cgi-bin/vidodu.cgi|$2|" -e "s|/etc/lumeno/vidodu.conf|$3|" \
    "$examples/lighttpd.conf" >"$dir/lumeno-server.conf"
  mkdir -p "$dir/htdocs"
  for _ in 1 2 3 4 5; do
    server_port=$((20000 + RANDOM % 40000))
    (exec 3<>"/dev/tcp/127.0.0.1/$server_port") 2>/dev/null && continue
    cat >"$dir/lighttpd.conf" <<EOF
server.modules = ("mod_alias", "mod_cgi", "mod_setenv")
server.bind = "127.0.0.1"
server.port = $server_port
server.document-root = "$dir/htdocs"
server.errorlog = "$dir/error.log"
include "$dir/lumeno-server.conf"
EOF
    lighttpd -D -f "$dir/lighttpd.conf" </dev/null >>"$dir/lighttpd.log" 2>&1 &
    server_pid=$!
    poll "$server_pid" curl -s -o /dev/null --max-time 2 "http://127.0.0.1:$server_port/" && return 0
    stop_lighttpd # another program took the port between the look and the bind
  done
  return 1
}

stop_lighttpd() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
}

step_build() {
  rm -rf "$work"
  mkdir -p "$debs" "$root"
  cpack --config "$build_dir/CPackConfig.cmake" -B "$debs" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    exit 1
  }
  for deb in "$editor_deb" "$server_deb"; do
    [ -f "$deb" ] || { ls -l "$debs" >&2; fail "no $(basename "$deb")"; continue; }
    dpkg -x "$deb" "$root"
  done
  finish
}

field() { dpkg-deb -f "$1" "$2"; }
files_of() { dpkg-deb -c "$1" | grep -v '^d' | awk '{print $6}' | sort; }
has_package() { # has_package LIST NAME: the comma-separated dependency LIST names package NAME
  tr ',|' '\n' <<<"$1" | sed 's/(.*//; s/[[:space:]]//g' | grep -qx "$2"
}

step_control() {
  local deb name depends path
  for deb in "$editor_deb" "$server_deb"; do
    name=$(basename "$deb" | cut -d_ -f1)
    expect "$name's name" test "$(field "$deb" Package)" = "$name"
    expect "$name's version is $version" test "$(field "$deb" Version)" = "$version"
    expect "$name installs files owned by root" bash -c "! dpkg-deb -c '$deb' | awk '{print \$2}' | grep -v '^root/root\$'"
  done
  depends=$(field "$editor_deb" Depends)
  for name in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6printsupport6 libicu72; do
    expect "lumeno depends on $name (Depends: $depends)" has_package "$depends" "$name"
  done
  for name in fonts-ipafont-gothic xdg-utils; do
    expect "lumeno recommends $name" has_package "$(field "$editor_deb" Recommends)" "$name"
  done
  depends=$(field "$server_deb" Depends)
  expect "lumeno-server depends on libsodium23 (Depends: $depends)" has_package "$depends" libsodium23
  # The server script must install on a web server without a desktop.
  expect "lumeno-server needs no Qt (Depends: $depends)" bash -c "! grep -q libqt6 <<<'$depends'"
  # dpkg refuses to install two packages that hold the same file.
  path=$(comm -12 <(files_of "$editor_deb") <(files_of "$server_deb"))
  expect "no file in both packages: $path" test -z "$path"

  for path in usr/lib/lumeno/lumeno usr/lib/cgi-bin/vidodu.cgi; do
    expect "$path is installed executable" test -x "$root/$path"
  done
  for path in usr/lib/lumeno/Lumeno.chm usr/share/doc/lumeno-server/server.md \
    usr/share/doc/lumeno-server/examples/{vidodu,apache2,lighttpd,nginx}.conf; do
    expect "$path is installed" test -s "$root/$path"
  done
  expect "the lumeno command is a relative link to the editor" \
    test "$(readlink "$root/usr/bin/lumeno")" = ../lib/lumeno/lumeno
  expect "the installed programs carry no debugging sections" \
    bash -c "! readelf -S '$root/usr/lib/lumeno/lumeno' '$cgi' | grep -q debug_info"
  finish
}

png_size() { # width x height from the PNG header
  od -An -tu1 -j16 -N8 "$1" | awk '{printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}'
}

step_desktop() {
  local share=$root/usr/share type=application/x-lumeno-localshortcut caches size context icon
  local entry=$share/applications/lumeno.desktop
  expect "the desktop entry validates" desktop-file-validate "$entry"
  expect "the desktop entry runs the lumeno command with the file" grep -qx 'Exec=lumeno %f' "$entry"
  expect "the desktop entry opens the shortcut type" grep -qx "MimeType=$type;" "$entry"
  expect "the MIME package is well-formed XML" xmllint --noout "$share/mime/packages/lumeno.xml"

  # The same tools the packages' triggers run, over a copy of the installed folders.
  caches=$(scratch caches)
  cp -r "$share/mime" "$share/applications" "$caches/"
  update-mime-database "$caches/mime"
  update-desktop-database "$caches/applications"
  expect "*.lmk is a local shortcut" grep -q "^50:$type:\*\.lmk$" "$caches/mime/globs2"
  expect "the shortcut type names its icon" grep -qx "$type:application-x-lumeno-localshortcut" "$caches/mime/icons"
  expect "the shortcut type has a Japanese description" \
    grep -q "<comment>Lumeno ローカルショートカットファイル</comment>" "$caches/mime/$type.xml"
  expect "the desktop opens local shortcuts with Lumeno" grep -qx "$type=lumeno.desktop;" "$caches/applications/mimeinfo.cache"

  # Every theme size holds both icons, each as large as its folder says.
  for size in 16 22 24 32 48 64 128 256; do
    for context in apps/lumeno mimetypes/application-x-lumeno-localshortcut; do
      icon=$share/icons/hicolor/${size}x${size}/$context.png
      expect "$icon exists and is ${size}x${size}" test "$(png_size "$icon" 2>/dev/null)" = "${size}x${size}"
    done
  done
  finish
}

step_editor() {
  local home status=0
  home=$(scratch editor)
  start_editor "$home" lumeno
  # At start the editor writes its own folder into the settings store: through the link on the
  # PATH it must still be the folder that holds Lumeno.chm.
  expect "the editor wrote its own folder into its settings" \
    poll "$editor_pid" grep -qx "ApplicationPath=$root/usr/lib/lumeno" "$home/config/Lumeno/Lumeno.ini"
  # Still running two seconds later, then ended by us and by nothing else.
  sleep 2
  expect "the editor keeps running" kill -0 "$editor_pid"
  # The association the editor makes for its user stands beside the package's: it must be as valid.
  expect "the user's desktop entry the editor wrote validates" \
    desktop-file-validate "$home/data/applications/lumeno.desktop"
  kill -TERM "$editor_pid" 2>/dev/null || true
  wait "$editor_pid" || status=$?
  expect "the editor ended by our signal, not by a crash (status $status)" test "$status" = 143
  [ "$failures" -eq 0 ] || cat "$home/out.log" >&2
  finish
}

ask() { # ask CONF NAME=VALUE...: the reply body to one request framed as the editor frames it
  local conf=$1 body=$work/cgi/body pair length
  shift
  for pair in "$@"; do
    printf -- '--LumenoTest\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n' "${pair%%=*}" "${pair#*=}"
  done >"$body"
  printf -- '--LumenoTest--\r\n' >>"$body"
  length=$(stat -c %s "$body")
  env -i REQUEST_METHOD=POST GATEWAY_INTERFACE=CGI/1.1 REMOTE_ADDR=192.0.2.7 VIDODU_CONF="$conf" \
    CONTENT_TYPE="multipart/form-data; boundary=LumenoTest" CONTENT_LENGTH="$length" \
    "$cgi" <"$body" | tr -d '\r' | sed '1,/^$/d'
}

step_cgi() {
  local dir hash reply
  dir=$(scratch cgi)
  mkdir -p "$dir/store"
  # The example configuration with the two values a user fills in; until the user pastes a
  # password_hash line, no password is right.
  hash=$("$cgi" --hash-password <<<"secret_1")
  sed -e "s|^root = .*|root = $dir/store|" -e "s|^password_hash =.*|$hash|" "$examples/vidodu.conf" >"$dir/vidodu.conf"
  sed -e "s|^root = .*|root = $dir/store|" "$examples/vidodu.conf" >"$dir/nohash.conf"
  expect "CHECK with the right password answers OK" test "$(ask "$dir/vidodu.conf" command=CHECK pass=secret_1)" = OK
  expect "CHECK with a wrong password answers NG" test "$(ask "$dir/vidodu.conf" command=CHECK pass=secret_2)" = NG
  expect "the example configuration without a password_hash refuses the password" \
    test "$(ask "$dir/nohash.conf" command=CHECK pass=secret_1)" = NG

  if start_example_lighttpd "$dir" "$cgi" "$dir/vidodu.conf"; then
    reply=$(curl -s --max-time 10 -F command=CHECK -F pass=secret_1 "http://127.0.0.1:$server_port/vidodu.cgi")
    expect "CHECK through the example lighttpd configuration answers OK (got '$reply')" test "$reply" = OK
    stop_lighttpd
  else
    fail "lighttpd did not start with the example configuration"
  fi
  [ "$failures" -eq 0 ] || cat "$dir/lighttpd.log" "$dir/error.log" >&2 2>/dev/null || true
  finish
}

# A double click on a local shortcut in the file manager: the command of the installed desktop
# entry, with the shortcut's path for %f, starts the editor, which fetches the document the
# shortcut names from the installed vidodu.cgi under the example lighttpd configuration.
step_shortcut() {
  local dir exec_line word command=() wanted content
  dir=$(scratch shortcut)
  mkdir -p "$dir/store/data/メモ" "$dir/home/config/Lumeno"
  printf '牛乳と卵\r\n' | iconv -f UTF-8 -t CP932 >"$dir/store/data/メモ/買い物.txt"
  printf 'root = %s\nallow_empty_password_from = 127.0.0.1\n' "$dir/store" >"$dir/vidodu.conf"
  # The script as the example serves it, with what passes through it written down.
  printf '#!/bin/sh\ntee -a "%s" | "%s" | tee -a "%s"\n' "$dir/requests.log" "$cgi" "$dir/replies.log" >"$dir/logging.cgi"
  chmod +x "$dir/logging.cgi"
  start_example_lighttpd "$dir" "$dir/logging.cgi" "$dir/vidodu.conf" || {
    fail "lighttpd did not start with the example configuration"
    finish
  }
  printf '[Setting]\nServer=127.0.0.1:%s\n' "$server_port" >"$dir/home/config/Lumeno/Lumeno.ini"
  local shortcut="$dir/お買い物 メモ.lmk"
  printf 'data/メモ\t買い物.txt\r\n' | iconv -f UTF-8 -t CP932 >"$shortcut"
  exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/lumeno.desktop")
  for word in $exec_line; do
    [ "$word" = %f ] && command+=("$shortcut") || command+=("$word")
  done
  start_editor "$dir/home" "${command[@]}"

  wanted=$(printf 'data/メモ/買い物.txt' | iconv -f UTF-8 -t CP932)
  content=$(printf '牛乳と卵' | iconv -f UTF-8 -t CP932)
  expect "the server sent the document to the editor" poll "$editor_pid" env LC_ALL=C grep -qF "$content" "$dir/replies.log"
  expect "the editor asked for the document the shortcut names" \
    bash -c "LC_ALL=C grep -q READFILE '$dir/requests.log' && LC_ALL=C grep -qF '$wanted' '$dir/requests.log'"
  expect "the editor is still running" kill -0 "$editor_pid"
  kill -TERM "$editor_pid" 2>/dev/null || true
  wait "$editor_pid" 2>/dev/null || true
  stop_lighttpd
  [ "$failures" -eq 0 ] || cat "$dir/home/out.log" "$dir/error.log" >&2 2>/dev/null || true
  finish
}

case "$step" in
  build | control | desktop | editor | cgi | shortcut) "step_$step" ;;
  *) echo "unknown step $step" >&2; exit 2 ;;
esac

# The lumeno-server package's own build, part of the cgi step: vidodu.cgi configured and built
# alone (-DLUMENO_EDITOR=OFF: no editor, no Qt) into a scratch folder, then asked the step's CHECK.
if [ "$step" = cgi ]; then
  alone=$(scratch server-alone)
  source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  if cmake -S "$source_dir" -B "$alone" -G Ninja -DLUMENO_EDITOR=OFF >"$alone/build.log" 2>&1 \
    && cmake --build "$alone" -j 2 >>"$alone/build.log" 2>&1; then
    cgi=$alone/bin/vidodu.cgi
    expect "the server built alone links no Qt" bash -c "! ldd '$cgi' | grep -q libQt"
    expect "the server built alone answers CHECK with the right password" \
      test "$(ask "$work/cgi/vidodu.conf" command=CHECK pass=secret_1)" = OK
  else
    cat "$alone/build.log" >&2
    fail "the server does not build alone with -DLUMENO_EDITOR=OFF"
  fi
  finish
fi
