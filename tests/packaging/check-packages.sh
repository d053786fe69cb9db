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
#             the example lighttpd configuration (which must never hand out the program), and
#             the lumeno-server package's own build: vidodu.cgi alone, without Qt
set -euo pipefail

step=$1 build_dir=$(realpath -m "$2") work=$(realpath -m "$3") version=$4 arch=$(dpkg --print-architecture)
debs=$work/debs root=$work/root dir=$work/$step failures=0
editor_deb=$debs/lumeno_${version}_${arch}.deb server_deb=$debs/lumeno-server_${version}_${arch}.deb
cgi=$root/usr/lib/cgi-bin/vidodu.cgi examples=$root/usr/share/doc/lumeno-server/examples share=$root/usr/share

expect() { # expect DESCRIPTION COMMAND...
  "${@:2}" || { echo "FAIL: $1" >&2; failures=$((failures + 1)); }
}

poll() { # poll COMMAND: true once the shell COMMAND succeeds within 20 s
  timeout 20 bash -c "until $1; do sleep 0.1; done" 2>/dev/null
}

depends() { # depends DEB FIELD NAME: the dependency list FIELD of DEB names package NAME
  dpkg-deb -f "$1" "$2" | tr ',|' '\n' | sed 's/(.*//; s/[[:space:]]//g' | grep -qx "$3"
}

step_build() {
  rm -rf "$work" && mkdir -p "$debs" "$root"
  cpack --config "$build_dir/CPackConfig.cmake" -B "$debs" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; exit 1; }
  dpkg -x "$editor_deb" "$root" && dpkg -x "$server_deb" "$root"
}

step_control() {
  local deb path
  for deb in "$editor_deb" "$server_deb"; do
    expect "$deb: name and version" test "$(dpkg-deb -f "$deb" Package)_$(dpkg-deb -f "$deb" Version)" = "$(basename "$deb" "_$arch.deb")"
    expect "$deb: files owned by root" bash -c "! dpkg-deb -c '$deb' | awk '{print \$2}' | grep -v '^root/root\$'"
  done
  # Qt's own texts come in Japanese from qt6-translations-l10n.
  for path in Depends:libqt6widgets6 Depends:libqt6network6 Depends:libqt6printsupport6 Depends:libicu72 \
    Depends:qt6-translations-l10n Depends:libssl3 Recommends:fonts-ipafont-gothic; do expect "lumeno: $path" depends "$editor_deb" "${path%:*}" "${path#*:}"; done
  expect "lumeno-server depends on libsodium23" depends "$server_deb" Depends libsodium23
  expect "lumeno-server depends on libfcgi0ldbl" depends "$server_deb" Depends libfcgi0ldbl
  # The server script must install on a web server without a desktop.
  expect "lumeno-server needs no Qt" bash -c "! dpkg-deb -f '$server_deb' Depends | grep -q libqt6"
  # dpkg refuses to install two packages that hold the same file.
  path=$(comm -12 <(dpkg-deb -c "$editor_deb" | grep -v '^d' | awk '{print $6}' | sort) \
    <(dpkg-deb -c "$server_deb" | grep -v '^d' | awk '{print $6}' | sort))
  expect "no file in both packages: $path" test -z "$path"
  for path in lib/lumeno/lumeno lib/cgi-bin/vidodu.cgi; do expect "$path is executable" test -x "$root/usr/$path"; done
  for path in lib/lumeno/Lumeno.chm share/doc/lumeno-server/{server.md,examples/{vidodu,apache2,lighttpd,nginx,apache2-https,lighttpd-https,nginx-https,apache2-fcgid,lighttpd-fastcgi,nginx-fastcgi}.conf,examples/vidodu-fastcgi.{socket,service}}; do
    expect "$path is installed" test -s "$root/usr/$path"
  done
  expect "the lumeno command is a relative link" test "$(readlink "$root/usr/bin/lumeno")" = ../lib/lumeno/lumeno
  expect "no debugging sections" bash -c "! readelf -S '$root/usr/lib/lumeno/lumeno' '$cgi' | grep -q debug_info"
}

