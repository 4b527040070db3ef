#!/usr/bin/env bash
# Long runs on a lossy link, by hand (not part of the suite): many whole matches,
# one at a time, each in a private network namespace of its own made by tests/badnet/lossy.sh,
# with every side's log kept. Prints one row per match and a summary.
#
#   bench/long_runs.sh KIND COUNT PERCENT OUT [BUILD]
#
# KIND     programs: two copies of the game, keys only (tests/e2e/two_programs.sh)
#          game-hosts, game-joins: the game under Xvfb, keys only, against
#          quorvel-sparring as a separate program
# PERCENT  share of packets dropped both ways (0: none)
# OUT      folder for the matches' logs (OUT/KIND-PERCENT-N/...)
# BUILD    build folder with quorvel and quorvel-sparring (default build/)
# ANALYSE_ONLY=1 prints the rows of matches already in OUT, running none.
# CAPTURE=1 also records each match's port 1425 traffic (match.pcap; needs
# tcpdump, and tools/exchange_segments.sh tshark: apt-get install tcpdump tshark), started
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
source "$here/../tests/common/lib.sh"

# Inside the namespace: one match against the practice opponent, logs in DIR.
sparring_match() { # ROLE(game-hosts|game-joins) DIR BUILD
    local role="$1" dir="$2" build="$3" joined sparring
    # Empty data and config folders of the match's own: a chicken the developer
    # saved with the coop would otherwise be fought with instead of the match's own.
    export XDG_DATA_HOME="$dir/data" XDG_CONFIG_HOME="$dir/config"
    make_player "$build/quorvel" "$dir/game" "$HOST_CHICKEN" || return 1
    printf '%s\r\n' "$SPARKY_CHICKEN" >"$dir/sparky.dat"
    start_x || return 1
    trap 'stop_jobs; stop_x' EXIT
    unset QT_QPA_PLATFORM
    joined=$(date +%s%N)
    if [ "$role" = game-hosts ]; then
        host_by_keys "$dir/game" || { echo "FAIL: hosting by keys" && return 1; }
        "$build/quorvel-sparring" --once --join 127.0.0.1 --chicken "$dir/sparky.dat" \
            >"$dir/sparring.out" 2>"$dir/sparring.log" &
        sparring=$!
    else
        "$build/quorvel-sparring" --once --host --chicken "$dir/sparky.dat" \
            >"$dir/sparring.out" 2>"$dir/sparring.log" &
        sparring=$!
        soon 50 grep -q "Waiting for a connection" "$dir/sparring.log"
        start_in "$dir/game"
        HOST_PID=$PID
        join_by_keys "$HOST_PID" 127.0.0.1 || { echo "FAIL: joining by keys" && return 1; }
    fi
    play_out 120 "$HOST_PID" "$dir/game.log" "$sparring" "$dir/sparring.log" || { echo "FAIL: the match did not end in time" && return 1; }
    echo "match: $((($(date +%s%N) - joined) / 1000000)) ms from joining to both programs' end"
    echo "game exit ${STATUSES[0]}, sparring exit ${STATUSES[1]}"
}

# Inside the namespace: the capture around one match.
in_namespace() { # KIND DIR BUILD
    local kind="$1" dir="$2" build="$3" dump_pid=""
    if [ "${CAPTURE:-0}" = 1 ]; then
        tcpdump -i lo -s 0 -U -w "$dir/match.pcap" 'tcp port 1425' 2>"$dir/tcpdump.log" &
        dump_pid=$!
        soon 100 grep -q "listening on" "$dir/tcpdump.log"
    fi
    export QT_LOGGING_RULES="quorvel.boxes.info=true;quorvel.status.info=true;quorvel.link.debug=true;quorvel.match.info=true"
    # Every line starts with its time (UTC, ms): how long each step took is read from the logs.
    export QT_MESSAGE_PATTERN="%{time yyyy-MM-ddTHH:mm:ss.zzz} %{message}"
    if [ "$kind" = programs ]; then
        TMPDIR="$dir" KEEP_WORK=1 "$ROOT/tests/e2e/two_programs.sh" "$build/quorvel"
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

kind="$1" count="$2" percent="$3" out="$4" build="$(cd "${5:-$ROOT/build}" && pwd)"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

# won LOG: 1 when the game's final box says it won, 0 lost, 2 a draw, -1 no final box.
won() {
    case "$(results "$1" | tail -n 1)" in win) echo 1 ;; lose) echo 0 ;; draw) echo 2 ;; *) echo -1 ;; esac
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
    grep -qE "^match(es)?: " "$dir/result.txt" && ended=yes
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
    local a_hp b_hp
    a_hp=$(hit_points "$a") b_hp=$(hit_points "$b")
    [ -n "$a_hp" ] && [ "$a_hp" = "${b_hp#*/}/${b_hp%/*}" ] && hp=same
    local ms
    ms=$(sed -n -E 's/^match(es)?: ([0-9]*) ms.*/\2/p' "$dir/result.txt")
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
    "$ROOT/tests/badnet/lossy.sh" "$percent" "$0" --in-namespace "$kind" "$dir" "$build" >"$dir/result.txt" 2>&1
    # The logs stay; the programs' copies go.
    find "$dir" \( -name quorvel -o -name '*.wav' \) -type f -delete
    analyse "$dir" | tee -a "$out/$kind-$percent.rows"
done
