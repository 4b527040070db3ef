#!/usr/bin/env bash
# The player's own chicken reaches the peer: quorvel-coop --hatch saves a new
# chicken into a private user data folder, the game (started with no option)
# hosts a match by keys, and the practice opponent joining it must receive that
# chicken's name in the game's "A" message (its start line names it). First,
# the game's --help, --version and an unknown option, without a display.
#
#   own_chicken.sh GAME COOP SPARRING
set -uo pipefail
game="$1"
coop="$2"
sparring="$3"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/xsession.sh"

work=$(mktemp -d)
cleanup() {
    kill "${game_pid:-}" "${peer_pid:-}" 2>/dev/null
    wait "${peer_pid:-}" 2>/dev/null
    stop_x
    [ "${KEEP_WORK:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT
# The programs' settings (the addresses joined) go to a folder of the test's own.
export XDG_CONFIG_HOME="$work/config"
fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do echo "--- $log"; cat "$log"; done
    exit 1
}

export XDG_DATA_HOME="$work/data" LC_ALL=C.UTF-8
name="Hénriette, the Bold"
"$coop" --hatch "$name" >"$work/coop.log" 2>&1 || fail "quorvel-coop --hatch"
[ -f "$XDG_DATA_HOME/quorvel/chicken.dat" ] || fail "no chicken in the user's data folder"

# The game's command line is answered before any window: no display is needed.
(
    unset DISPLAY QT_QPA_PLATFORM
    "$game" --help | grep -q -- "--chicken <FILE>" || fail "quorvel --help"
    "$game" --version | grep -qx "quorvel [0-9.]*" || fail "quorvel --version"
    "$game" --fly 2>"$work/option.log"
    [ $? = 2 ] && grep -q "Unknown option 'fly'" "$work/option.log" || fail "unknown option"
) || exit 1

start_x || exit 1
export QT_LOGGING_RULES="quorvel.boxes.info=true" QT_MESSAGE_PATTERN="%{message}"
unset QT_QPA_PLATFORM
"$game" >"$work/game.log" 2>&1 &
game_pid=$!
title=$(wait_window "$game_pid" Quorvel 20) || fail "no title screen"
press "$title" alt+s || fail "Alt+S"

# The game listens once its host screen is up; the opponent retries until then.
for _ in $(seq 50); do
    "$sparring" --join 127.0.0.1 >"$work/peer.log" 2>&1 &
    peer_pid=$!
    for _ in $(seq 100); do
        grep -q " VS " "$work/peer.log" && break 2
        kill -0 "$peer_pid" 2>/dev/null || break
        sleep 0.1
    done
    wait "$peer_pid" 2>/dev/null
done
grep -qxF "Bruno, the Brave VS $name" "$work/peer.log" || fail "the peer did not receive $name"
echo "PASS: the game sent the hatched chicken \"$name\" to its peer"
