#!/usr/bin/env bash
# Starts the editor from a build folder.
set -euo pipefail
build_dir=${1:-build}
exec "$build_dir/bin/lumeno"
