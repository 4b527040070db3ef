#!/usr/bin/env bash
# match_across.sh PROGRAM: two copies of the real program play a whole match
# across the namespace internet of topology.sh, under one Xvfb (X goes over its
# socket file, which every namespace reaches), driven only by keys: the host
# behind router A (Server), the joiner behind router B (Client, router A's
# outside address 11.0.1.1). Prints one row:
#   ended       each side showed its result and exited with 0 (host/joiner)
#   results     each side's box (win, lose, draw), agreed: one win and one
#               loss, or two draws
#   hit points  each side's own/opponent's at the end, agreed: each side's own
#               is the other's opponent's
#   fight ms    from the connection to the fight opening, on each side
#   gap ms      the largest gap between two record messages a side sent
# The environment sets the match up:
#   RTT_MS=100  round trip between the routers
#   LOSS=0      percent of the packets dropped as they cross the internet
#   MAP=hand    port 1425 is mapped on router A with upnpc before the game
#               starts; MAP=game leaves that to the game (the joiner waits up
#               to 20 s for the mapping to appear)
#   KEEP_WORK=1 keeps the programs' folders and logs
# Exits 0 when both sides ended and their results agree, 77 (skipped) without
# root and /dev/net/tun. Needs the delaylink target (see topology.sh).
#
# match_across.sh --row HOST.LOG JOIN.LOG [HOST_STATUS JOIN_STATUS]: the row of
# a match already played, from its logs (those of tests/e2e/two_programs.sh
# run with QT_MESSAGE_PATTERN="%{time boot} %{message}" too).
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

# logged LOG PATTERN: the seconds (since boot) and the rest of each line whose
# message matches the extended regular expression.
logged() { awk -v p="$2" '{ t = $1; sub(/^ *[0-9.]+ /, "") } $0 ~ p { print t, $0 }' "$1"; }

# result LOG: win, lose, draw or - from the program's final box.
result() {
    case "$(logged "$1" '^box: ' | tail -n 1)" in
    *"| You Win!") echo win ;;
    *"| You Lose!") echo lose ;;
    *"| Draw!") echo draw ;;
    *) echo - ;;
    esac
}

# hit_points LOG: own/opponent's hit points as the side held them at the end.
hit_points() {
    logged "$1" '^hit points: ' | tail -n 1 |
        sed -E 's/.* (-?[0-9]+) \| opponent .* (-?[0-9]+)$/\1\/\2/; t; d'
}

# fight_ms LOG: from the first "Connection Established" status to the fight.
fight_ms() {
    logged "$1" '^(status: Connection Established|records: )' |
        awk '!c && / status: / { c = $1 } / records: / { if (c) printf "%d", ($1 - c) * 1000; exit }'
}

# record_gap_ms LOG: the largest gap between two record messages sent ("A" to
# "I", and the joiner's closing "0"; the host's ready signal "0" opens the
# exchange before the joiner's record and is left out).
record_gap_ms() {
    logged "$1" '^(send "([A-I]|0")|records: )' |
        awk '/ records: / { exit } / send "0"$/ && !last { next }
             { if (last && ($1 - last) * 1000 > gap) gap = ($1 - last) * 1000; last = $1 }
             END { if (last) printf "%d", gap; else print "-" }'
}

# row HOST.LOG JOIN.LOG [HOST_STATUS JOIN_STATUS]: prints the row; fails unless
# both ended and the results agree.
row() {
    local host_result join_result host_hp join_hp ended agreed=no hp_agreed=no
    host_result=$(result "$1") join_result=$(result "$2")
    host_hp=$(hit_points "$1") join_hp=$(hit_points "$2")
    ended="$([ "$host_result" != - ] && [ "${3:-0}" = 0 ] && echo yes || echo no)"
    ended+="/$([ "$join_result" != - ] && [ "${4:-0}" = 0 ] && echo yes || echo no)"
    case "$host_result/$join_result" in win/lose | lose/win | draw/draw) agreed=yes ;; esac
    [ -n "$host_hp" ] && [ "$host_hp" = "${join_hp#*/}/${join_hp%/*}" ] && hp_agreed=yes
    printf '%-6s %-4s %-7s %-9s %-6s %-8s %-8s %-6s %-11s %s\n' rtt loss ended results agreed \
        host_hp join_hp agreed "fight ms" "gap ms" \
        "${RTT_MS:--}" "${LOSS:--}" "$ended" "$host_result/$join_result" "$agreed" \
        "${host_hp:--}" "${join_hp:--}" "$hp_agreed" "$(fight_ms "$1")/$(fight_ms "$2")" \
        "$(record_gap_ms "$1")/$(record_gap_ms "$2")"
    [ "$ended" = yes/yes ] && [ "$agreed" = yes ]
}

