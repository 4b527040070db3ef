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
#   (the game maps port 1425 on router A itself; the joiner waits up to 20 s
#   for the mapping to appear)
#   KEEP_WORK=1 keeps the programs' folders and logs
# Exits 0 when both sides ended and their results agree, 77 (skipped) without
# root and /dev/net/tun. Needs the delaylink target (see topology.sh).
set -uo pipefail
source "$(dirname "$0")/../common/lib.sh"

# logged LOG PATTERN: the seconds (since boot) and the rest of each line whose
# message matches the extended regular expression.
logged() { awk -v p="$2" '{ t = $1; sub(/^ *[0-9.]+ /, "") } $0 ~ p { print t, $0 }' "$1"; }

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
    local host_result join_result host_hp join_hp ended hp_agreed=no
    host_result=$(results "$1" | tail -n 1) join_result=$(results "$2" | tail -n 1)
    host_result=${host_result:--} join_result=${join_result:--}
    host_hp=$(hit_points "$1") join_hp=$(hit_points "$2")
    ended="$([ "$host_result" != - ] && [ "${3:-0}" = 0 ] && echo yes || echo no)"
    ended+="/$([ "$join_result" != - ] && [ "${4:-0}" = 0 ] && echo yes || echo no)"
    [ -n "$host_hp" ] && [ "$host_hp" = "${join_hp#*/}/${join_hp%/*}" ] && hp_agreed=yes
    printf '%-6s %-7s %-9s %-6s %-8s %-8s %-6s %-11s %s\n' rtt ended results agreed \
        host_hp join_hp agreed "fight ms" "gap ms" \
        "${RTT_MS:--}" "$ended" "$host_result/$join_result" \
        "$(agreed 1 "$1" "$2" && echo yes || echo no)" \
        "${host_hp:--}" "${join_hp:--}" "$hp_agreed" "$(fight_ms "$1")/$(fight_ms "$2")" \
        "$(record_gap_ms "$1")/$(record_gap_ms "$2")"
    [ "$ended" = yes/yes ] && agreed 1 "$1" "$2"
}

internet_session qvacross boxes.info status.info link.debug match.info
program="$(realpath "$1")"
export RTT_MS="${RTT_MS:-100}"
topology up >/dev/null || fail "the namespace internet did not come up"

make_player "$program" "$work/host" "$HOST_CHICKEN" && make_player "$program" "$work/join" "$JOIN_CHICKEN" || exit 1
host_by_keys "$work/host" "$TESTS/internet/topology.sh" exec host || fail "hosting by keys"
# The mapping the game made is in router A's nftables.
soon 200 mapped 1425 || fail "router A has no mapping of port 1425"
join_and_play 150 11.0.1.1 "$TESTS/internet/topology.sh" exec joiner
row "$work/host.log" "$work/join.log" "${STATUSES[@]}" || fail "the match did not end agreed"
