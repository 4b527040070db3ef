#!/usr/bin/env bash
# selftest.sh [DELAYLINK]: the small internet of topology.sh holds what the
# tests of a match across it rely on, checked with Debian's own UPnP and NAT-PMP
# clients: router A maps port 1425 for the host, a joiner behind router B then
# reaches the host through both NATs with the round trip set, and each failure
# option refuses or stays silent as a real home router does. Exits 0 only when
# all of it holds; everything it made goes away on exit, failed or not.
# Needs root and /dev/net/tun (exit 77, skipped, without them).
set -uo pipefail
source "$(dirname "$0")/../common/lib.sh"
internet_session qvself
[ -z "${1:-}" ] || export DELAYLINK="$1"
# holds WHAT COMMAND...: tells whether the command succeeds.
holds() {
    local what="$1"
    shift
    if "$@"; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        return 1
    fi
}

# expect WHAT PATTERN NODE COMMAND...: the command's output, run in the node,
# holds the extended regular expression.
expect() {
    local what="$1" pattern="$2" out
    shift 2
    out="$(topology exec "$@" 2>&1 </dev/null)"
    holds "$what" grep -qE -- "$pattern" <<<"$out" || printf '     no /%s/ in:\n%s\n' "$pattern" "$out"
}

# round_trip MS: ping from network B to router A's outside address takes at least
# MS and, at its quickest, not much more.
round_trip() {
    local least
    least="$(topology exec joiner ping -c 5 -i 0.2 -q 11.0.1.1 | awk '/^rtt/ { split($4, ms, "/"); print int(ms[1]) }')"
    holds "round trip $1 ms: ping's quickest ${least:-(no answer)} ms" \
        test "${least:-0}" -ge "$1" -a "${least:-0}" -le $(($1 + 25))
}

# listen NODE [6]: the host's game stands in for a listener on port 1425
# telling whom it sees, over IPv4 (or over IPv6 alone, with 6).
listen() {
    topology exec "$1" socat "TCP${2:-4}-LISTEN:1425,reuseaddr,fork${2:+,ipv6only=1}" \
        SYSTEM:'echo "network A sees $SOCAT_PEERADDR"' &
    soon 50 topology exec "$1" sh -c "ss -Htln${2:-4} 'sport = :1425' | grep -q ."
}
# reach WHAT PATTERN [TCP6 ADDRESS]: what the joiner gets from port 1425 of
# router A's outside address (or of ADDRESS over IPv6).
reach() {
    expect "$1" "$2" joiner socat -T 3 - "${3:-TCP}:${4:-11.0.1.1}:1425,connect-timeout=1"
}
# natpmp WHAT PATTERN [PRIVATE LIFETIME]: natpmpc asks router A for outside port
# 1425 to the host's PRIVATE (default 1425) for LIFETIME seconds (default 1200);
# 0 0 removes the mapping.
natpmp() { expect "$1" "$2" host natpmpc -g 192.168.1.1 -a 1425 "${3:-1425}" tcp "${4:-1200}"; }
# upnp_map WHAT PATTERN [OPTION]: upnpc maps outside port 1425 to the host's.
upnp_map() { expect "$1" "$2" host upnpc ${3:-} -u "$igd" -e quorvel -a 192.168.1.2 1425 1425 TCP 1200; }
# Router A's IGD, told to upnpc once discovery has been seen to work: finding
# it takes upnpc 2 s each time.
igd=http://192.168.1.1:5000/rootDesc.xml
# The joiner arrives masqueraded as router B.
reached="network A sees 11.0.2.1"

# router LETTER FUNCTION TITLE RTT [OPTION...]: one kind of router, in a lane of
# its own (run side by side): the topology up with that round trip and those
# options, then the function's checks.
router() { in_lane "$1" router_case "${@:2}"; }
router_case() {
    echo "== $2"
    RTT_MS=$3 topology up "${@:4}" || { echo "FAIL the namespace internet did not come up" && return 1; }
    "$1" "$3"
}

