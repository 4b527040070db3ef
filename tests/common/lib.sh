# shellcheck shell=bash
# The shell library of the tests that start the real programs: game folders, an
# X server driven by keys the way a person does (windows found by their titles),
# the namespace internet of tests/internet/topology.sh, and reading the
# programs' logs. Sourced, not run. Needs Xvfb and xdotool.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
TESTS="$ROOT/tests"

# Fast chickens (StatDivisor 1, StatOffset 0): a match between them takes seconds.
HOST_CHICKEN='1,0,"Henrietta",14,12,100,100,30,0,0,3,0,0,0,0,0,6,6,#TRUE#,#TRUE#'
JOIN_CHICKEN='2,5,"Big Bruno",30,24,190,200,70,0,0,28,0,0,0,0,0,12,10,#TRUE#,#FALSE#'
SPARKY_CHICKEN='1,0,"Sparky",16,10,100,80,30,0,0,9,0,0,0,0,0,4,7,#TRUE#,#FALSE#'

# soon TENTHS COMMAND...: waits up to TENTHS tenths of a second for the command
# to succeed.
soon() {
    local i
    for ((i = 1; i < $1; i++)); do
        "${@:2}" && return 0
        sleep 0.1
    done
    "${@:2}"
}

# session [CATEGORY...]: what every such test starts with. A work folder (kept at
# exit with KEEP_WORK=1) holding the programs' config and data homes, so that
# neither the addresses the developer joined nor a chicken saved with the coop
# changes the match; an X server of its own; the programs' logs of those
# categories (status.info, say), a message a line unless QT_MESSAGE_PATTERN says
# otherwise. At exit all that the script started in the background ends.
session() {
    work=$(mktemp -d)
    export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
    mkdir -p "$XDG_DATA_HOME"
    trap end_session EXIT
    trap 'exit 1' TERM INT HUP
    local rules="" category
    for category in "$@"; do rules+="quorvel.$category=true;"; done
    export QT_LOGGING_RULES="${rules%;}"
    [ -n "${QT_MESSAGE_PATTERN:-}" ] || export QT_MESSAGE_PATTERN="%{message}"
    unset QT_QPA_PLATFORM
    start_x || exit 1
}

end_session() {
    stop_jobs
    [ -z "${QUORVEL_NET:-}" ] || internets_down "$QUORVEL_NET(-[a-z])?"
    stop_x
    if [ "${KEEP_WORK:-0}" = 1 ]; then echo "logs in $work"; else rm -rf "$work"; fi
}

# stop_jobs: ends what the script started in the background (and their
# children: a launcher's game), but the X server.
stop_jobs() {
    local pid
    for pid in $(jobs -p); do
        [ "$pid" != "${XVFB_PID:-}" ] || continue
        pkill -P "$pid" 2>/dev/null
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
}

# fail WHY: says why and shows the logs in the work folder.
fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do
        echo "--- ${log##*/}"
        cat "$log"
    done
    exit 1
}

