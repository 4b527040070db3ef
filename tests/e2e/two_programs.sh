#!/usr/bin/env bash
# Two copies of the real program, each in its own folder with its own chicken,
# play a whole match under Xvfb, driven only by keys: Alt+S on one, Alt+C and
# an address on the other, then Alt+K, Alt+P and Alt+C whenever a button is on
# offer. One must show "You Win!", the other "You Lose!" (or both "Draw!" when
# the final blows cross), and both exit with 0.
set -uo pipefail
program="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xsession.sh"

work=$(mktemp -d)
cleanup() {
    kill "${host_pid:-}" "${join_pid:-}" 2>/dev/null
    stop_x
    [ "${KEEP_WORK:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT

# Fast chickens (StatDivisor 1, StatOffset 0): the match takes seconds.
make_player() { # folder name line
    copy_program "$program" "$work/$1" || exit 1
    printf '%s\r\n' "$2" >"$work/$1/chicken.dat"
}
make_player host '1,0,"Henrietta",14,12,100,100,30,0,0,3,0,0,0,0,0,6,6,#TRUE#,#TRUE#'
make_player join '2,5,"Big Bruno",30,24,190,200,70,0,0,28,0,0,0,0,0,12,10,#TRUE#,#FALSE#'

start_x || exit 1
export QT_LOGGING_RULES="quorvel.boxes.info=true;quorvel.status.info=true;quorvel.link.debug=true;quorvel.match.info=true" QT_MESSAGE_PATTERN="%{message}"
unset QT_QPA_PLATFORM

(cd "$work/host" && exec ./quorvel >"$work/host.log" 2>&1) &
host_pid=$!

fail() {
    echo "FAIL: $*"
    echo "--- host log"; cat "$work/host.log"
    echo "--- join log"; cat "$work/join.log"
    exit 1
}

host_title=$(wait_window "$host_pid" Quorvel 20) || fail "host title screen"
press "$host_title" alt+s || fail "Alt+S"
wait_window "$host_pid" "Multiplayer - Server" 10 >/dev/null || fail "host screen"

# The joiner starts only now: the two title screens open in the same place, and
# a window that opens takes the keyboard, so keys meant for one program could
# reach the other.
(cd "$work/join" && exec ./quorvel >"$work/join.log" 2>&1) &
join_pid=$!

joined=$(date +%s%N)
join_by_keys "$join_pid" 127.0.0.1 || fail "joining by keys"

# Fight until both programs have ended, pressing whatever is on offer and
# closing the final boxes.
deadline=$((SECONDS + 120))
host_status="" join_status=""
while [ -z "$host_status" ] || [ -z "$join_status" ]; do
    [ $SECONDS -lt $deadline ] || fail "the match did not end in time"
    for side in host join; do
        pid_var="${side}_pid"
        status_var="${side}_status"
        [ -n "${!status_var}" ] && continue
        pid="${!pid_var}"
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            printf -v "$status_var" '%s' "$?"
            continue
        fi
        if grep -q "^box:" "$work/$side.log"; then
            box=$(window_of "$pid" Quorvel)
            [ -n "$box" ] && press "$box" Return
        else
            fight=$(window_of "$pid" 'Fight!')
            [ -n "$fight" ] && press "$fight" alt+k alt+p alt+c
        fi
    done
    sleep 0.05
done

echo "match: $(( ($(date +%s%N) - joined) / 1000000 )) ms from joining to both programs' end"
host_box=$(grep "^box:" "$work/host.log")
join_box=$(grep "^box:" "$work/join.log")
echo "host: $host_box (exit $host_status)"
echo "join: $join_box (exit $join_status)"
[ "$host_status" = 0 ] && [ "$join_status" = 0 ] || fail "exit statuses $host_status / $join_status"
case "$host_box|$join_box" in
"box: Quorvel | You Win!|box: Quorvel | You Lose!" | "box: Quorvel | You Lose!|box: Quorvel | You Win!" | \
    "box: Quorvel | Draw!|box: Quorvel | Draw!")
    echo "PASS: a whole match between two programs" ;;
*) fail "unexpected boxes" ;;
esac
