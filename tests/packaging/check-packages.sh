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
#   cgi       the installed vidodu.cgi with the example configuration, run directly and under
#             the example lighttpd configuration, which must never hand out the program
set -euo pipefail

step=$1 build_dir=$(realpath -m "$2") work=$(realpath -m "$3") version=$4
arch=$(dpkg --print-architecture)
debs=$work/debs root=$work/root
editor_deb=$debs/lumeno_${version}_${arch}.deb server_deb=$debs/lumeno-server_${version}_${arch}.deb
cgi=$root/usr/lib/cgi-bin/vidodu.cgi examples=$root/usr/share/doc/lumeno-server/examples
failures=0

expect() { # expect DESCRIPTION COMMAND...
  local what=$1
  shift
  "$@" || { echo "FAIL: $what" >&2; failures=$((failures + 1)); }
}

finish() {
  [ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
  echo "all checks passed"
}

scratch() { # a fresh folder for one step, under WORK_DIR
  rm -rf "${work:?}/$1" && mkdir -p "$work/$1" && echo "$work/$1"
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

step_build() {
  rm -rf "$work" && mkdir -p "$debs" "$root"
  cpack --config "$build_dir/CPackConfig.cmake" -B "$debs" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; exit 1; }
  for deb in "$editor_deb" "$server_deb"; do
    expect "$deb is built" dpkg -x "$deb" "$root"
  done
  finish
}

field() { dpkg-deb -f "$1" "$2"; }
files_of() { dpkg-deb -c "$1" | grep -v '^d' | awk '{print $6}' | sort; }
has_package() { # has_package LIST NAME: the comma-separated dependency LIST names package NAME
  tr ',|' '\n' <<<"$1" | sed 's/(.*//; s/[[:space:]]//g' | grep -qx "$2"
}

step_control() {
  local deb name path
  for deb in "$editor_deb" "$server_deb"; do
    name=$(basename "$deb" | cut -d_ -f1)
    expect "$name's name and version" test "$(field "$deb" Package) $(field "$deb" Version)" = "$name $version"
    expect "$name installs files owned by root" bash -c "! dpkg-deb -c '$deb' | awk '{print \$2}' | grep -v '^root/root\$'"
  done
  for name in libqt6widgets6 libqt6network6 libqt6printsupport6 libicu72; do
    expect "lumeno depends on $name" has_package "$(field "$editor_deb" Depends)" "$name"
  done
  expect "lumeno recommends the Japanese font" has_package "$(field "$editor_deb" Recommends)" fonts-ipafont-gothic
  expect "lumeno-server depends on libsodium23" has_package "$(field "$server_deb" Depends)" libsodium23
  # The server script must install on a web server without a desktop.
  expect "lumeno-server needs no Qt" bash -c "! grep -q libqt6 <<<'$(field "$server_deb" Depends)'"
  # dpkg refuses to install two packages that hold the same file.
  path=$(comm -12 <(files_of "$editor_deb") <(files_of "$server_deb"))
  expect "no file in both packages: $path" test -z "$path"
  for path in usr/lib/lumeno/lumeno usr/lib/cgi-bin/vidodu.cgi; do
    expect "$path is installed executable" test -x "$root/$path"
  done
  for path in usr/lib/lumeno/Lumeno.chm usr/share/doc/lumeno-server/{server.md,examples/{vidodu,apache2,lighttpd,nginx}.conf}; do
    expect "$path is installed" test -s "$root/$path"
  done
  expect "the lumeno command is a relative link" test "$(readlink "$root/usr/bin/lumeno")" = ../lib/lumeno/lumeno
  expect "no debugging sections" bash -c "! readelf -S '$root/usr/lib/lumeno/lumeno' '$cgi' | grep -q debug_info"
  finish
}

png_size() { # width x height from the PNG header
  od -An -tu1 -j16 -N8 "$1" | awk '{printf "%dx%d", $3*256+$4, $7*256+$8}'
}

step_desktop() {
  local share=$root/usr/share type=application/x-lumeno-localshortcut caches size icon
  local entry=$share/applications/lumeno.desktop
  expect "the desktop entry validates" desktop-file-validate "$entry"
  expect "the desktop entry opens the shortcut type with the file" \
    bash -c "grep -qx 'Exec=lumeno %f' '$entry' && grep -qx 'MimeType=$type;' '$entry'"
  # The same tools the packages' triggers run, over a copy of the installed folders.
  caches=$(scratch caches)
  cp -r "$share/mime" "$share/applications" "$caches/"
  update-mime-database "$caches/mime" && update-desktop-database "$caches/applications"
  expect "*.lmk is a local shortcut" grep -q "^50:$type:\*\.lmk$" "$caches/mime/globs2"
  expect "the shortcut type names its icon" grep -qx "$type:application-x-lumeno-localshortcut" "$caches/mime/icons"
  expect "the shortcut type has a Japanese description" grep -q "ローカルショートカットファイル" "$caches/mime/$type.xml"
  expect "the desktop opens local shortcuts with Lumeno" grep -qx "$type=lumeno.desktop;" "$caches/applications/mimeinfo.cache"
  for size in 16 22 24 32 48 64 128 256; do
    for icon in apps/lumeno mimetypes/application-x-lumeno-localshortcut; do
      icon=$share/icons/hicolor/${size}x${size}/$icon.png
      expect "$icon is ${size}x${size}" test "$(png_size "$icon" 2>/dev/null)" = "${size}x${size}"
    done
  done
  finish
}

step_editor() {
  local home status=0
  home=$(scratch editor)
  mkdir -p "$home/config" "$home/data" "$home/runtime" && chmod 700 "$home/runtime"
  env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" lumeno >"$home/out.log" 2>&1 &
  local pid=$!
  # Through the link on the PATH the editor must still find the folder that holds Lumeno.chm.
  expect "the editor wrote its own folder into its settings" \
    poll "$pid" grep -qx "ApplicationPath=$root/usr/lib/lumeno" "$home/config/Lumeno/Lumeno.ini"
  # The association the editor makes for its user stands beside the package's: it must be as valid.
  expect "the user's desktop entry validates" poll "$pid" desktop-file-validate "$home/data/applications/lumeno.desktop"
  sleep 2
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" || status=$?
  expect "the editor ran until our signal ended it (status $status)" test "$status" = 143
  [ "$failures" -eq 0 ] || cat "$home/out.log" >&2
  finish
}

ask() { # ask CONF NAME=VALUE...: the reply to one request framed as the editor frames it
  local conf=$1 pair
  shift
  for pair in "$@"; do
    printf -- '--LumenoTest\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n' "${pair%%=*}" "${pair#*=}"
  done >"$work/cgi/body"
  printf -- '--LumenoTest--\r\n' >>"$work/cgi/body"
  env -i REQUEST_METHOD=POST GATEWAY_INTERFACE=CGI/1.1 REMOTE_ADDR=192.0.2.7 VIDODU_CONF="$conf" \
    CONTENT_TYPE="multipart/form-data; boundary=LumenoTest" CONTENT_LENGTH="$(stat -c %s "$work/cgi/body")" \
    "$cgi" <"$work/cgi/body" | tr -d '\r' | sed '1,/^$/d'
}

step_cgi() {
  local dir port pid
  dir=$(scratch cgi)
  mkdir -p "$dir/store" "$dir/htdocs"
  # Every example names the installed program and configuration.
  for example in apache2 lighttpd nginx; do
    expect "$example.conf names the installed program and configuration" \
      bash -c "grep -q /usr/lib/cgi-bin/vidodu.cgi '$examples/$example.conf' && grep -q /etc/lumeno/vidodu.conf '$examples/$example.conf'"
  done
  # The example configuration with the two values a user fills in; until the user pastes a
  # password_hash line, no password is right.
  sed -e "s|^root = .*|root = $dir/store|" "$examples/vidodu.conf" >"$dir/nohash.conf"
  sed -e "s|^password_hash =.*|$("$cgi" --hash-password <<<"secret_1")|" "$dir/nohash.conf" >"$dir/vidodu.conf"
  expect "the right password answers OK" test "$(ask "$dir/vidodu.conf" command=CHECK pass=secret_1)" = OK
  expect "a wrong password answers NG" test "$(ask "$dir/vidodu.conf" command=CHECK pass=secret_2)" = NG
  expect "without a password_hash no password is right" test "$(ask "$dir/nohash.conf" command=CHECK pass=secret_1)" = NG

  # lighttpd with the installed example, pointed at this scratch folder's configuration.
  sed -e "s|/usr/lib/cgi-bin/vidodu.cgi|$cgi|" -e "s|/etc/lumeno/vidodu.conf|$dir/vidodu.conf|" "$examples/lighttpd.conf" \
    >"$dir/lumeno-server.conf"
  port=$((20000 + RANDOM % 40000))
  printf 'server.modules = ("mod_alias", "mod_cgi", "mod_setenv")\nserver.bind = "127.0.0.1"\nserver.port = %s
server.document-root = "%s"\nserver.errorlog = "%s"\ninclude "%s"\n' "$port" "$dir/htdocs" "$dir/error.log" \
    "$dir/lumeno-server.conf" >"$dir/lighttpd.conf"
  lighttpd -D -f "$dir/lighttpd.conf" </dev/null >"$dir/lighttpd.log" 2>&1 &
  pid=$!
  expect "lighttpd starts with the example configuration" poll "$pid" curl -s --noproxy "*" -o /dev/null "http://127.0.0.1:$port/"
  expect "CHECK through the example answers OK" \
    test "$(curl -s --noproxy "*" -F command=CHECK -F pass=secret_1 "http://127.0.0.1:$port/vidodu.cgi")" = OK
  # Below the script's path the script answers, never the web server with the program file.
  expect "GET /vidodu.cgi/x runs the script" test "$(curl -s --noproxy "*" "http://127.0.0.1:$port/vidodu.cgi/x")" = NG
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [ "$failures" -eq 0 ] || cat "$dir/lighttpd.log" "$dir/error.log" >&2 2>/dev/null || true
  finish
}

case "$step" in
  build | control | desktop | editor | cgi) "step_$step" ;;
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