if [ "${1:-}" = --row ]; then
    shift
    row "$@"
    exit
fi

if [ "$(id -u)" -ne 0 ] || [ ! -c /dev/net/tun ]; then
    echo "skipped: needs root and /dev/net/tun"
    exit 77
fi
program="$(realpath "$1")"
source "$here/../e2e/xsession.sh"
topology() { "$here/topology.sh" "$@"; }
export QUORVEL_NET="qvacross$$" RTT_MS="${RTT_MS:-100}" LOSS="${LOSS:-0}"
# What a run that was killed (at CTest's timeout, say) left goes first.
for stale in $(ip netns list | grep -oE '^qvacross[0-9]+' | sort -u); do
    kill -0 "${stale#qvacross}" 2>/dev/null || QUORVEL_NET="$stale" topology down
done
work=$(mktemp -d)
cleanup() {
    kill "${HOST_PID:-}" "${join_pid:-}" 2>/dev/null
    topology down
    stop_x
    if [ "${KEEP_WORK:-0}" = 1 ]; then echo "logs in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP
fail() {
    echo "FAIL: $*"
    for side in host join; do
        echo "--- $side log"
        cat "$work/$side.log"
    done
    exit 1
}

topology up >/dev/null || fail "the namespace internet did not come up"
if [ "$LOSS" -gt 0 ]; then
    topology exec internet nft -f - <<RULES || fail "no loss rule"
add table inet loss
add chain inet loss forward { type filter hook forward priority -10; }
add rule inet loss forward numgen random mod 100 < $LOSS drop
RULES
fi
if [ "${MAP:-hand}" = hand ]; then
    topology exec host upnpc -u http://192.168.1.1:5000/rootDesc.xml -e quorvel \
        -a 192.168.1.2 1425 1425 TCP 1200 | grep "is redirected" >/dev/null || fail "upnpc did not map 1425"
fi

make_player "$program" "$work/host" "$HOST_CHICKEN" || exit 1
make_player "$program" "$work/join" "$JOIN_CHICKEN" || exit 1
mkdir -p "$work/host-data" "$work/join-data"
start_x || exit 1
export QT_LOGGING_RULES="quorvel.boxes.info=true;quorvel.status.info=true;quorvel.link.debug=true;quorvel.match.info=true"
export QT_MESSAGE_PATTERN="%{time boot} %{message}"
unset QT_QPA_PLATFORM

host_by_keys "$work/host" "$here/topology.sh" exec host env XDG_DATA_HOME="$work/host-data" ||
    fail "hosting by keys"
# The mapping, made by hand or by the game, is in router A's nftables.
# (Read whole: grep -q ending the pipe early would fail it under pipefail.)
mapped() { [[ $(topology exec routera nft list chain inet nat prerouting_miniupnpd) == *"dport 1425 "* ]]; }
for _ in $(seq 200); do
    mapped && break
    sleep 0.1
done
mapped || fail "router A has no mapping of port 1425"
start_in "$work/join" "$here/topology.sh" exec joiner env XDG_DATA_HOME="$work/join-data"
join_pid=$PID
join_by_keys "$join_pid" 11.0.1.1 || fail "joining by keys"
play_out 150 "$HOST_PID" "$work/host.log" "$join_pid" "$work/join.log" ||
    fail "the match did not end in time"
row "$work/host.log" "$work/join.log" "${STATUSES[@]}" || fail "the match did not end agreed"
