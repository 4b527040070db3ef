#!/usr/bin/env bash
# Two copies of the real program, each in its own folder with its own chicken,
# play a whole match under Xvfb, driven only by keys: Alt+S on one, Alt+C and
# an address on the other, then Alt+K and Alt+C whenever a button is on offer
# (not Alt+P: a result box opening under the keys would take it as Play again).
# One must show "You Win!", the other "You Lose!" (or both "Draw!" when the
# final blows cross), and both exit with 0. With MATCHES=N both press Play
# again after each match but the last, and every match must agree so.
set -uo pipefail
program="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xsession.sh"

work=$(mktemp -d)
cleanup() {
    kill "${HOST_PID:-}" "${join_pid:-}" 2>/dev/null
    stop_x
    [ "${KEEP_WORK:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT
# The programs' settings (the addresses joined) go to a folder of the test's own.
export XDG_CONFIG_HOME="$work/config"

make_player "$program" "$work/host" "$HOST_CHICKEN" || exit 1
make_player "$program" "$work/join" "$JOIN_CHICKEN" || exit 1

start_x || exit 1
export QT_LOGGING_RULES="quorvel.boxes.info=true;quorvel.status.info=true;quorvel.link.debug=true;quorvel.match.info=true"
# A pattern given from outside (one with the time, say) is kept.
[ -n "${QT_MESSAGE_PATTERN:-}" ] || export QT_MESSAGE_PATTERN="%{message}"
unset QT_QPA_PLATFORM

fail() {
    echo "FAIL: $*"
    echo "--- host log"; cat "$work/host.log"
    echo "--- join log"; cat "$work/join.log"
    exit 1
}

host_by_keys "$work/host" || fail "hosting by keys"

# The joiner starts only now: the two title screens open in the same place, and
# a window that opens takes the keyboard, so keys meant for one program could
# reach the other.
start_in "$work/join"
join_pid=$PID

joined=$(date +%s%N)
join_by_keys "$join_pid" 127.0.0.1 || fail "joining by keys"

# Fight until both programs have ended, pressing whatever is on offer and
# closing the final boxes.
play_out 120 "$HOST_PID" "$work/host.log" "$join_pid" "$work/join.log" ||
    fail "the match did not end in time"
host_status=${STATUSES[0]} join_status=${STATUSES[1]}

echo "matches: $(( ($(date +%s%N) - joined) / 1000000 )) ms from joining to both programs' end"
host_boxes=$(grep -o "box: .*" "$work/host.log")
join_boxes=$(grep -o "box: .*" "$work/join.log")
echo "host: $(echo "$host_boxes" | paste -sd,) (exit $host_status)"
echo "join: $(echo "$join_boxes" | paste -sd,) (exit $join_status)"
[ "$host_status" = 0 ] && [ "$join_status" = 0 ] || fail "exit statuses $host_status / $join_status"
[ "$(echo "$host_boxes" | wc -l)" = "${MATCHES:-1}" ] || fail "not ${MATCHES:-1} matches"
# Every match ends with one result on both sides.
paste -d'|' <(echo "$host_boxes") <(echo "$join_boxes") | while IFS= read -r pair; do
    case "$pair" in
    "box: Quorvel | You Win!|box: Quorvel | You Lose!" | \
        "box: Quorvel | You Lose!|box: Quorvel | You Win!" | \
        "box: Quorvel | Draw!|box: Quorvel | Draw!") ;;
    *) exit 1 ;;
    esac
done || fail "unexpected boxes"
echo "PASS: ${MATCHES:-1} whole match(es) between two programs"
