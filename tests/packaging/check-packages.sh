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

# ---- build --------------------------------------------------------------------------------------

step_build() {
  rm -rf "$work"
  mkdir -p "$debs" "$root"
  cpack --config "$build_dir/CPackConfig.cmake" -B "$debs" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    exit 1
  }
  for deb in "$editor_deb" "$server_deb"; do
    [ -f "$deb" ] || { ls -l "$debs" >&2; cat "$work/cpack.log" >&2; fail "no $(basename "$deb")"; continue; }
    dpkg -x "$deb" "$root"
  done
  finish
}

# ---- control ------------------------------------------------------------------------------------

field() { dpkg-deb -f "$1" "$2"; }

# has_package LIST NAME: the comma-separated dependency LIST names package NAME
has_package() {
  tr ',|' '\n' <<<"$1" | sed 's/(.*//; s/[[:space:]]//g' | grep -qx "$2"
}

step_control() {
  expect "lumeno's name" test "$(field "$editor_deb" Package)" = lumeno
  expect "lumeno-server's name" test "$(field "$server_deb" Package)" = lumeno-server
  expect "lumeno's version is $version" test "$(field "$editor_deb" Version)" = "$version"
  expect "lumeno-server's version is $version" test "$(field "$server_deb" Version)" = "$version"

  local depends
  depends=$(field "$editor_deb" Depends)
  for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6printsupport6 libicu72; do
    expect "lumeno depends on $library (Depends: $depends)" has_package "$depends" "$library"
  done
  for package in fonts-ipafont-gothic xdg-utils; do
    expect "lumeno recommends $package" has_package "$(field "$editor_deb" Recommends)" "$package"
  done

  depends=$(field "$server_deb" Depends)
  expect "lumeno-server depends on libsodium23 (Depends: $depends)" has_package "$depends" libsodium23
  # The server script must install on a web server without a desktop.
  expect "lumeno-server needs no Qt (Depends: $depends)" bash -c "! grep -q libqt6 <<<'$depends'"

  # dpkg refuses to install two packages that hold the same file.
  local shared
  shared=$(comm -12 <(dpkg-deb -c "$editor_deb" | grep -v '^d' | awk '{print $6}' | sort) \
                    <(dpkg-deb -c "$server_deb" | grep -v '^d' | awk '{print $6}' | sort))
  expect "no file in both packages: $shared" test -z "$shared"
  for deb in "$editor_deb" "$server_deb"; do
    expect "$(basename "$deb") installs files owned by root" \
      bash -c "! dpkg-deb -c '$deb' | awk '{print \$2}' | grep -v '^root/root\$'"
  done

  expect "the editor is installed executable" test -x "$root/usr/lib/lumeno/lumeno"
  expect "the help file lies beside the editor" test -s "$root/usr/lib/lumeno/Lumeno.chm"
  expect "the lumeno command is a relative link to the editor" \
    test "$(readlink "$root/usr/bin/lumeno")" = ../lib/lumeno/lumeno
  expect "vidodu.cgi is installed executable" test -x "$root/usr/lib/cgi-bin/vidodu.cgi"
  expect "the server guide is installed" test -s "$root/usr/share/doc/lumeno-server/server.md"
  for example in vidodu.conf apache2.conf lighttpd.conf nginx.conf; do
    expect "the example $example is installed" test -s "$root/usr/share/doc/lumeno-server/examples/$example"
  done
  expect "the installed programs carry no debugging sections" \
    bash -c "! readelf -S '$root/usr/lib/lumeno/lumeno' '$root/usr/lib/cgi-bin/vidodu.cgi' | grep -q debug_info"
  finish
}

# ---- desktop ------------------------------------------------------------------------------------

png_size() { # width x height from the PNG header
  od -An -tu1 -j16 -N8 "$1" | awk '{printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}'
}

