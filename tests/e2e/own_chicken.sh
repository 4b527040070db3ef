#!/usr/bin/env bash
# The player's own chicken reaches the peer: quorvel-coop --hatch saves a new
# chicken into a private user data folder, the game (started with no option)
# hosts a match by keys, and the practice opponent joining it must receive that
# chicken's name in the game's "A" message (its start line names it). First,
# the game's --help, --version and an unknown option, without a display.
#
#   own_chicken.sh GAME COOP SPARRING
set -uo pipefail
source "$(dirname "$0")/../common/lib.sh"
session boxes.info
export LC_ALL=C.UTF-8
name="Hénriette, the Bold"
"$2" --hatch "$name" >"$work/coop.log" 2>&1 || fail "quorvel-coop --hatch"
[ -f "$XDG_DATA_HOME/quorvel/chicken.dat" ] || fail "no chicken in the user's data folder"

# The game's command line is answered before any window: no display is needed.
(
    unset DISPLAY
    "$1" --help | grep -q -- "--chicken <FILE>" || fail "quorvel --help"
    "$1" --version | grep -qx "quorvel [0-9.]*" || fail "quorvel --version"
    "$1" --fly 2>"$work/option.log"
    [ $? = 2 ] && grep -q "Unknown option 'fly'" "$work/option.log" || fail "unknown option"
) || exit 1

"$1" >"$work/game.log" 2>&1 &
game_pid=$!
on_title "$game_pid" alt+s >/dev/null || fail "Alt+S on the title screen"
# The game listens once its host screen is up; the opponent retries until then.
met() { grep -q " VS " "$work/peer.log" || ! kill -0 "$peer_pid" 2>/dev/null; }
for _ in $(seq 50); do
    "$3" --join 127.0.0.1 >"$work/peer.log" 2>&1 &
    peer_pid=$!
    soon 100 met
    grep -q " VS " "$work/peer.log" && break
done
grep -qxF "Bruno, the Brave VS $name" "$work/peer.log" || fail "the peer did not receive $name"
echo "PASS: the game sent the hatched chicken \"$name\" to its peer"
