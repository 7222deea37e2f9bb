# Helpers shared by the scripts that drive the program's window on the test display.
# Every call is bounded in time: a stalled X client must fail the script, never hang it.

# window_of <pid>: the id of the process's visible "Tavok" window, or nothing after 30 s.
window_of() {
    timeout 30 xdotool search --sync --onlyvisible --pid "$1" --name '^Tavok$' 2>/dev/null |
        head -n 1
}

# window_focus <wid>: gives the window the keyboard focus.
window_focus() {
    timeout 10 xdotool windowfocus --sync "$1" 2>/dev/null
}

# window_shot <wid> <file.png>: a picture of the window's contents. xwd reads the window without
# grabbing the server (ImageMagick's import grabs it and can deadlock with a busy client). A read
# can fail while the window is being reconfigured: it is tried three times, the last error shown.
window_shot() {
    local attempt err
    err=$(mktemp)
    for attempt in 1 2 3; do
        if timeout 20 xwd -silent -id "$1" 2>"$err" | timeout 20 convert xwd:- "png:$2" 2>>"$err"; then
            rm -f "$err"
            return 0
        fi
        sleep 0.5
    done
    cat "$err" >&2
    rm -f "$err"
    return 1
}

# colours <file>: how many distinct colours the picture holds.
colours() {
    convert "$1" -format "%k" info:
}

# wait_for_title <wid> <file.png>: waits up to 60 s for a picture of more than 16 colours (the
# title); start-up takes longer on a busy machine. Succeeds when it shows.
wait_for_title() {
    local attempt
    for attempt in $(seq 1 60); do
        sleep 1
        window_shot "$1" "$2" && [ "$(colours "$2")" -gt 16 ] && return 0
    done
    return 1
}

# end_program <pid>: a close request (SDL turns the termination signal into a quit); sets status
# to the exit status, or to "stuck" when the program is still running 30 s later (then killed).
# Not for a command substitution: only this shell can wait for its child.
end_program() {
    local waited
    kill -TERM "$1"
    for waited in $(seq 1 300); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$1" 2>/dev/null; then
        kill -KILL "$1" 2>/dev/null
        wait "$1" 2>/dev/null
        status=stuck
        return
    fi
    wait "$1"
    status=$?
}

# alive_or_fail <pid>: ends the script through its fail function, naming the exit status, when
# the program has ended.
alive_or_fail() {
    kill -0 "$1" 2>/dev/null && return 0
    wait "$1"
    fail "the program ended with status $?"
}

# press <keys...> / release <keys...>: key events for the focused window.
press() { timeout 5 xdotool keydown "$@"; }
release() { timeout 5 xdotool keyup "$@"; }
