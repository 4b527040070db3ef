# The start and the helpers of the scripts in which the real program hosts
# behind router A of topology.sh, under Xvfb and driven by keys (hosting.sh,
# strangers.sh). Sourced, not run:
#   source hostlib.sh PREFIX PROGRAM SPARRING
# Exits 77 (skipped) without root and /dev/net/tun. Otherwise: program and
# sparring are the two programs' full paths; work is a folder removed at exit,
# holding the host's copy of the program (host/) with its chicken, and its log
# host.log; the topology is named PREFIX and the script's pid, and those that a
# killed run left (at CTest's timeout, say) go first; failed is 0.
set -uo pipefail
if [ "$(id -u)" -ne 0 ] || [ ! -c /dev/net/tun ]; then
    echo "skipped: needs root and /dev/net/tun"
    exit 77
fi
hostlib_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
program="$(realpath "$2")" sparring="$(realpath "$3")"
source "$hostlib_dir/../e2e/xsession.sh"
topology() { "$hostlib_dir/topology.sh" "$@"; }
export QUORVEL_NET="$1$$"
for stale in $(ip netns list | grep -oE "^$1[0-9]+" | sort -u); do
    kill -0 "${stale#"$1"}" 2>/dev/null || QUORVEL_NET="$stale" topology down
done
work=$(mktemp -d)
trap 'host_stop; rm -rf "$work"' EXIT
trap 'exit 1' TERM INT HUP
failed=0

make_player "$program" "$work/host" "$HOST_CHICKEN" || exit 1
mkdir -p "$work/data"
export QT_LOGGING_RULES="quorvel.status.info=true"
export QT_MESSAGE_PATTERN="%{time boot} %{message}"
unset QT_QPA_PLATFORM

# seconds LOG PATTERN: the boot time of the first line matching, empty if none.
seconds() { awk -v p="$2" '$0 ~ p { print $1; exit }' "$1"; }
# await_line LOG PATTERN TENTHS: waits for such a line.
await_line() {
    for _ in $(seq "$3"); do
        [ -n "$(seconds "$1" "$2")" ] && return 0
        sleep 0.1
    done
    return 1
}
# mapped PORT: router A forwards that outside port (read whole: see match_across.sh).
mapped() {
    [[ $(topology exec routera nft list chain inet nat prerouting_miniupnpd 2>/dev/null) == *"dport $1 "* ]]
}
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%d", (b - a) * 1000 }'; }

# host_start "OPTIONS" [NAME=VALUE...]: the topology (topology.sh up with those
# options), an X server of its own, and the program hosting there by keys, with
# those variables in its environment, until its host screen has said its line
# about the internet. Sets why when it fails.
host_start() {
    : >"$work/host.log"
    topology up ${1:-} >/dev/null || { why="the namespace internet did not come up"; return 1; }
    start_x || { why="no X server"; return 1; }
    host_by_keys "$work/host" "$hostlib_dir/topology.sh" exec host env XDG_DATA_HOME="$work/data" "${@:2}" ||
        { why="hosting by keys"; return 1; }
    await_line "$work/host.log" ' internet: [^A]' 80 || { why="no line about the internet"; return 1; }
}

# host_stop: ends all that this script started in the background (the host,
# joiners, strangers, the X server), and the topology.
host_stop() {
    kill $(jobs -p) 2>/dev/null
    topology down
    wait 2>/dev/null
    [ -z "${XVFB_PID:-}" ] || stop_x
}
