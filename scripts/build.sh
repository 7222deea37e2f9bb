#!/usr/bin/env bash
# Configures and builds into build/ (or build-asan/ with --sanitize, build-tsan/ with --tsan),
# everything or the targets named after the mode.
# The build's progress goes to standard error; standard output gets only the build folder.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=build
flags=()
case "${1:-}" in
  --sanitize)
    dir=build-asan
    flags+=(-DTAVOK_SANITIZE=ON -DTAVOK_BENCH=OFF)
    shift
    ;;
  --tsan)
    dir=build-tsan
    flags+=(-DTAVOK_TSAN=ON -DTAVOK_BENCH=OFF)
    shift
    ;;
esac
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
cmake -S "$top" -B "$top/$dir" -G Ninja "${flags[@]}" >&2
cmake --build "$top/$dir" --parallel "$(nproc)" "${targets[@]}" >&2
echo "$top/$dir"
