#!/usr/bin/env bash
# Sets up a fresh machine, builds, and runs every test under a virtual display.
# --sanitize: AddressSanitizer with leak detection and UndefinedBehaviorSanitizer (build-asan/).
# --tsan: ThreadSanitizer over the test programs whose code has threads: shared memory and
#         events, semaphores, sound, audio, the game and the movie decode threads (build-tsan/).
#         Mesa's rasteriser draws on the calling thread there (LP_NUM_THREADS=0).
# The fuzz targets' corpora are replayed in every mode (scripts/fuzz.sh fuzzes them).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
export ALSOFT_DRIVERS=null
select=()
build=("$@")
case "${1:-}" in
  --sanitize)
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
    export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/lsan.supp:print_suppressions=0}
    ;;
  --tsan)
    export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$here/tsan.supp}
    export LP_NUM_THREADS=${LP_NUM_THREADS:-0}
    select=(-R '^(sys|app|sound|audio|game|movie)$')
    build=(--tsan test_sys test_app test_sound test_audio test_game test_movie)
    ;;
esac
dir=$("$here/build.sh" "${build[@]}")
cd "$dir"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure --parallel "$(nproc)" "${select[@]}"
