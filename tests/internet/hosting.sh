#!/usr/bin/env bash
# hosting.sh PROGRAM SPARRING: the real program hosts behind router A of
# topology.sh, once for each router a host meets at home, under Xvfb and
# driven by keys (Server). In each case the host screen's line about the
# internet (read from the status log) must be the expected one, and a joiner
# (the practice opponent on the neighbour, or in home B over IPv6 through the
# pinhole) must still get through the record exchange. Where the game mapped
# its port or opened a pinhole, both must be gone from router A within a second
# of the joiner being taken; with a lease of 4 s (the case lease), both must
# still be there after three leases, and once the pinhole is deleted behind the
# game's back, the line must drop the IPv6 address at the next renewal. The
# cases run side by side, each in a topology and an X server of its own, LANES
# (default 5) at once. Prints one row per case: the time from the host screen
# opening to the line, and from the joiner being taken to the removal.
#   SHOTS=DIR   saves a screenshot of the host screen in each case there
# Exits 0 when every case holds, 77 (skipped) without root and /dev/net/tun.
set -uo pipefail
source "$(dirname "$0")/../common/lib.sh"
internet_session qvhost status.info
program="$(realpath "$1")" sparring="$(realpath "$2")"

# pinholed: router A lets IPv6 connections to the host's port 1425 in.
pinholed() {
    [[ $(topology exec routera nft list chain inet filter miniupnpd 2>/dev/null) == *"dport 1425 @nh,192,128 0x20010db8000100000000000000000010 "* ]]
}
# closed PORT HOLE: router A no longer forwards PORT (- for none) nor, with
# HOLE set, has the pinhole.
closed() {
    { [ "$1" = - ] || ! mapped "$1"; } && { [ -z "$2" ] || ! pinholed; }
}

# host_case NAME OPTION PORT LINE [NODE ADDRESS]: PORT is the outside port the
# game maps, or - when it maps none; the practice opponent joins from NODE at
# ADDRESS (default: the neighbour at 192.168.1.2). A line naming the host's
# IPv6 address means router A must have a pinhole for it.
host_case() {
    local name="$1" option="$2" port="$3" line="$4" log="$work/host.log" asked shown said gone=-
    local node="${5:-neighbour}" address="${6:-192.168.1.2}" hole="" why="" LEASE=""
    [[ "$line" != *"[2001:db8:1::10]"* ]] || hole=1
    [ "$name" != lease ] || LEASE=4
    host_start "$option" ${LEASE:+QUORVEL_LEASE_SECONDS=$LEASE}
    said=$(sed -n '/ internet: [^A]/{s/^.* internet: //p;q}' "$log")
    [ -n "$why" ] || [ "$said" = "$line" ] || why="the line is \"$said\""
    asked=$(seconds "$log" ' internet: Asking') shown=$(seconds "$log" ' internet: [^A]')
    [ -z "${SHOTS:-}" ] || import -window root "$SHOTS/$name.png"
    if [ -z "$why" ] && [ "$port" != - ] && ! mapped "$port"; then why="router A does not forward $port"; fi
    if [ -z "$why" ] && [ -n "$hole" ] && ! pinholed; then why="router A has no pinhole for the host"; fi
    if [ -z "$why" ] && [ -n "${LEASE:-}" ]; then
        sleep $((3 * LEASE))
        { mapped "$port" && pinholed; } || why="router A dropped the mapping or the pinhole: not renewed"
        topology exec host upnpc -6 -u "http://[2001:db8:1::1]:5000/rootDesc.xml" -D 1 >/dev/null
        [ -n "$why" ] || soon 30 grep -q " internet: Friends on the internet join at 11.0.1.1$" "$log" ||
            why="the line still names the pinhole the router dropped"
    fi
    if [ -z "$why" ]; then
        topology exec "$node" "$sparring" --join "$address" >"$work/lan.log" 2>&1 &
        soon 100 grep -q 'status: Connection Established' "$log" || why="the joiner from $node was not taken"
    fi
    if [ -z "$why" ] && { [ "$port" != - ] || [ -n "$hole" ]; }; then
        soon 10 closed "$port" "$hole" || why="the mapping or pinhole stayed after the joiner was taken"
        gone=$(ms "$(seconds "$log" 'status: Connection Established')" "$(awk '{ print $1 }' /proc/uptime)")
    fi
    [ -n "$why" ] || soon 150 grep -q 'status: Transfer Complete' "$log" || why="the exchange did not complete"
    if [ -n "$why" ]; then
        echo "FAIL $name: $why"
        cat "$log"
    else
        printf '%-12s line %5s ms  removed within %4s ms  %s\n' "$name" "$(ms "$asked" "$shown")" "$gone" "$line"
    fi
}

# The lease's case comes first: it takes longest.
cannot="Friends on the internet cannot join:"
both="Friends on the internet join at 11.0.1.1, or at [2001:db8:1::10] over IPv6"
in_lane a host_case lease "" 1425 "$both"
in_lane b host_case upnp "" 1425 "$both"
in_lane c host_case natpmp-only natpmp-only 1425 "Friends on the internet join at 11.0.1.1"
in_lane d host_case port-taken port-taken 1426 "Friends on the internet join at 11.0.1.1:1426, or at [2001:db8:1::10] over IPv6"
in_lane e host_case noupnp noupnp - "$cannot the router does not answer (UPnP and NAT-PMP are off or missing). Forward TCP port 1425 on the router to 192.168.1.2 by hand."
in_lane f host_case cgnat "cgnat noipv6fw" - "$cannot your router has no internet address of its own (the provider shares one among many homes, or a second router stands in the way). Let your friend host instead."
in_lane g host_case ipv6-join "" 1425 "$both" joiner "[2001:db8:1::10]"
in_lane h host_case noipv6fw noipv6fw 1425 "Friends on the internet join at 11.0.1.1"
in_lane i host_case cgnat-ipv6 cgnat - "Friends on the internet join at [2001:db8:1::10] (over IPv6: your friend needs IPv6 too)" joiner "[2001:db8:1::10]"
lanes_end