# make_player PROGRAM FOLDER CHICKEN: the program in a folder of its own with
# what it reads from beside itself (the sounds) and that chicken in its
# chicken.dat.
make_player() {
    mkdir -p "$2" && cp "$1" "$2/" || return 1
    cp "$(dirname "$1")"/*.wav "$2/" 2>/dev/null
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

# start_x: starts a private X server and exports DISPLAY. It takes a display
# whose socket file no server holds: a server's check that a display is free
# sees only the servers of its own network namespace, and one in another
# namespace would take the file over from the one a program in a third (a node
# of the namespace internet) meant to reach. No reset when the last client
# leaves, which would refuse a program starting at that moment.
start_x() {
    local d i
    for d in $(shuf -i 100-9999 -n 20); do
        [ ! -e "/tmp/.X11-unix/X$d" ] || continue
        Xvfb ":$d" -noreset -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$d"
        for ((i = 0; i < 100; i++)); do
            kill -0 "$XVFB_PID" 2>/dev/null || break
            xdotool getmouselocation >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        stop_x
    done
    echo "Xvfb did not start" >&2
    return 1
}

stop_x() {
    [ -n "${XVFB_PID:-}" ] || return 0
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
}

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

# window_of PID TITLE [EXCEPT]: the first of them, but the window EXCEPT.
window_of() { windows_of "$1" "$2" | grep -vx "${3:-}" | head -n 1; }

# wait_window PID TITLE [SECONDS [EXCEPT]]: waits for such a window (not EXCEPT)
# and prints its id.
wait_window() {
    local w
    shown() { w=$(window_of "$@") && [ -n "$w" ]; }
    soon $((${3:-20} * 10)) shown "$1" "$2" "${4:-}" || { echo "no window '$2' of process $1" >&2 && return 1; }
    echo "$w"
}

# press WINDOW KEYS...: gives the window the keyboard, and makes sure it has it
# (a window that has just opened may have taken it), then presses the keys.
press() {
    local w="$1"
    shift
    focused() {
        xdotool windowfocus --sync "$w" 2>/dev/null || xdotool windowfocus "$w" 2>/dev/null
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$w" ]
    }
    soon 5 focused || return 1
    xdotool key --clearmodifiers "$@" 2>/dev/null
}

# on_title PID KEY: waits for PID's title screen and presses the key there;
# prints the title screen's window.
on_title() {
    local title
    title=$(wait_window "$1" Quorvel 20) && press "$title" "$2" && echo "$title"
}

# host_by_keys FOLDER [RUN...]: start_in, then Alt+S on the title screen; waits
# for the host screen. Sets HOST_PID.
host_by_keys() {
    start_in "$@"
    HOST_PID=$PID
    on_title "$HOST_PID" alt+s >/dev/null || return 1
    wait_window "$HOST_PID" "Multiplayer - Server" 10 >/dev/null
}

# open_prompt PID: on PID's title screen, Alt+C; prints the address prompt (which
# carries the program's title too: the other such window).
open_prompt() {
    local title
    title=$(on_title "$1" alt+c) && wait_window "$1" Quorvel 10 "$title"
}

# join_and_play SECONDS ADDRESS [RUN...]: the program in $work/join (started by
# RUN, if given) joins the host ($HOST_PID, logging to $work/host.log) by keys
# at the address, and both play out their matches (play_out).
join_and_play() {
    start_in "$work/join" "${@:3}"
    join_by_keys "$PID" "$2" || fail "joining by keys"
    play_out "$1" "$HOST_PID" "$work/host.log" "$PID" "$work/join.log" || fail "the match did not end in time"
}

# join_by_keys PID [ADDRESS]: opens the prompt, types the address over what the
# field holds and presses Return. Without an address, Return alone takes the
# address the prompt offers.
join_by_keys() {
    local prompt
    prompt=$(open_prompt "$1") || return 1
    if [ $# -ge 2 ]; then
        # End and a row of BackSpaces clear the field whatever is selected in it.
        press "$prompt" End $(printf 'BackSpace %.0s' $(seq 20)) || return 1
        xdotool type --delay 20 "$2"
    fi
    press "$prompt" Return
}

# play_out SECONDS PID LOG [PID LOG...]: plays the programs' matches to their
# end, pressing Kick and Combo whenever a fight screen offers them (Alt+K, Alt+C;
# not Alt+P, which a result box opening under the keys takes as Play again) and
# answering each final box (the program's log has said "box:" and not yet
# "chosen:"): Play again (Alt+P) until MATCHES matches (default 1) have been
# played, then Return; with CLOSE_WHEN set, only once that command succeeds. A
# process that shows no windows (the practice opponent) is waited for. Sets
# STATUSES to the exit statuses, in order. Fails if not all ended in time.
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
            [ -z "${STATUSES[i]:-}" ] || continue
            if ! kill -0 "${pids[i]}" 2>/dev/null; then
                wait "${pids[i]}" 2>/dev/null
                STATUSES[i]=$?
                continue
            fi
            left=1
            boxes=$(grep -cE '(^| )box: ' "${logs[i]}")
            chosen=$(grep -cE '(^| )chosen: ' "${logs[i]}")
            if [ "$boxes" -gt "$chosen" ]; then
                window=$(window_of "${pids[i]}" Quorvel)
                [ -n "$window" ] || continue
                if [ "$boxes" -lt "${MATCHES:-1}" ]; then
                    press "$window" alt+p
                elif [ -z "${CLOSE_WHEN:-}" ] || eval "$CLOSE_WHEN"; then
                    press "$window" Return
                fi
            else
                window=$(window_of "${pids[i]}" 'Fight!')
                [ -z "$window" ] || press "$window" alt+k alt+c
            fi
        done
        [ "$left" = 1 ] || return 0
        [ $SECONDS -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# field LOG PATTERN: the rest of the last line whose message (after the time, if
# any) starts with the pattern.
field() { sed -n -E "s/^( *[0-9][-0-9T:.]* +)?$2//p" "$1" | tail -n 1; }

# results LOG: win, lose, draw or - for each of the program's final boxes.
results() {
    awk '/(^| )box: / { r = "-"; if (/box: Quorvel \| You Win!$/) r = "win"; else if (/box: Quorvel \| You Lose!$/) r = "lose"
        else if (/box: Quorvel \| Draw!$/) r = "draw"; print r }' "$1"
}

# agreed MATCHES HOST.LOG JOIN.LOG: both sides showed MATCHES final boxes, and
# in each match one side won and the other lost, or both drew.
agreed() {
    [ "$(paste -d/ <(results "$2") <(results "$3") | grep -cxE 'win/lose|lose/win|draw/draw')" = "$1" ] &&
        [ "$(results "$2" | wc -l)/$(results "$3" | wc -l)" = "$1/$1" ]
}

# hit_points LOG: own/opponent's hit points as the side held them at the end
# ("hit points: own NAME N | opponent NAME M").
hit_points() { field "$1" 'hit points: ' | sed -E 's/^own .* (-?[0-9]+) \| opponent .* (-?[0-9]+)$/\1\/\2/; t; d'; }

# The namespace internet of tests/internet/topology.sh, for the scripts that make
# one: they need root and /dev/net/tun.
topology() { "$TESTS/internet/topology.sh" "$@"; }

# internets_down REGEX [STALE]: takes down the topologies whose names match; with
# STALE, only those whose script (the pid after the prefix STALE) has ended.
internets_down() {
    local net pid
    for net in $(ip netns list | sed -nE "s/^($1)-[a-z]+( .*)?\$/\1/p" | sort -u); do
        pid=${net#"${2:-}"}
        [ -n "${2:-}" ] && kill -0 "${pid%-*}" 2>/dev/null || QUORVEL_NET="$net" topology down 2>/dev/null
    done
}

# own_internet PREFIX: exits 77 (skipped) without root and /dev/net/tun; else
# names this script's topology PREFIX and its pid (a lane's: that, a dash and a
# letter), taken down at exit, and first takes down those that a killed run left
# (at CTest's timeout, say).
own_internet() {
    if [ "$(id -u)" -ne 0 ] || [ ! -c /dev/net/tun ]; then
        echo "skipped: needs root and /dev/net/tun"
        exit 77
    fi
    export QUORVEL_NET="$1$$"
    internets_down "$1[0-9]+(-[a-z])?" "$1"
}

# internet_session PREFIX [CATEGORY...]: own_internet, then a session whose logs
# carry the seconds since boot, to be read with seconds.
internet_session() { own_internet "$1" && export QT_MESSAGE_PATTERN="%{time boot} %{message}" && session "${@:2}"; }

# mapped PORT: router A forwards that outside port (the chain read whole: grep -q
# ending the pipe early would fail it under pipefail).
mapped() {
    [[ $(topology exec routera nft list chain inet nat prerouting_miniupnpd 2>/dev/null) == *"dport $1 "* ]]
}

# host_start "OPTIONS" [NAME=VALUE...]: the topology (topology.sh up with those
# options), and the program hosting in home A by keys, with those variables in
# its environment, until its host screen has said its line about the internet.
# Sets why when it fails.
host_start() {
    : >"$work/host.log"
    [ -d "$work/host" ] || make_player "$program" "$work/host" "$HOST_CHICKEN"
    topology up ${1:-} >/dev/null || { why="the namespace internet did not come up" && return 1; }
    host_by_keys "$work/host" "$TESTS/internet/topology.sh" exec host env "${@:2}" || { why="hosting by keys" && return 1; }
    soon 80 grep -q ' internet: [^A]' "$work/host.log" || { why="no line about the internet" && return 1; }
}

# seconds LOG PATTERN: the boot time of the first line matching, empty if none.
seconds() { awk -v p="$2" '$0 ~ p { print $1; exit }' "$1"; }
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%d", (b - a) * 1000 }'; }

# in_lane LETTER COMMAND...: runs the command in the background in a lane of its
# own, with a work folder ($work/LETTER), a topology name (QUORVEL_NET-LETTER)
# and an X server of its own; LANES (default 5) at most at once. What it prints
# goes to $work/LETTER.out; a FAIL line there fails the lane, as does an end
# before the command's (a shell error).
in_lane() {
    lane_free() {
        local pid n=0
        for pid in "${LANE_PIDS[@]}"; do kill -0 "$pid" 2>/dev/null && n=$((n + 1)); done
        [ "$n" -lt "${LANES:-5}" ]
    }
    LANE_PIDS+=()
    until lane_free; do sleep 0.1; done
    (
        work="$work/$1" QUORVEL_NET="$QUORVEL_NET-$1"
        mkdir -p "$work"
        start_x || echo "FAIL $1: no X server"
        [ -z "${XVFB_PID:-}" ] || (
            "${@:2}"
            : >"$work/ended"
        )
        { stop_jobs; topology down; stop_x; } 2>/dev/null
    ) >"$work/$1.out" 2>&1 &
    LANE_PIDS+=($!)
}

# lanes_end: waits for the lanes, shows what they printed in order, and fails if
# one of them failed.
lanes_end() {
    local out failed=0
    wait "${LANE_PIDS[@]}"
    for out in "$work"/?.out; do
        cat "$out"
        [ -e "${out%.out}/ended" ] || { echo "FAIL ${out##*/}: the lane ended early" && failed=1; }
        ! grep -q '^FAIL' "$out" || failed=1
    done
    return $failed
}
