#!/usr/bin/env bash
# Practice alone, as a newcomer does. First the desktop entry's practice action
# runs, with the installed programs' folder first on the PATH: the game's
# address prompt (Alt+C) must offer the opponent's default chicken. Then
# scripts/practice starts the practice opponent with a chicken of its own and
# the real game under Xvfb; the game, driven only by keys (Alt+C and Return alone:
# the opponent's announcement fills the prompt, then Alt+K and Alt+C whenever a
# button is on offer), plays until its box says "You Win!", "You Lose!" or
# "Draw!". By then the opponent hosts the next match; once the box is closed the
# game must exit with 0, and the opponent is stopped.
#
#   practice.sh GAME SPARRING
set -uo pipefail
source "$(dirname "$0")/../common/lib.sh"
session boxes.info
make_player "$1" "$work/game" "$HOST_CHICKEN" || exit 1
printf '%s\r\n' "$SPARKY_CHICKEN" >"$work/sparky.dat"
log="$work/practice.log"

# practice_game [RUN...]: runs the command in the background, output to the log;
# sets launcher, and game once the launcher has started the game (when the
# opponent listens), and opens its address prompt.
practice_game() {
    : >"$log"
    "$@" >"$log" 2>&1 &
    launcher=$!
    started() { game=$(pgrep -P "$launcher" -x quorvel) && kill -0 "$launcher"; }
    soon 100 started || fail "the game did not start"
    prompt=$(open_prompt "$game") || fail "no address prompt"
}
# offers CHICKEN: the prompt offers the opponent's match.
offers() { soon 100 grep -qx "prompt offers: $1 at 127.0.0.1" "$log" || fail "the prompt does not offer $1"; }

# As installed: the launcher and both programs in one folder on the PATH.
cp "$2" "$ROOT/sparring/quorvel-practice" "$work/game/"
action=$(sed -n '/^\[Desktop Action practice\]/,/^\[/s/^Exec=//p' "$ROOT/packaging/quorvel.desktop")
[ -n "$action" ] || fail "no practice action in the desktop entry"
practice_game env -C / PATH="$work/game:$PATH" $action
offers "Bruno, the Brave"
stop_jobs

practice_game "$ROOT/scripts/practice" --no-build --game "$work/game/quorvel" --sparring "$2" \
    --chicken "$work/sparky.dat"
offers Sparky
press "$prompt" Return || fail "Return in the prompt"
# The opponent hosts the next match while the result is on show.
hosts_again='[ "$(grep -c "Waiting for a connection" "$log")" -ge 2 ]'
CLOSE_WHEN=$hosts_again play_out 120 "$game" "$log" ||
    fail "the match did not end in time"
wait "$launcher"
status=$?
grep "^box:\|^practice:" "$log"
[[ "$(grep "^box:" "$log")" =~ ^box:\ Quorvel\ \|\ (You\ Win|You\ Lose|Draw)!$ ]] || fail "unexpected box"
eval "$hosts_again" || fail "the opponent does not host again"
# The launcher's closing lines and the opponent's start line.
for line in "practice: the game exited with status 0" "practice: the opponent has been stopped" "Sparky VS Henrietta"; do
    grep -qx "$line" "$log" || fail "no line \"$line\""
done
grep -q " wins the match!$" "$log" || fail "the opponent's win line"
[ "$status" = 0 ] || fail "scripts/practice exit status $status"
echo "PASS: a whole practice match against quorvel-sparring"