step_desktop() {
  local type=application/x-lumeno-localshortcut icon
  expect "the desktop entry validates" desktop-file-validate "$share/applications/lumeno.desktop"
  expect "the desktop entry opens the shortcut type with the file" \
    bash -c "grep -qx 'Exec=lumeno %f' '$share/applications/lumeno.desktop' && grep -qx 'MimeType=$type;' '$share/applications/lumeno.desktop'"
  # The same tools the packages' triggers run, over a copy of the installed folders.
  cp -r "$share/mime" "$share/applications" "$dir/"
  update-mime-database "$dir/mime" && update-desktop-database "$dir/applications"
  expect "*.lmk is a local shortcut" grep -q "^50:$type:\*\.lmk$" "$dir/mime/globs2"
  expect "the shortcut type names its icon" grep -qx "$type:application-x-lumeno-localshortcut" "$dir/mime/icons"
  expect "the shortcut type has a Japanese description" grep -q "ローカルショートカットファイル" "$dir/mime/$type.xml"
  expect "the desktop opens local shortcuts with Lumeno" grep -qx "$type=lumeno.desktop;" "$dir/applications/mimeinfo.cache"
  # Both icons at every size, each as large as its folder says (width and height from the PNG header).
  expect "16 icons" test "$(ls "$share"/icons/hicolor/{16,22,24,32,48,64,128,256}x*/{apps/lumeno,mimetypes/application-x-lumeno-localshortcut}.png | wc -l)" = 16
  for icon in "$share"/icons/hicolor/*/*/*.png; do
    expect "$icon" test "$(od -An -tu1 -j16 -N8 "$icon" | awk '{printf "%dx%d", $3*256+$4, $7*256+$8}')" = "$(basename "$(dirname "$(dirname "$icon")")")"
  done
}

step_editor() {
  local status=0
  mkdir -p "$dir/config" "$dir/data" "$dir/runtime" && chmod 700 "$dir/runtime"
  env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$dir" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" XDG_RUNTIME_DIR="$dir/runtime" lumeno >"$dir/out.log" 2>&1 &
  # Through the link on the PATH the editor must still find the folder that holds Lumeno.chm.
  expect "the editor wrote its own folder into its settings" poll "grep -qx 'ApplicationPath=$root/usr/lib/lumeno' '$dir/config/Lumeno/Lumeno.ini'"
  # The association the editor makes for its user stands beside the package's: it must be as valid.
  expect "the user's desktop entry validates" poll "desktop-file-validate '$dir/data/applications/lumeno.desktop'"
  sleep 2
  kill -TERM $! 2>/dev/null || true
  wait $! || status=$?
  expect "the editor ran until our signal ended it (status $status)" test "$status" = 143
  [ "$failures" -eq 0 ] || cat "$dir/out.log" >&2
}

ask() { # ask CGI CONF PASSWORD: the first line of the reply to CHECK framed as the editor frames it
  printf -- '--T\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n' command CHECK pass "$3" >"$dir/body"
  printf -- '--T--' >>"$dir/body"
  env -i REQUEST_METHOD=POST GATEWAY_INTERFACE=CGI/1.1 REMOTE_ADDR=192.0.2.7 VIDODU_CONF="$2" \
    CONTENT_TYPE="multipart/form-data; boundary=T" CONTENT_LENGTH="$(stat -c %s "$dir/body")" "$1" <"$dir/body" | sed '1,/^\r$/d' | head -n 1
}

