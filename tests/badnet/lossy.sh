#!/usr/bin/env bash
# lossy.sh PERCENT COMMAND [ARGS...]: runs the command in a private network
# namespace of its own, with loopback only, where nftables drops PERCENT of all
# packets at random (0: none; a test may then add rules of its own). Nothing
# can leave this machine from there, and the match port is the command's alone.
#
# Packets are dropped as they arrive (the input hook, which every packet on
# loopback passes once), so the sender's system has sent each one, as over a
# network that loses them. Dropped on the way out instead, a packet becomes an
# error inside the sender's TCP, which handles it unlike a loss: connections
# then stalled or ended with "Connection timed out" in mid-match.
set -euo pipefail
if [ "${QUORVEL_LOSSY_NAMESPACE:-0}" != 1 ]; then
    # Root makes a network namespace alone; anyone else also maps themselves to
    # root inside it (-r) to set up its network. A user namespace is left out
    # where it is not needed: LeakSanitizer's exit check has crashed in one.
    unshare=(unshare -n)
    [ "$(id -u)" -eq 0 ] || unshare=(unshare -rn)
    exec env QUORVEL_LOSSY_NAMESPACE=1 "${unshare[@]}" "$0" "$@"
fi
unset QUORVEL_LOSSY_NAMESPACE
percent="$1"
shift
ip link set lo up
if [ "$percent" -gt 0 ]; then
    nft -f - <<RULES
add table inet lossy
add chain inet lossy in { type filter hook input priority 0; }
add rule inet lossy in numgen random mod 100 < $percent drop
RULES
fi
exec "$@"
