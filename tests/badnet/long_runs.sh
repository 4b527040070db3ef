#!/usr/bin/env bash
# Long runs on a lossy link, by hand (not part of the suite): many whole matches,
# one at a time, each in a private network namespace of its own made by lossy.sh,
# with every side's log kept. Prints one row per match and a summary.
#
#   tests/badnet/long_runs.sh KIND COUNT PERCENT OUT [BUILD]
#
# KIND     programs: two copies of the game, keys only (tests/e2e/two_programs.sh)
#          game-hosts, game-joins: the game under Xvfb, keys only, against
#          quorvel-sparring as a separate program
# PERCENT  share of packets dropped both ways (0: none)
# OUT      folder for the matches' logs (OUT/KIND-PERCENT-N/...)
# BUILD    build folder with quorvel and quorvel-sparring (default build/)
# ANALYSE_ONLY=1 prints the rows of matches already in OUT, running none.
# CAPTURE=1 also records each match's port 1425 traffic (match.pcap; needs
# tcpdump, and exchange_segments.sh tshark: apt-get install tcpdump tshark), started
# inside the namespace before the match; the logs' times (UTC, ms) can be set
# beside the capture's.
#
# A row: match, ended (yes/no), winner agreed (yes, no, or draw: both sides
# showed "Draw!"), records agreed, the final hit
# points as each side holds them (own/opponent), whether they differ, duration
# in ms from joining to both programs' end. Logs are those of the quorvel.boxes,
# quorvel.status, quorvel.link and quorvel.match categories.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

# Inside the namespace: one match against the practice opponent, logs in DIR.
sparring_match() { # ROLE(game-hosts|game-joins) DIR BUILD
    local role="$1" dir="$2" build="$3"
    source "$root/tests/e2e/xsession.sh"
    copy_program "$build/quorvel" "$dir/game" || return 1
    printf '%s\r\n' '1,0,"Henrietta",14,12,100,100,30,0,0,3,0,0,0,0,0,6,6,#TRUE#,#TRUE#' \
        >"$dir/game/chicken.dat"
    printf '%s\r\n' '1,0,"Sparky",16,10,100,80,30,0,0,9,0,0,0,0,0,4,7,#TRUE#,#FALSE#' \
        >"$dir/sparky.dat"
    start_x || return 1
    trap 'kill ${game_pid:-} ${sparring_pid:-} 2>/dev/null; stop_x' EXIT
    unset QT_QPA_PLATFORM
    (cd "$dir/game" && exec ./quorvel >"$dir/game.log" 2>&1) &
    game_pid=$!
    local title joined
    title=$(wait_window "$game_pid" Quorvel 20) || { echo "FAIL: title screen"; return 1; }
    joined=$(date +%s%N)
    if [ "$role" = game-hosts ]; then
        press "$title" alt+s
        wait_window "$game_pid" "Multiplayer - Server" 10 >/dev/null || { echo "FAIL: host screen"; return 1; }
        "$build/quorvel-sparring" --once --join 127.0.0.1 --chicken "$dir/sparky.dat" \
            >"$dir/sparring.out" 2>"$dir/sparring.log" &
        sparring_pid=$!
    else
        "$build/quorvel-sparring" --once --host --chicken "$dir/sparky.dat" \
            >"$dir/sparring.out" 2>"$dir/sparring.log" &
        sparring_pid=$!
        for _ in $(seq 50); do
            ss -ltn | grep -q ':1425 ' && break
            sleep 0.1
        done
        join_by_keys "$game_pid" 127.0.0.1 || { echo "FAIL: joining by keys"; return 1; }
    fi
    local deadline=$((SECONDS + 120)) game_status="" sparring_status=""
    while [ -z "$game_status" ] || [ -z "$sparring_status" ]; do
        [ $SECONDS -lt $deadline ] || { echo "FAIL: the match did not end in time"; return 1; }
        if [ -z "$sparring_status" ] && ! kill -0 "$sparring_pid" 2>/dev/null; then
            wait "$sparring_pid"
            sparring_status=$?
        fi
        if [ -z "$game_status" ]; then
            if ! kill -0 "$game_pid" 2>/dev/null; then
                wait "$game_pid"
                game_status=$?
            elif grep -q "box: Quorvel" "$dir/game.log"; then
                local box
                box=$(window_of "$game_pid" Quorvel)
                [ -n "$box" ] && press "$box" Return
            else
                local fight
                fight=$(window_of "$game_pid" 'Fight!')
                [ -n "$fight" ] && press "$fight" alt+k alt+c
            fi
        fi
        sleep 0.05
    done
    echo "match: $((($(date +%s%N) - joined) / 1000000)) ms from joining to both programs' end"
    echo "game exit $game_status, sparring exit $sparring_status"
    game_pid="" sparring_pid=""
}

# Inside the namespace: the capture around one match.
in_namespace() { # KIND DIR BUILD
    local kind="$1" dir="$2" build="$3" dump_pid=""
    if [ "${CAPTURE:-0}" = 1 ]; then
        tcpdump -i lo -s 0 -U -w "$dir/match.pcap" 'tcp port 1425' 2>"$dir/tcpdump.log" &
        dump_pid=$!
        for _ in $(seq 100); do
            grep -q "listening on" "$dir/tcpdump.log" && break
            sleep 0.1
        done
    fi
    export QT_LOGGING_RULES="quorvel.boxes.info=true;quorvel.status.info=true;quorvel.link.debug=true;quorvel.match.info=true"
    # Every line starts with its time (UTC, ms): how long each step took is read from the logs.
    export QT_MESSAGE_PATTERN="%{time yyyy-MM-ddTHH:mm:ss.zzz} %{message}"
    if [ "$kind" = programs ]; then
        TMPDIR="$dir" KEEP_WORK=1 "$root/tests/e2e/two_programs.sh" "$build/quorvel"
    else
        (sparring_match "$kind" "$dir" "$build")
    fi
    local status=$?
    if [ -n "$dump_pid" ]; then
        sleep 0.5
        kill -INT "$dump_pid"
        wait "$dump_pid"
    fi
    return $status
}

