#!/usr/bin/env bash
# One minute of the program on the current X display with random keys (fixed seed) sent to its
# window: it must keep running, end with status 0 on a close request, and use at the end no more
# than 5% more (or less) memory than after its first second. SOAK_MEMORY_CHECK=0 only reports the
# memory (a sanitizer's quarantine of freed blocks grows it by design).
# Usage: soak_run.sh <run folder> [program name] [seconds]
set -u
. "$(dirname "$0")/x11_window.sh"
run_dir=$1
program=${2:-tavok}
seconds=${3:-60}
cd "$run_dir" || exit 1

fail() {
    echo "soak run: $*" >&2
    [ -n "${pid:-}" ] && kill -KILL "$pid" 2>/dev/null
    exit 1
}
resident_kib() {
    awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null
}

"./$program" &
pid=$!
wid=$(window_of "$pid")
[ -n "$wid" ] || fail "no window"
window_focus "$wid"

# The clock starts when the title shows: start-up takes longer on a busy machine.
shot=$(mktemp --suffix=.png)
trap 'rm -f "$shot"' EXIT
wait_for_title "$wid" "$shot" ||
    fail "no title picture: $(colours "$shot" 2>/dev/null || echo no) colours"

RANDOM=1
keys=(Left Right Up Down z x)
start=$(date +%s)
first=""
while [ $(($(date +%s) - start)) -lt "$seconds" ]; do
    alive_or_fail "$pid"
    [ -z "$first" ] && [ $(($(date +%s) - start)) -ge 1 ] && first=$(resident_kib)
    down=()
    for k in "${keys[@]}"; do
        ((RANDOM % 3 == 0)) && down+=("$k")
    done
    [ ${#down[@]} -gt 0 ] && press "${down[@]}"
    sleep 0.$((RANDOM % 4 + 1))
    [ ${#down[@]} -gt 0 ] && release "${down[@]}"
done
last=$(resident_kib)
end_program "$pid"
[ "$status" = stuck ] && fail "still running 30 s after the close request"
[ "$status" = 0 ] || fail "exit status $status"
[ -n "$first" ] && [ -n "$last" ] || fail "no memory reading"
echo "soak run: resident ${first} KiB after 1 s, ${last} KiB at the end"
[ "${SOAK_MEMORY_CHECK:-1}" = 0 ] && exit 0
[ $((last * 100)) -le $((first * 105)) ] || fail "memory grew by more than 5%"
[ $((last * 100)) -ge $((first * 95)) ] || fail "memory shrank by more than 5%"
