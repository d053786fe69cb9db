#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan) and runs each for a
# bounded time over its seeds. Not part of `make test`.
#   fuzz/run.sh [SECONDS per target, default 60] [BUILD_DIR, default build-fuzz] [TARGET...]
# Targets: multipart (the server's multipart parser and path rules), handler (the server's
# whole request handling on a real folder tree), replies (the editor's reading of replies),
# decode (the password codec's Decode), shortcut (the .lmk reader). Default: all of them.
# New inputs go to BUILD_DIR/corpus-NAME; the seeds in fuzz/corpus/NAME stay as they are.
# A crash leaves crash-* files in BUILD_DIR and makes the script fail.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/.." && pwd)
seconds=${1:-60}
build_dir=${2:-$source_dir/build-fuzz}
shift $(($# < 2 ? $# : 2))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(multipart handler replies decode shortcut)
compiler=${CXX_FUZZ:-clang++}

command -v "$compiler" >/dev/null || { echo "fuzz/run.sh: $compiler is missing (apt-get install clang)" >&2; exit 1; }
mkdir -p "$build_dir"

# Qt for the editor's side; the same flags as the program's build.
qt() { pkg-config --cflags --libs Qt6Core icu-uc; }

build() {
  local name=$1
  shift
  "$compiler" -std=c++20 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$source_dir" "$here/fuzz_$name.cpp" "$@" -o "$build_dir/fuzz_$name"
}

server=(server/multipart.cpp server/names.cpp)
for name in "${targets[@]}"; do
  case "$name" in
    multipart) build multipart "${server[@]/#/$source_dir/}" ;;
    handler)
      build handler "${server[@]/#/$source_dir/}" "$source_dir"/server/{handler,store,auth,throttle,config,fdio,versions,disk,history}.cpp \
        -lsodium
      ;;
    replies) build replies "$source_dir"/protocol/replies.cpp "$source_dir"/platform/cp932.cpp $(qt) ;;
    decode)
      build decode "$source_dir"/codec/codec.cpp "$source_dir"/platform/{machine,random}.cpp $(qt)
      ;;
    shortcut) build shortcut "$source_dir"/app/shortcutfile.cpp "$source_dir"/platform/cp932.cpp $(qt) ;;
    *) echo "fuzz/run.sh: no target $name" >&2; exit 2 ;;
  esac
done

for name in "${targets[@]}"; do
  mkdir -p "$build_dir/corpus-$name"
  echo "== $name: $seconds s"
  (cd "$build_dir" && "./fuzz_$name" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    "corpus-$name" "$here/corpus/$name" 2>&1 | grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|==|SUMMARY|Done)|ERROR|crash-|deadly' || true)
  # A finding stops libFuzzer with an artifact; the filtered output above shows which.
  if compgen -G "$build_dir/crash-*" >/dev/null || compgen -G "$build_dir/leak-*" >/dev/null \
    || compgen -G "$build_dir/timeout-*" >/dev/null || compgen -G "$build_dir/oom-*" >/dev/null; then
    echo "fuzz/run.sh: $name found a failing input; see $build_dir" >&2
    exit 1
  fi
done
