#!/usr/bin/env bash
# One minute of the program on the current X display with random keys (fixed seed) sent to its
# window: it must keep running, end with status 0 on a close request, and use at the end no more
# than 5% more (or less) memory than after its first second.
# Usage: soak_run.sh <run folder> [program name] [seconds]
set -u
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
wid=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name '^Tavok$' 2>/dev/null |
    head -n 1)
[ -n "$wid" ] || fail "no window"
xdotool windowfocus --sync "$wid" 2>/dev/null

# The clock starts when the title shows: start-up takes longer on a busy machine.
shot=$(mktemp --suffix=.png)
trap 'rm -f "$shot"' EXIT
for attempt in $(seq 1 30); do
    sleep 1
    import -window "$wid" "$shot" 2>/dev/null &&
        [ "$(convert "$shot" -format "%k" info:)" -gt 16 ] && break
done

RANDOM=1
keys=(Left Right Up Down z x)
start=$(date +%s)
first=""
while [ $(($(date +%s) - start)) -lt "$seconds" ]; do
    kill -0 "$pid" 2>/dev/null || fail "the program ended early"
    [ -z "$first" ] && [ $(($(date +%s) - start)) -ge 1 ] && first=$(resident_kib)
    down=()
    for k in "${keys[@]}"; do
        ((RANDOM % 3 == 0)) && down+=("$k")
    done
    [ ${#down[@]} -gt 0 ] && xdotool keydown "${down[@]}"
    sleep 0.$((RANDOM % 4 + 1))
    [ ${#down[@]} -gt 0 ] && xdotool keyup "${down[@]}"
done
last=$(resident_kib)
kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
[ -n "$first" ] && [ -n "$last" ] || fail "no memory reading"
echo "soak run: resident ${first} KiB after 1 s, ${last} KiB at the end"
[ $((last * 100)) -le $((first * 105)) ] || fail "memory grew by more than 5%"
[ $((last * 100)) -ge $((first * 95)) ] || fail "memory shrank by more than 5%"
