#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan) and runs each for a
# bounded time over its seeds. Not part of `make test`.
#   fuzz/run.sh [SECONDS per target, default 60] [BUILD_DIR, default build-fuzz]
# New inputs go to BUILD_DIR/corpus-NAME; the seeds in fuzz/corpus/NAME stay as they are.
# A crash leaves crash-* files in BUILD_DIR and makes the script fail.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/.." && pwd)
seconds=${1:-60}
build_dir=${2:-$source_dir/build-fuzz}
compiler=${CXX_FUZZ:-clang++}

command -v "$compiler" >/dev/null || { echo "fuzz/run.sh: $compiler is missing (apt-get install clang)" >&2; exit 1; }
mkdir -p "$build_dir"

build() {
  local name=$1
  shift
  "$compiler" -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$source_dir" "$here/$name.cpp" "$@" -o "$build_dir/$name"
}

build fuzz_multipart "$source_dir/server/multipart.cpp" "$source_dir/server/names.cpp"

for name in multipart; do
  mkdir -p "$build_dir/corpus-$name"
  (cd "$build_dir" && "./fuzz_$name" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    "corpus-$name" "$here/corpus/$name")
done
