#!/usr/bin/env bash
# Plays the program on the current X display (one of its own under CTest) with keys sent to its
# window: the title picture shows, button 1 (Z) leads to the selection, and a close request ends
# it with status 0.
# Usage: scripted_run.sh <run folder> [program name]
set -u
. "$(dirname "$0")/x11_window.sh"
run_dir=$1
program=${2:-tavok}
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
cd "$run_dir" || exit 1

fail() {
    echo "scripted run: $*" >&2
    [ -n "${pid:-}" ] && kill -KILL "$pid" 2>/dev/null
    exit 1
}

pixel_at() {
    convert "$1" -crop "1x1+$2+$3" +repage -format \
        "%[fx:int(255*r+0.5)],%[fx:int(255*g+0.5)],%[fx:int(255*b+0.5)]" info:
}
hold_key() {
    window_focus "$wid"
    press "$1"
    sleep 0.3
    release "$1"
}

"./$program" &
pid=$!
# Only this process's window: other programs may share the display.
wid=$(window_of "$pid")
[ -n "$wid" ] || fail "no window"

# The title: a picture of many colours, the same for a while (the scene waits for button 1).
wait_for_title "$wid" "$shots/title.png" ||
    fail "no title picture: $(colours "$shots/title.png" 2>/dev/null || echo no) colours"
title_cell=$(pixel_at "$shots/title.png" 195 163)

# Button 1: the selection, whose grid frames each face in black (entry 1's corner at 195,163).
# A key that went astray (focus taken on a shared display) is sent again.
for attempt in 1 2 3; do
    hold_key z
    sleep 1.5
    alive_or_fail "$pid"
    window_shot "$wid" "$shots/select.png" || { alive_or_fail "$pid"; fail "no screenshot"; }
    cell=$(pixel_at "$shots/select.png" 195 163)
    [ "$cell" = "0,0,0" ] && break
done
[ "$cell" = "0,0,0" ] || fail "no selection grid: corner of entry 1 is $cell (title $title_cell)"
cmp -s "$shots/title.png" "$shots/select.png" && fail "the picture did not change"

# A close request (SDL turns the termination signal into a quit) ends the program normally.
end_program "$pid"
[ "$status" = stuck ] && fail "still running 30 s after the close request"
[ "$status" = 0 ] || fail "exit status $status"
echo "scripted run: title, selection, exit status 0"