step_desktop() {
  local share=$root/usr/share
  local entry=$share/applications/lumeno.desktop
  local type=application/x-lumeno-localshortcut
  expect "the desktop entry validates" desktop-file-validate "$entry"
  expect "the desktop entry runs the lumeno command with the file" grep -qx 'Exec=lumeno %f' "$entry"
  expect "the desktop entry opens the shortcut type" grep -qx "MimeType=$type;" "$entry"
  expect "the MIME package is well-formed XML" xmllint --noout "$share/mime/packages/lumeno.xml"

  # The same tools the packages' triggers run, over a copy of the installed folders.
  local caches
  caches=$(scratch caches)
  cp -r "$share/mime" "$share/applications" "$caches/"
  update-mime-database "$caches/mime"
  update-desktop-database "$caches/applications"
  expect "*.lmk is a local shortcut" grep -q "^50:$type:\*\.lmk$" "$caches/mime/globs2"
  expect "the shortcut type names its icon" \
    grep -qx "$type:application-x-lumeno-localshortcut" "$caches/mime/icons"
  expect "the shortcut type has a Japanese description" \
    grep -q "<comment>Lumeno ローカルショートカットファイル</comment>" "$caches/mime/application/x-lumeno-localshortcut.xml"
  expect "the desktop opens local shortcuts with Lumeno" grep -qx "$type=lumeno.desktop;" "$caches/applications/mimeinfo.cache"

  # Every theme size holds both icons, each as large as its folder says.
  local size context icon
  for size in 16 22 24 32 48 64 128 256; do
    for context in apps/lumeno mimetypes/application-x-lumeno-localshortcut; do
      icon=$share/icons/hicolor/${size}x${size}/$context.png
      if [ -f "$icon" ]; then
        expect "$icon is ${size}x${size}" test "$(png_size "$icon")" = "${size}x${size}"
      else
        fail "no icon $icon"
      fi
    done
  done
  finish
}

# ---- editor -------------------------------------------------------------------------------------

step_editor() {
  local home
  home=$(scratch editor)
  mkdir -p "$home/config" "$home/data" "$home/cache" "$home/runtime"
  chmod 700 "$home/runtime"
  local ini=$home/config/Lumeno/Lumeno.ini
  env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
    XDG_RUNTIME_DIR="$home/runtime" \
    lumeno >"$home/out.log" 2>&1 &
  local pid=$!

  # At start the editor writes its own folder into the settings store: through the link on the
  # PATH it must still be the folder that holds Lumeno.chm.
  local started=0
  for _ in $(seq 200); do
    grep -qx "ApplicationPath=$root/usr/lib/lumeno" "$ini" 2>/dev/null && { started=1; break; }
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  expect "the editor wrote its own folder into $ini" test "$started" = 1
  # Still running two seconds later, then ended by us and by nothing else.
  sleep 2
  expect "the editor keeps running" kill -0 "$pid"
  # The association the editor makes for its user stands beside the package's: it must be as valid.
  expect "the user's desktop entry the editor wrote validates" \
    desktop-file-validate "$home/data/applications/lumeno.desktop"
  kill -TERM "$pid" 2>/dev/null || true
  local status=0
  wait "$pid" || status=$?
  expect "the editor ended by our signal, not by a crash (status $status)" test "$status" = 143
  [ "$failures" -eq 0 ] || cat "$home/out.log" >&2
  finish
}

# ---- cgi ----------------------------------------------------------------------------------------

# multipart FILE NAME=VALUE...: writes a form body as the editor frames it
multipart() {
  local file=$1 pair
  shift
  for pair in "$@"; do
    printf -- '--LumenoTest\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n' "${pair%%=*}" "${pair#*=}"
  done >"$file"
  printf -- '--LumenoTest--\r\n' >>"$file"
}

# ask CONF NAME=VALUE...: the reply body to one request, headers dropped
ask() {
  local conf=$1 body=$work/cgi/body
  shift
  multipart "$body" "$@"
  env -i REQUEST_METHOD=POST GATEWAY_INTERFACE=CGI/1.1 REMOTE_ADDR=192.0.2.7 \
    CONTENT_TYPE="multipart/form-data; boundary=LumenoTest" CONTENT_LENGTH="$(stat -c %s "$body")" \
    VIDODU_CONF="$conf" "$root/usr/lib/cgi-bin/vidodu.cgi" <"$body" | tr -d '\r' | sed '1,/^$/d'
}

# start_example_lighttpd DIR CGI CONF: lighttpd on 127.0.0.1 with the installed example
# configuration, pointed at CGI and CONF instead of the system's places. Sets server_pid and
# server_port; answers false when no server came up.
start_example_lighttpd() {
  local dir=$1 cgi=$2 conf=$3 examples=$root/usr/share/doc/lumeno-server/examples
  sed -e "s|/usr/lib/cgi-bin/vidodu.cgi|$cgi|" -e "s|/etc/lumeno/vidodu.conf|$conf|" \
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
    for _ in $(seq 100); do
      curl -s -o /dev/null --max-time 2 "http://127.0.0.1:$server_port/" && return 0
      kill -0 "$server_pid" 2>/dev/null || break
      sleep 0.05
    done
    stop_lighttpd # another program took the port between the look and the bind
  done
  return 1
}