if [ "${1:-}" = --in-namespace ]; then
    shift
    in_namespace "$@"
    exit $?
fi

kind="$1" count="$2" percent="$3" out="$4" build="$(cd "${5:-$root/build}" && pwd)"
# Every program gets an empty data folder of its own: a chicken the developer
# saved with the coop would otherwise be fought with instead of the match's own.
# Its settings (the addresses joined) go to a folder of its own too.
XDG_DATA_HOME=$(mktemp -d) XDG_CONFIG_HOME=$(mktemp -d)
export XDG_DATA_HOME XDG_CONFIG_HOME
trap 'rm -rf "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"' EXIT
mkdir -p "$out"
out="$(cd "$out" && pwd)"

# field LOG PATTERN: the rest of the last line that starts with the pattern
# (after the time, if any).
field() { sed -n -E "s/^([0-9-]+T[0-9:.]+ )?$2//p" "$1" | tail -n 1; }

# won LOG: 1 when the game's final box says it won, 0 lost, 2 a draw, -1 no final box.
won() {
    case "$(field "$1" 'box: Quorvel \| ')" in
    "You Win!") echo 1 ;;
    "You Lose!") echo 0 ;;
    "Draw!") echo 2 ;;
    *) echo -1 ;;
    esac
}

# analyse DIR: one row from a match's logs.
analyse() {
    local dir="$1" a b a_won b_won
    if [ "$kind" = programs ]; then
        a=$(ls -d "$dir"/tmp.*/host.log 2>/dev/null | head -n 1)
        b="${a%host.log}join.log"
        a_won=$(won "$a") b_won=$(won "$b")
    else
        a="$dir/game.log" b="$dir/sparring.log"
        a_won=$(won "$a")
        # The opponent's own name is the one it was given, whatever it received.
        grep -qx "Sparky wins the match!" "$dir/sparring.out" && b_won=1 || b_won=0
        grep -q " wins the match!$" "$dir/sparring.out" || b_won=-1
        grep -qx "Draw!" "$dir/sparring.out" && b_won=2
    fi
    local ended=no winner=no records=no hp=differ
    grep -q "^match: " "$dir/result.txt" && ended=yes
    [ $((a_won + b_won)) = 1 ] && [ "$a_won" != -1 ] && [ "$b_won" != -1 ] && winner=yes
    # A draw agrees when both sides show it.
    [ "$a_won" = 2 ] && [ "$b_won" = 2 ] && winner=draw
    local a_rec b_rec
    a_rec=$(field "$a" 'records: ')
    b_rec=$(field "$b" 'records: ')
    # "records: own MESSAGES | opponent MESSAGES": each side's own record is the
    # other's copy.
    local a_own="${a_rec#own }" b_own="${b_rec#own }"
    a_own="${a_own%% | opponent *}" b_own="${b_own%% | opponent *}"
    [ -n "$a_rec" ] && [ "$a_own" = "${b_rec#*| opponent }" ] &&
        [ "$b_own" = "${a_rec#*| opponent }" ] && records=yes
    # "hit points: own NAME N | opponent NAME M" -> "N/M"
    local a_hp b_hp
    a_hp=$(field "$a" 'hit points: ' | sed -E 's/^own .* (-?[0-9]+) \| opponent .* (-?[0-9]+)$/\1\/\2/')
    b_hp=$(field "$b" 'hit points: ' | sed -E 's/^own .* (-?[0-9]+) \| opponent .* (-?[0-9]+)$/\1\/\2/')
    [ -n "$a_hp" ] && [ "$a_hp" = "${b_hp#*/}/${b_hp%/*}" ] && hp=same
    local ms
    ms=$(sed -n 's/^match: \([0-9]*\) ms.*/\1/p' "$dir/result.txt")
    printf '%-22s %-5s %-6s %-7s %-9s %-9s %-6s %s\n' "$(basename "$dir")" "$ended" "$winner" \
        "$records" "${a_hp:--}" "${b_hp:--}" "$hp" "${ms:--}"
}

sides="host/join"
[ "$kind" = programs ] || sides="game/sparring"
printf '%-22s %-5s %-6s %-7s %-9s %-9s %-6s %s\n' match ended winner records \
    "${sides%/*}" "${sides#*/}" "hp" "ms"
for i in $(seq "$count"); do
    dir="$out/$kind-$percent-$i"
    if [ "${ANALYSE_ONLY:-0}" = 1 ]; then
        analyse "$dir"
        continue
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    "$here/lossy.sh" "$percent" "$0" --in-namespace "$kind" "$dir" "$build" >"$dir/result.txt" 2>&1
    # The logs stay; the programs' copies go.
    find "$dir" \( -name quorvel -o -name '*.wav' \) -type f -delete
    analyse "$dir" | tee -a "$out/$kind-$percent.rows"
done
