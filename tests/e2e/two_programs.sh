#!/usr/bin/env bash
# Two copies of the real program, each in its own folder with its own chicken,
# play a whole match under Xvfb, driven only by keys: Alt+S on one, Alt+C and
# an address on the other, then Alt+K and Alt+C whenever a button is on offer.
# One must show "You Win!", the other "You Lose!" (or both "Draw!" when the
# final blows cross), and both exit with 0. With MATCHES=N both press Play
# again after each match but the last, and every match must agree so.
set -uo pipefail
source "$(dirname "$0")/../common/lib.sh"
session boxes.info status.info link.debug match.info
make_player "$1" "$work/host" "$HOST_CHICKEN" && make_player "$1" "$work/join" "$JOIN_CHICKEN" || exit 1

host_by_keys "$work/host" || fail "hosting by keys"
# The joiner starts only now: the two title screens open in the same place, and
# a window that opens takes the keyboard, so keys meant for one program could
# reach the other.
joined=$(date +%s%N)
join_and_play 120 127.0.0.1

echo "matches: $((($(date +%s%N) - joined) / 1000000)) ms from joining to both programs' end"
[ "${STATUSES[*]}" = "0 0" ] || fail "exit statuses ${STATUSES[*]}"
# Every match ends with one result on both sides.
echo "host: $(results "$work/host.log" | paste -sd,), join: $(results "$work/join.log" | paste -sd,)"
agreed "${MATCHES:-1}" "$work/host.log" "$work/join.log" || fail "unexpected boxes"
echo "PASS: ${MATCHES:-1} whole match(es) between two programs"