stop_lighttpd() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
}

step_cgi() {
  local dir
  dir=$(scratch cgi)
  local cgi=$root/usr/lib/cgi-bin/vidodu.cgi examples=$root/usr/share/doc/lumeno-server/examples
  local hash
  hash=$("$cgi" --hash-password <<<"secret_1")
  # The example configuration with the two values a user fills in.
  sed -e "s|^root = .*|root = $dir/store|" -e "s|^password_hash =.*|$hash|" \
    "$examples/vidodu.conf" >"$dir/vidodu.conf"
  mkdir -p "$dir/store"

  expect "CHECK with the right password answers OK" \
    test "$(ask "$dir/vidodu.conf" command=CHECK pass=secret_1)" = OK
  expect "CHECK with a wrong password answers NG" \
    test "$(ask "$dir/vidodu.conf" command=CHECK pass=secret_2)" = NG
  # Until the user pastes a password_hash line, no password is right.
  sed -e "s|^root = .*|root = $dir/store|" "$examples/vidodu.conf" >"$dir/nohash.conf"
  expect "the example configuration without a password_hash refuses the password" \
    test "$(ask "$dir/nohash.conf" command=CHECK pass=secret_1)" = NG

  # The example lighttpd configuration inside a minimal server.
  if start_example_lighttpd "$dir" "$cgi" "$dir/vidodu.conf"; then
    local reply
    reply=$(curl -s --max-time 10 -F command=CHECK -F pass=secret_1 "http://127.0.0.1:$server_port/vidodu.cgi")
    expect "CHECK through the example lighttpd configuration answers OK (got '$reply')" test "$reply" = OK
    stop_lighttpd
  else
    fail "lighttpd did not start with the example configuration"
  fi
  [ "$failures" -eq 0 ] || cat "$dir/lighttpd.log" "$dir/error.log" >&2 2>/dev/null || true
  finish
}

# ---- shortcut -----------------------------------------------------------------------------------

# A double click on a local shortcut in the file manager: the command of the installed desktop
# entry, with the shortcut's path for %f, starts the editor, which fetches the document the
# shortcut names from the installed vidodu.cgi under the example lighttpd configuration.
step_shortcut() {
  local dir
  dir=$(scratch shortcut)
  local cgi=$root/usr/lib/cgi-bin/vidodu.cgi
  mkdir -p "$dir/store/data/メモ" "$dir/home/config/Lumeno" "$dir/home/runtime"
  chmod 700 "$dir/home/runtime"
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

  local exec_line word command=()
  exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/lumeno.desktop")
  for word in $exec_line; do
    [ "$word" = %f ] && command+=("$shortcut") || command+=("$word")
  done
  env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$dir/home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    XDG_CONFIG_HOME="$dir/home/config" XDG_DATA_HOME="$dir/home/data" XDG_CACHE_HOME="$dir/home/cache" \
    XDG_RUNTIME_DIR="$dir/home/runtime" \
    "${command[@]}" >"$dir/editor.log" 2>&1 &
  local pid=$!

  local wanted content fetched=0
  wanted=$(printf 'data/メモ/買い物.txt' | iconv -f UTF-8 -t CP932)
  content=$(printf '牛乳と卵' | iconv -f UTF-8 -t CP932)
  for _ in $(seq 200); do
    LC_ALL=C grep -qF "$content" "$dir/replies.log" 2>/dev/null && { fetched=1; break; }
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  expect "the editor asked for the document the shortcut names" \
    bash -c "LC_ALL=C grep -q READFILE '$dir/requests.log' && LC_ALL=C grep -qF '$wanted' '$dir/requests.log'"
  expect "the server sent the document to the editor" test "$fetched" = 1
  expect "the editor is still running" kill -0 "$pid"
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  stop_lighttpd
  [ "$failures" -eq 0 ] || cat "$dir/editor.log" "$dir/error.log" >&2 2>/dev/null || true
  finish
}

case "$step" in
  build | control | desktop | editor | cgi | shortcut) "step_$step" ;;
  *) echo "unknown step $step" >&2; exit 2 ;;
esac
