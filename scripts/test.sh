#!/usr/bin/env bash
# Sets up a fresh machine, builds, and runs every test under a virtual display.
# --sanitize builds with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
dir=$("$here/build.sh" "$@" | tail -n 1)
export ALSOFT_DRIVERS=null
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
cd "$dir"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure --parallel "$(nproc)"
