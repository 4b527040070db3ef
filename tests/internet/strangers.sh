#!/usr/bin/env bash
# strangers.sh PROGRAM SPARRING FLOOD: the real program hosts behind router A of
# topology.sh (under Xvfb, driven by keys), which forwards port 1425 for it, and
# strangers on the internet reach that port at 11.0.1.1:1425 before a friend,
# the practice opponent in home B, joins there. One function per case:
#   junk    a stranger sends "GET / HTTP/1.0" and closes, then the friend joins
#   silent  a stranger connects and says nothing; the friend joins meanwhile,
#           and once he is in, the host has closed the stranger's connection
#   flood   FLOOD opens 200 silent connections a second for 10 s; 2 s into it
#           the friend joins, and his game reaches the fight within 7.8 s of
#           starting to connect: the exchange takes 4.8 s by its own clock
#           (19 ticks of 200 ms and the second before the fight), so at most
#           3 s late
# In every case, after the strangers the host screen must still say "Waiting
# for connection . . ." (never "Connection lost") and, as before them, that
# friends join at 11.0.1.1 (or over IPv6), router A must still forward 1425,
# and the friend must get through the record exchange to the fight against the
# host's chicken.
# Prints one row per case: the time from the friend starting to connect to his
# fight, and what the host screen said when he started. The flood's row adds the
# flood's own counts, the host's lobby lines (connections judged, and dropped
# for each reason) and its peak memory (VmHWM) before and after.
# Exits 0 when every case holds, 77 (skipped) without root and /dev/net/tun.
set -uo pipefail
source "$(dirname "$0")/../common/lib.sh"
internet_session qvstrangers status.info match.info lobby.info
program="$(realpath "$1")" sparring="$(realpath "$2")" flood_tool="$(realpath "$3")"
at="Friends on the internet join at 11.0.1.1, or at [2001:db8:1::10] over IPv6"

# said status|internet: the host screen's last such line.
said() { sed -n "s/^.* $1: //p" "$log" | tail -n 1; }
# stamp: each line read, after the seconds since boot (the practice opponent's
# status lines carry no time).
stamp() { while IFS= read -r line; do read -r up _ </proc/uptime && echo "$up $line"; done; }
peak() { awk '/^VmHWM:/ { print $2 " kB" }' "/proc/$HOST_PID/status"; }

# friend_joins: the host screen as the strangers must leave it, then the friend
# through to the fight; sets screen (what it said) and took.
friend_joins() {
    if grep -q ' status: Connection lost' "$log"; then why="the host said \"$(said status)\""
    elif [ "$(said status)" != "Waiting for connection . . ." ]; then why="the status became \"$(said status)\""
    elif [ "$(said internet)" != "$at" ]; then why="the internet line became \"$(said internet)\""
    elif ! mapped 1425; then why="router A no longer forwards 1425"; fi
    [ -z "$why" ] || return 1
    screen="\"$(said status)\" / \"$(said internet)\""
    topology exec joiner "$sparring" --once --join 11.0.1.1 2>&1 | stamp >"$friend" &
    soon 150 grep -q ' records: ' "$friend" || { why="the friend did not reach the fight"; return 1; }
    grep -q ' records: .*| opponent AHenrietta' "$friend" || { why="the friend fought someone else"; return 1; }
    took=$(ms "$(seconds "$friend" 'Connecting to')" "$(seconds "$friend" ' records: ')")
}

junk() {
    printf 'GET / HTTP/1.0\r\n\r\n' | topology exec internet socat -t 2 - TCP:11.0.1.1:1425 >/dev/null
    sleep 1
    friend_joins
}

silent() {
    topology exec internet socat -u TCP:11.0.1.1:1425 - >"$work/stranger" &
    local stranger=$!
    sleep 1
    friend_joins || return
    [ "$(cat "$work/stranger")" = 0 ] || why="the stranger got \"$(cat "$work/stranger")\", not the ready signal"
    ! kill -0 "$stranger" 2>/dev/null || why="the stranger's connection was still open at the fight"
}

flood() {
    local before flooding
    before=$(peak)
    topology exec internet "$flood_tool" --rate 200 --seconds 10 --mode silent 11.0.1.1 1425 >"$work/flood" &
    flooding=$!
    sleep 2
    friend_joins || return
    [ "$took" -le 7800 ] || why="the friend reached the fight $took ms after he started to connect"
    wait "$flooding"
    note="flood: $(cat "$work/flood"); judged $(grep -c ' lobby: judging' "$log")"
    for reason in junk 'silent for 10 s' closed 'crowded out' 'another joined'; do
        note+=", $reason $(grep -c " lobby: dropped .*: $reason\$" "$log")"
    done
    note+="; VmHWM $before, then $(peak)"
}

# run CASE: hosts, plays the case and prints its row, or FAIL with the logs.
run() {
    local why="" took=- note="" screen="" log="$work/host.log" friend="$work/friend.log"
    host_start
    [ -n "$why" ] || [ "$(said internet)" = "$at" ] || why="the line is \"$(said internet)\""
    [ -n "$why" ] || mapped 1425 || why="router A does not forward 1425"
    [ -n "$why" ] || "$1"
    if [ -n "$why" ]; then
        echo "FAIL $1: $why"
        # The flood's thousands of lobby lines left out.
        grep -hv ' lobby: [a-z]* \(?\|11.0.1.254\)' "$log" "$friend" 2>/dev/null
    else
        printf '%-6s fight in %5s ms  host said %s\n' "$1" "$took" "$screen"
        [ -z "$note" ] || echo "       $note"
    fi
}

# The cases run side by side, each in a topology and an X server of its own.
in_lane a run flood
in_lane b run junk
in_lane c run silent
lanes_end
