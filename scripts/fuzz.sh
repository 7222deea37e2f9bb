#!/usr/bin/env bash
# Builds one fuzz target with clang and libFuzzer (in build-fuzz/) and fuzzes it for SECONDS.
# Usage: scripts/fuzz.sh TARGET SECONDS   (TARGET: a fuzz_*.cpp name under tests/fuzz/, such as
# wav or datafile; "list" prints them)
# The run starts from the target's corpus in tests/fuzz/corpus/TARGET (seeded from the sample
# data when empty), and the corpus is minimised back there afterwards. An input that crashes,
# hangs or trips a sanitizer is kept as build-fuzz/findings/TARGET-*; the script then exits 1.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
targets=$(cd "$top/tests/fuzz" && ls fuzz_*.cpp | sed -n 's/^fuzz_\(.*\)\.cpp$/\1/p' |
          grep -v -x -e env -e image -e replay -e seeds)
if [ "${1:-}" = list ]; then echo "$targets"; exit 0; fi
if [ $# -ne 2 ] || ! grep -q -x "$1" <<<"$targets" || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 TARGET SECONDS   (targets:" $targets")" >&2
  exit 2
fi
target=$1 seconds=$2
"$top/scripts/setup.sh"
dir="$top/build-fuzz"
mkdir -p "$dir"
# Several targets may be fuzzed at once: one build at a time.
(
  flock 9
  CC=clang CXX=clang++ cmake -S "$top" -B "$dir" -G Ninja -DTAVOK_SANITIZE=ON -DTAVOK_FUZZ=ON \
    -DTAVOK_BENCH=OFF >/dev/null
  cmake --build "$dir" --target "fuzz_$target" fuzz_seeds run_data run_datagen >&2
) 9>"$dir/.build-lock"

keep="$top/tests/fuzz/corpus/$target"
work="$dir/corpus/$target"
mkdir -p "$keep" "$work" "$dir/findings"
if [ -z "$(ls -A "$work")" ]; then
  cp -n "$keep"/* "$work"/ 2>/dev/null || true
  "$dir/tests/fuzz/fuzz_seeds" "$target" "$dir/run/bin" "$work"
fi
# Scratch files on a memory file system: the targets that read files write one per input.
[ -w /dev/shm ] && export TMPDIR=/dev/shm
export ALSOFT_DRIVERS=null TAVOK_SHM_PREFIX="fuzz_$target"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$top/scripts/lsan.supp}
[ -x /usr/lib/llvm-14/bin/llvm-symbolizer ] && export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
status=0
xvfb-run -a -s "-screen 0 640x480x24" "$dir/tests/fuzz/fuzz_$target" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix="$dir/findings/$target-" "$work" || status=$?

# The smallest set of inputs that reaches all the coverage found goes back into the repository.
rm -rf "$keep.new"
mkdir -p "$keep.new"
xvfb-run -a -s "-screen 0 640x480x24" "$dir/tests/fuzz/fuzz_$target" -merge=1 \
  -timeout=10 -rss_limit_mb=4096 -max_len=65536 "$keep.new" "$keep" "$work" >/dev/null 2>&1 &&
  rm -rf "$keep" && mv "$keep.new" "$keep" || rm -rf "$keep.new"
echo "fuzz $target: $(ls "$keep" | wc -l) inputs kept in tests/fuzz/corpus/$target" >&2
exit $status
