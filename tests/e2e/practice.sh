#!/usr/bin/env bash
# A newcomer's practice match: scripts/practice starts the practice opponent and
# the real game under Xvfb; the game is driven only by keys (Alt+C, the address,
# then Alt+K and Alt+C whenever a button is on offer) until its box says
# "You Win!", "You Lose!" or "Draw!" and is closed. By then the opponent hosts
# the next match; the game must exit with 0, and the opponent is stopped.
#
# With "desktop-action", the command of the desktop entry's practice action runs
# instead, with the installed programs' folder first on the PATH, and the game is
# joined with Alt+C and Return alone: the opponent's announcement fills the prompt.
#
#   practice.sh GAME SPARRING [desktop-action]
set -uo pipefail
program="$1"
sparring="$2"
mode="${3:-script}"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xsession.sh"

work=$(mktemp -d)
cleanup() {
    [ -n "${game_pid:-}" ] && kill "$game_pid" 2>/dev/null
    [ -n "${practice_pid:-}" ] && kill "$practice_pid" 2>/dev/null
    wait "${practice_pid:-}" 2>/dev/null
    stop_x
    [ "${KEEP_WORK:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT
# The programs' settings (the addresses joined) go to a folder of the test's own.
export XDG_CONFIG_HOME="$work/config"

# The game in a folder of its own with a fast chicken (StatDivisor 1, StatOffset
# 0), and a fast chicken for the opponent: the match takes seconds.
copy_program "$program" "$work/game" || exit 1
printf '%s\r\n' '1,0,"Henrietta",14,12,100,100,30,0,0,3,0,0,0,0,0,6,6,#TRUE#,#TRUE#' \
    >"$work/game/chicken.dat"
printf '%s\r\n' '1,0,"Sparky",16,10,100,80,30,0,0,9,0,0,0,0,0,4,7,#TRUE#,#FALSE#' \
    >"$work/sparky.dat"

start_x || exit 1
export QT_LOGGING_RULES="quorvel.boxes.info=true" QT_MESSAGE_PATTERN="%{message}"
unset QT_QPA_PLATFORM

if [ "$mode" = desktop-action ]; then
    # As installed: the launcher and both programs in one folder on the PATH.
    cp "$sparring" "$here/../../sparring/quorvel-practice" "$work/game/"
    action=$(sed -n '/^\[Desktop Action practice\]/,/^\[/s/^Exec=//p' \
        "$here/../../packaging/quorvel.desktop")
    [ -n "$action" ] || { echo "FAIL: no practice action in the desktop entry"; exit 1; }
    # The opponent's default chicken (Bruno) is the one the player meets.
    (cd / && PATH="$work/game:$PATH" exec $action) >"$work/practice.log" 2>&1 &
else
    "$here/../../scripts/practice" --no-build --game "$work/game/quorvel" --sparring "$sparring" \
        --chicken "$work/sparky.dat" >"$work/practice.log" 2>&1 &
fi
practice_pid=$!

fail() {
    echo "FAIL: $*"
    echo "--- practice log"
    cat "$work/practice.log"
    exit 1
}

# The game is the script's child once the opponent listens.
game_pid=""
for _ in $(seq 100); do
    game_pid=$(pgrep -P "$practice_pid" -x quorvel | head -n 1)
    [ -n "$game_pid" ] && break
    kill -0 "$practice_pid" 2>/dev/null || fail "scripts/practice ended early"
    sleep 0.1
done
[ -n "$game_pid" ] || fail "the game did not start"

if [ "$mode" = desktop-action ]; then
    # Client, then Return once the prompt offers the opponent.
    prompt=$(open_prompt "$game_pid") || fail "no address prompt"
    for _ in $(seq 100); do
        grep -q "^prompt offers: .* at 127.0.0.1$" "$work/practice.log" && break
        sleep 0.1
    done
    grep -q "^prompt offers: .* at 127.0.0.1$" "$work/practice.log" ||
        fail "the prompt does not offer the opponent"
    press "$prompt" Return || fail "Return in the prompt"
else
    join_by_keys "$game_pid" 127.0.0.1 || fail "joining by keys"
fi

# Fight until the game has ended, pressing whatever is on offer and closing the
# final box.
deadline=$((SECONDS + 120))
while kill -0 "$game_pid" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || fail "the match did not end in time"
    if grep -q "^box:" "$work/practice.log"; then
        # The opponent hosts the next match while the result is on show.
        if [ "$(grep -c "Waiting for a connection" "$work/practice.log")" -lt 2 ]; then
            hosts_again_by=${hosts_again_by:-$((SECONDS + 10))}
            [ $SECONDS -lt "$hosts_again_by" ] || fail "the opponent does not host again"
            sleep 0.05
            continue
        fi
        box=$(window_of "$game_pid" Quorvel)
        [ -n "$box" ] && press "$box" Return
    else
        fight=$(window_of "$game_pid" 'Fight!')
        [ -n "$fight" ] && press "$fight" alt+k alt+c
    fi
    sleep 0.05
done
game_pid=""

wait "$practice_pid"
practice_status=$?
practice_pid=""
box=$(grep "^box:" "$work/practice.log")
echo "game: $box"
grep "^practice:" "$work/practice.log"
echo "scripts/practice exited with status $practice_status"
case "$box" in
"box: Quorvel | You Win!" | "box: Quorvel | You Lose!" | "box: Quorvel | Draw!") ;;
*) fail "unexpected box" ;;
esac
grep -qx "practice: the game exited with status 0" "$work/practice.log" || fail "game status"
grep -qx "practice: the opponent has been stopped" "$work/practice.log" || fail "the opponent was not stopped"
opponent=Sparky
[ "$mode" = desktop-action ] && opponent="Bruno, the Brave"
grep -qx "$opponent VS Henrietta" "$work/practice.log" || fail "the opponent's start line"
grep -q " wins the match!$" "$work/practice.log" || fail "the opponent's win line"
[ "$practice_status" = 0 ] || fail "scripts/practice exit status"
echo "PASS: a whole practice match against quorvel-sparring"
