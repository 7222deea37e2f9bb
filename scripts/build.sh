#!/usr/bin/env bash
# Configures and builds into build/ (or build-asan/ with --sanitize).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  flags+=(-DTAVOK_SANITIZE=ON)
fi
cmake -S "$top" -B "$top/$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$top/$dir" --parallel "$(nproc)"
echo "$top/$dir"