step_cgi() {
  local port
  mkdir -p "$dir/store" "$dir/htdocs"
  expect "every example names the installed program and configuration" test "$(grep -l /usr/lib/cgi-bin/vidodu.cgi \
    "$examples"/{apache2,lighttpd,nginx}{,-https}.conf "$examples"/{apache2-fcgid,lighttpd-fastcgi,nginx-fastcgi}.conf \
    | xargs grep -l /etc/lumeno/vidodu.conf | wc -l)" = 9
  # The example configuration with the two values a user fills in; until the user pastes a
  # password_hash line, no password is right.
  sed -e "s|^root = .*|root = $dir/store|" "$examples/vidodu.conf" >"$dir/nohash.conf"
  sed -e "s|^password_hash =.*|$("$cgi" --hash-password <<<"secret_1")|" "$dir/nohash.conf" >"$dir/vidodu.conf"
  expect "only the right password answers OK, and none without a password_hash" test \
    "$(ask "$cgi" "$dir/vidodu.conf" secret_1) $(ask "$cgi" "$dir/vidodu.conf" secret_2) $(ask "$cgi" "$dir/nohash.conf" secret_1)" = "OK NG NG"

  # lighttpd with each installed example, as a CGI and as a FastCGI process, pointed at this
  # scratch folder's configuration.
  for example in lighttpd lighttpd-fastcgi; do
    sed -e "s|/usr/lib/cgi-bin/vidodu.cgi|$cgi|" -e "s|/etc/lumeno/vidodu.conf|$dir/vidodu.conf|" \
      -e "s|/run/lighttpd/|$dir/|" "$examples/$example.conf" >"$dir/example.conf"
    # A port below the kernel's range for outgoing connections, which other tests' clients take
    # ports from; one taken all the same ends lighttpd at once, and another is tried.
    for attempt in 1 2 3 4 5; do
      port=$((20000 + RANDOM % 12000))
      printf 'server.modules = ("mod_alias", "mod_cgi", "mod_fastcgi", "mod_setenv")\nserver.bind = "127.0.0.1"\nserver.port = %s
server.document-root = "%s"\nserver.errorlog = "%s"\ninclude "%s"\n' "$port" "$dir/htdocs" "$dir/error.log" \
        "$dir/example.conf" >"$dir/lighttpd.conf"
      lighttpd -D -f "$dir/lighttpd.conf" </dev/null >"$dir/lighttpd.log" 2>&1 &
      poll "grep -q \"can't bind\" '$dir/lighttpd.log' || curl -s -m 2 --noproxy '*' -o /dev/null http://127.0.0.1:$port/"
      grep -q "can't bind" "$dir/lighttpd.log" || break
      wait $! 2>/dev/null || true
    done
    expect "lighttpd starts with $example.conf" poll "curl -s --noproxy '*' -o /dev/null http://127.0.0.1:$port/"
    expect "CHECK through $example.conf answers OK" test "$(curl -s --noproxy "*" -F command=CHECK -F pass=secret_1 "http://127.0.0.1:$port/vidodu.cgi" | head -n 1)" = OK
    # Below the script's path the script answers, never the web server with the program file.
    expect "GET /vidodu.cgi/x runs the script" test "$(curl -s --noproxy "*" "http://127.0.0.1:$port/vidodu.cgi/x")" = NG
    kill $! 2>/dev/null || true
    wait $! 2>/dev/null || true
    [ "$failures" -eq 0 ] || cat "$dir/lighttpd.log" "$dir/error.log" >&2 2>/dev/null || true
  done

  # The lumeno-server package's own build: configured and built alone (-DLUMENO_EDITOR=OFF).
  expect "the server builds alone with -DLUMENO_EDITOR=OFF" bash -c "cmake -S '$(dirname "$0")/../..' -B '$dir/alone' -G Ninja \
    -DLUMENO_EDITOR=OFF >'$dir/alone.log' 2>&1 && cmake --build '$dir/alone' -j 2 >>'$dir/alone.log' 2>&1 || ! cat '$dir/alone.log' >&2"
  expect "the server built alone links no Qt" bash -c "! ldd '$dir/alone/bin/vidodu.cgi' | grep -q libQt"
  expect "the server built alone answers CHECK" test "$(ask "$dir/alone/bin/vidodu.cgi" "$dir/vidodu.conf" secret_1)" = OK
}

declare -F "step_$step" >/dev/null || { echo "unknown step $step" >&2; exit 2; }
[ "$step" = build ] || { rm -rf "$dir" && mkdir -p "$dir"; }
"step_$step"
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "all checks passed"
