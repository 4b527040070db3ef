# Helpers for tests that drive the real program under Xvfb the way a person
# does: keys through the X test extension, windows found by their titles.
# Sourced, not run. Needs Xvfb, xdotool.

# copy_program PROGRAM FOLDER: puts the program in a folder of its own with what
# it reads from beside itself: the sounds.
copy_program() {
    mkdir -p "$2"
    cp "$1" "$2/" || return 1
    cp "$(dirname "$1")"/*.wav "$2/" 2>/dev/null
    return 0
}

# Two fast chickens (StatDivisor 1, StatOffset 0): a match between them takes
# seconds.
HOST_CHICKEN='1,0,"Henrietta",14,12,100,100,30,0,0,3,0,0,0,0,0,6,6,#TRUE#,#TRUE#'
JOIN_CHICKEN='2,5,"Big Bruno",30,24,190,200,70,0,0,28,0,0,0,0,0,12,10,#TRUE#,#FALSE#'

# make_player PROGRAM FOLDER CHICKEN: the program in a folder of its own with
# that chicken in its chicken.dat.
make_player() {
    copy_program "$1" "$2" || return 1
    printf '%s\r\n' "$3" >"$2/chicken.dat"
}

# start_in FOLDER [RUN...]: starts the program copied into the folder, from
# there, as an argument of the command RUN if one is given; its output goes to
# FOLDER.log. Sets PID to the program's process (RUN must end by exec'ing it).
start_in() {
    local dir="$1"
    shift
    (cd "$dir" && exec "$@" ./quorvel >"$dir.log" 2>&1) &
    PID=$!
}

# host_by_keys FOLDER [RUN...]: start_in, then Alt+S on the title screen; waits
# for the host screen. Sets HOST_PID.
host_by_keys() {
    local title
    start_in "$@"
    HOST_PID=$PID
    title=$(wait_window "$HOST_PID" Quorvel 20) || return 1
    press "$title" alt+s || return 1
    wait_window "$HOST_PID" "Multiplayer - Server" 10 >/dev/null
}

# start_x: starts a private X server and exports DISPLAY. The server picks a
# free display itself (two starting at once cannot take the same one) and does
# not reset when its last client leaves, which would refuse a program starting
# at that moment.
start_x() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    local d
    read -r -t 10 d <"$fifo"
    rm -f "$fifo"
    [ -n "$d" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$d"
    for _ in $(seq 100); do
        xdotool getmouselocation >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not answer" >&2
    return 1
}

stop_x() { [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null || true; }

# windows_of PID TITLE: the visible windows of PID with exactly that title
# (xdotool's own name search ignores case, so the names are compared here).
# --all: xdotool joins its conditions with "or" by default, which would list
# every program's windows.
windows_of() {
    local w
    for w in $(xdotool search --all --onlyvisible --pid "$1" --name . 2>/dev/null); do
        [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$2" ] && echo "$w"
    done
}

# window_of PID TITLE: the first of them.
window_of() { windows_of "$@" | head -n 1; }

# wait_window PID TITLE [SECONDS]: waits for it and prints its id.
wait_window() {
    local w i limit=$(( ${3:-20} * 10 ))
    for i in $(seq "$limit"); do
        w=$(window_of "$1" "$2")
        if [ -n "$w" ]; then
            echo "$w"
            return 0
        fi
        sleep 0.1
    done
    echo "no window '$2' of process $1" >&2
    return 1
}

# focus WINDOW: gives the window the keyboard, and makes sure it has it: keys go
# wherever the keyboard is, and a window that has just opened may have taken it.
focus() {
    local _
    for _ in 1 2 3 4 5; do
        xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1" 2>/dev/null ||
            return 1
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# press WINDOW KEYS...: gives the window the keyboard and presses keys there.
press() {
    local w="$1"
    shift
    focus "$w" || return 1
    xdotool key --clearmodifiers "$@" 2>/dev/null
}

# type_into WINDOW TEXT
type_into() {
    focus "$1" || return 1
    xdotool type --delay 20 "$2"
}

# open_prompt PID: on PID's title screen, Alt+C; prints the address prompt (which
# carries the program's title too: the other such window).
open_prompt() {
    local title prompt=""
    title=$(wait_window "$1" Quorvel 20) || return 1
    press "$title" alt+c || return 1
    for _ in $(seq 100); do
        prompt=$(windows_of "$1" Quorvel | grep -vx "$title" | head -n 1)
        [ -n "$prompt" ] && break
        sleep 0.1
    done
    [ -n "$prompt" ] || { echo "no address prompt" >&2; return 1; }
    echo "$prompt"
}

# join_by_keys PID [ADDRESS]: opens the prompt, types the address over what the
# field holds and presses Return. Without an address, Return alone takes the
# address the prompt offers.
join_by_keys() {
    local prompt
    prompt=$(open_prompt "$1") || return 1
    if [ $# -ge 2 ]; then
        # End and a row of BackSpaces clear the field whatever is selected in it.
        press "$prompt" End $(printf 'BackSpace %.0s' $(seq 20))
        type_into "$prompt" "$2"
    fi
    press "$prompt" Return
}

# play_out SECONDS PID LOG [PID LOG...]: plays the programs' matches to their
# end, pressing Kick and Combo whenever a fight screen offers them (Alt+K, Alt+C;
# not Alt+P, which a result box opening under the keys takes as Play again) and
# answering each final box (the program's log has said "box:" and not yet
# "chosen:"): Play again (Alt+P) until MATCHES matches (default 1) have been
# played, then Return. Sets STATUSES to the programs' exit statuses, in order.
# Fails if they have not all ended in time.
play_out() {
    local deadline=$((SECONDS + $1)) pids=() logs=() i left window boxes chosen
    shift
    while [ $# -ge 2 ]; do
        pids+=("$1") logs+=("$2")
        shift 2
    done
    STATUSES=()
    while :; do
        left=0
        for i in "${!pids[@]}"; do
            [ -n "${STATUSES[i]:-}" ] && continue
            if ! kill -0 "${pids[i]}" 2>/dev/null; then
                wait "${pids[i]}"
                STATUSES[i]=$?
                continue
            fi
            left=1
            boxes=$(grep -cE '(^| )box: ' "${logs[i]}")
            chosen=$(grep -cE '(^| )chosen: ' "${logs[i]}")
            if [ "$boxes" -gt "$chosen" ]; then
                window=$(window_of "${pids[i]}" Quorvel)
                if [ -z "$window" ]; then
                    :
                elif [ "$boxes" -lt "${MATCHES:-1}" ]; then
                    press "$window" alt+p
                else
                    press "$window" Return
                fi
            else
                window=$(window_of "${pids[i]}" 'Fight!')
                [ -n "$window" ] && press "$window" alt+k alt+c
            fi
        done
        [ "$left" = 0 ] && return 0
        [ $SECONDS -lt "$deadline" ] || return 1
        sleep 0.05
    done
}