upnp_igd() {
    round_trip "$1"
    topology exec neighbour timeout 3 socat -u \
        UDP4-RECV:1425,reuseaddr,ip-add-membership=239.255.14.25:eth0 - >"$work/multicast" &
    soon 50 topology exec neighbour sh -c "ip maddr show dev eth0 | grep -q 239.255.14.25"
    topology exec host socat -u - UDP4-DATAGRAM:239.255.14.25:1425,ip-multicast-ttl=1 <<<"match"
    holds "an announcement with TTL 1 reaches network A" soon 50 grep -qx match "$work/multicast"
    listen host
    expect "upnpc finds the IGD and its outside address" "ExternalIPAddress = 11.0.1.1$" host upnpc -s
    upnp_map "upnpc maps 1425" "external 11.0.1.1:1425 TCP is redirected to internal 192.168.1.2:1425"
    local start elapsed
    start=$(date +%s%N)
    reach "the joiner reaches the host through the mapping" "$reached"
    elapsed=$((($(date +%s%N) - start) / 1000000))
    holds "the connection took $elapsed ms, at least one round trip" test "$elapsed" -ge 100
    expect "upnpc removes the mapping" "UPNP_DeletePortMapping\(\) returned : 0" host upnpc -u "$igd" -d 1425 TCP
    reach "without a mapping router A stays silent" "timed out"
    natpmp "natpmpc maps 1425" "Mapped public port 1425 protocol TCP to local port 1425 liftime 1200"
    reach "the joiner reaches the host through the NAT-PMP mapping" "$reached"
    natpmp "natpmpc removes the mapping" "Mapped public port 0 protocol TCP to local port 0 liftime 0" 0 0
    reach "and router A is silent again" "timed out"
    # Over IPv6 router A translates nothing: only a pinhole lets the joiner in.
    listen host 6
    reach "without a pinhole router A drops IPv6 from outside" "timed out" TCP6 "[2001:db8:1::10]"
    expect "upnpc -6 opens a pinhole to the host" "Pinhole ID = 1$" \
        host upnpc -6 -u "http://[2001:db8:1::1]:5000/rootDesc.xml" -A "" 0 2001:db8:1::10 1425 6 1200
    reach "the joiner reaches the host over IPv6 through it" "network A sees \[2001:0db8:0002:0+:0+:0+:0+:0010\]" TCP6 "[2001:db8:1::10]"
}

carrier() {
    round_trip "$1"
    expect "upnpc finds the IGD but no usable connection" \
        "Found a \(not connected\?\) IGD.*|No valid UPNP Internet Gateway Device found" host upnpc -s
    upnp_map "miniupnpd refuses the mapping" "failed with code 501 \(Action Failed\)" -i
    natpmp "NAT-PMP reports a network failure" "readnatpmpresponseorretry\(\) failed : network failure"
    reach "the carrier's address refuses the joiner" "Connection refused"
    holds "miniupnpd tells why" grep -q "Reserved / private IP address 100.64.1.1 on ext interface wan0" \
        "/run/quorvel-net/$QUORVEL_NET/miniupnpd.log"
}

# Finding no IGD takes upnpc 8 s.
noupnp() {
    expect "noupnp: no UPnP answers" "No IGD UPnP Device found" host upnpc -s
    natpmp "noupnp: NAT-PMP is refused" "the gateway does not support nat-pmp"
}

natpmp_only() {
    expect "natpmp-only: no UPnP answers" "No IGD UPnP Device found" host upnpc -s
    natpmp "natpmp-only: natpmpc maps 1425" "Mapped public port 1425 protocol TCP to local port 1425"
    listen host
    reach "natpmp-only: the joiner reaches the host" "$reached"
}

port_taken() {
    upnp_map "upnpc meets the conflict" "failed with code 718 \(ConflictInMappingEntry\)"
    natpmp "NAT-PMP offers the next port" "Mapped public port 1426 protocol TCP to local port 1425"
}

router a upnp_igd "UPnP IGD and NAT-PMP, round trip 100 ms" 100
router b noupnp "no UPnP at all" 100 noupnp
router c natpmp_only "NAT-PMP alone" 100 natpmp-only
router d carrier "carrier-grade NAT, round trip 300 ms" 300 cgnat
router e port_taken "outside port 1425 held by the neighbour" 100 port-taken
lanes_end && echo "all held"
