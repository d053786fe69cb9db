#!/usr/bin/env bash
# Checks that every C++ file the project tracks (outside build folders) is formatted the way the
# project's .clang-format says; names each file that is not, with clang-format's first complaint.
# Exits 77 (skipped) when clang-format is not installed.
#
#   cmake/check-format.sh SOURCE_DIR
set -euo pipefail
cd "$1"

if ! command -v clang-format >/dev/null; then
  echo "clang-format is not installed: format check skipped"
  exit 77
fi

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h' | grep -v '^build[^/]*/')
else # a source archive: every file outside the build folders
  mapfile -t files < <(find . -path './build*' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print | sort)
fi

if [ ${#files[@]} -eq 0 ]; then # clang-format without files would read its standard input
  echo "no C++ files found"
  exit 1
fi

# One run over every file; each complaint is "FILE:LINE:COLUMN: error: ..." and two lines showing where.
if report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  echo "all ${#files[@]} files are formatted"
  exit 0
fi
# Each file once, with its first complaint.
awk -F: '/: error: / { shown = seen[$1]++ ? 0 : 3; if (shown) print "not formatted: " $1 }
         shown > 0 { print "    " $0; shown-- }' <<<"$report"
unformatted=$(grep ': error: ' <<<"$report" | cut -d: -f1 | sort -u | wc -l)
echo "$unformatted of ${#files[@]} files are not formatted; clang-format -i FILE formats one"
exit 1
