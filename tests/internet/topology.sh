#!/usr/bin/env bash
# topology.sh: a small internet made of network namespaces on this machine, for
# trying a match across two home routers. Nothing in it is linked to the
# machine's own interfaces: the namespaces are joined only by veth pairs and by
# delaylink's TUN wire, and nothing sent inside leaves the machine. Needs root.
#
#   topology.sh up [cgnat] [noupnp] [natpmp-only] [port-taken] [noipv6fw]
#   topology.sh exec NODE COMMAND...      run a command in a node
#   topology.sh down                      remove everything, ending what runs inside
#
#   host      192.168.1.2  home network A (the one who hosts)
#   neighbour 192.168.1.3  another device on network A
#   routera   192.168.1.1  | 11.0.1.1 outside: NAT, nftables, miniupnpd (UPnP IGD, NAT-PMP,
#                          IPv6 pinholes); its IGD is described at
#                          http://192.168.1.1:5000/rootDesc.xml
#   internet  11.0.1.254   | 11.0.2.254: forwards; with cgnat also the carrier's NAT
#   routerb   11.0.2.1     | 192.168.2.1: NAT, nftables, nothing else
#   joiner    192.168.2.2  home network B (the one who joins)
#
# IPv6 is routed throughout, without NAT: home A is 2001:db8:1::/64 (router A
# ::1, host ::10, neighbour ::11), home B 2001:db8:2::/64 (router B ::1, joiner
# ::10), the routers' outside links 2001:db8:ff:1::/64 and 2001:db8:ff:2::/64
# (the internet ::254). Router A lets new IPv6 connections from outside into
# home A only through a pinhole miniupnpd opened (WANIPv6FirewallControl);
# router B lets none in.
#
# Between the internet and router B runs delaylink, so every packet from network
# A to network B and back takes the round trip RTT_MS (default 100) on top.
# The options make the cases a host meets at home:
#   cgnat        router A's outside address is 100.64.1.1 (shared address space)
#                and the internet masquerades it as 11.0.1.1: a carrier-grade NAT,
#                which no mapping on router A can open
#   noupnp       router A runs no miniupnpd: neither UPnP nor NAT-PMP answers
#   natpmp-only  miniupnpd answers NAT-PMP alone
#   port-taken   the neighbour already holds outside port 1425 on router A
#   noipv6fw     miniupnpd runs with IPv6 off: the network has IPv6, but router A
#                offers no IPv6 firewall control, so nothing opens a pinhole
#
# QUORVEL_NET (default qvnet) prefixes the namespaces' names, so topologies of
# parallel runs do not meet; each is ${QUORVEL_NET}-NODE. DELAYLINK names the
# delaylink program (default: build/tools/delaylink of this tree).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../common/lib.sh"

net="${QUORVEL_NET:-qvnet}"
state="/run/quorvel-net/$net"
nodes=(host neighbour routera internet routerb joiner)
igd=http://192.168.1.1:5000/rootDesc.xml

ns() { echo "$net-$1"; }
in_node() {
    local node="$1"
    shift
    ip netns exec "$(ns "$node")" "$@"
}

down() {
    local node
    # Everything still running in the namespaces was started for them: the
    # wire, miniupnpd, whatever was run with exec. The wire goes first, while
    # both its devices still exist.
    if [ -f "$state/delaylink.pid" ]; then kill "$(cat "$state/delaylink.pid")" 2>/dev/null || true; fi
    for node in "${nodes[@]}"; do
        ip netns pids "$(ns "$node")" 2>/dev/null | xargs -r kill 2>/dev/null || true
    done
    for node in "${nodes[@]}"; do
        soon 10 emptied "$node" || true
        ip netns pids "$(ns "$node")" 2>/dev/null | xargs -r kill -KILL 2>/dev/null || true
        ip netns delete "$(ns "$node")" 2>/dev/null || true
    done
    rm -rf "$state"
}

# emptied NODE: nothing runs in the node any more.
emptied() { [ -z "$(ip netns pids "$(ns "$1")" 2>/dev/null)" ]; }

# await PATTERN FILE: waits up to 5 s for the pattern in the file.
await() {
    soon 50 grep -q "$1" "$2" 2>/dev/null && return 0
    echo "topology: timed out waiting for \"$1\" in $2" >&2
    cat "$2" >&2 || true
    return 1
}

# addresses NODE DEVICE ADDRESS ADDRESS6: gives the node's device both
# addresses (ADDRESS may name a peer) and brings it up. IPv6 addresses skip
# duplicate detection, so they work at once.
addresses() {
    ip -n "$(ns "$1")" addr add $3 dev "$2"
    ip -n "$(ns "$1")" addr add "$4" dev "$2" nodad
    ip -n "$(ns "$1")" link set dev "$2" up
}

# A home network's device: one veth to its router's LAN (a port of the router's
# BRIDGE, if one is named), the router as gateway (IPv4 and IPv6: PREFIX::1),
# and the match announcements' multicast group routed on the LAN.
add_device() {
    local node="$1" router="$2" router_if="$3" address="$4" gateway="$5" address6="$6" bridge="${7:-}"
    ip -n "$(ns "$router")" link add "$router_if" type veth peer name eth0 netns "$(ns "$node")"
    addresses "$node" eth0 "$address/24" "$address6/64"
    [ -z "$bridge" ] || ip -n "$(ns "$router")" link set dev "$router_if" master "$bridge"
    ip -n "$(ns "$router")" link set dev "$router_if" up
    ip -n "$(ns "$node")" route add default via "$gateway"
    ip -n "$(ns "$node")" -6 route add default via "${address6%::*}::1"
    ip -n "$(ns "$node")" route add 239.0.0.0/8 dev eth0
}

# A home router's firewall: the LAN may go out, the outside only answers or
# comes in through a port mapping or an IPv6 pinhole (both rules in the chain
# miniupnpd), and what leaves over IPv4 is masqueraded. ICMPv6 reaches the
# router itself, or neighbour discovery on its outside link would fail. Where the
# machine has br_netfilter loaded, frames switched between two LAN ports pass
# the forward hook too, hence the LAN-to-LAN rule: without it the bridge drops
# the match announcements between the host and the neighbour. The tables
# and chains are the ones miniupnpd's nftables backend fills with its mappings
# (upnp_table_name, upnp_nat_table_name and the chain names in its config);
# miniupnpd 2.3.1 looks for both tables in the inet family, so nat is inet too.
router_firewall() {
    local router="$1" lan="$2" wan="$3"
    ip netns exec "$(ns "$router")" nft -f - <<RULES
table inet filter {
    chain input {
        type filter hook input priority 0; policy accept;
        iifname "$wan" ct state established,related accept
        iifname "$wan" meta l4proto { icmp, ipv6-icmp } accept
        iifname "$wan" drop
    }
    chain forward {
        type filter hook forward priority 0; policy drop;
        ct state established,related accept
        iifname "$lan" oifname "$wan" accept
        iifname "$lan" oifname "$lan" accept
        iifname "$wan" jump miniupnpd
    }
    chain miniupnpd {
    }
}
table inet nat {
    chain prerouting {
        type nat hook prerouting priority dstnat; policy accept;
        iifname "$wan" jump prerouting_miniupnpd
    }
    chain postrouting {
        type nat hook postrouting priority srcnat; policy accept;
        oifname "$wan" jump postrouting_miniupnpd
        oifname "$wan" meta nfproto ipv4 masquerade
    }
    chain prerouting_miniupnpd {
    }
    chain postrouting_miniupnpd {
    }
}
RULES
    ip netns exec "$(ns "$router")" sysctl -qw net.ipv4.ip_forward=1 net.ipv6.conf.all.forwarding=1
}

start_miniupnpd() {
    local upnp="$1" ipv6_off="$2"
    cat >"$state/miniupnpd.conf" <<CONF
ext_ifname=wan0
ext_ifname6=wan0
listening_ip=br0
http_port=5000
enable_upnp=$upnp
enable_natpmp=yes
secure_mode=yes
ipv6_disable=$ipv6_off
system_uptime=yes
lease_file=$state/miniupnpd.leases
uuid=3f1c2a52-9d0e-4c4b-8a1e-51a0b7c0a425
friendly_name=Home router A
upnp_table_name=filter
upnp_nat_table_name=nat
upnp_forward_chain=miniupnpd
upnp_nat_chain=prerouting_miniupnpd
upnp_nat_postrouting_chain=postrouting_miniupnpd
allow 1024-65535 192.168.1.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
CONF
    # -d keeps it in the foreground, telling everything on its standard error.
    in_node routera miniupnpd -f "$state/miniupnpd.conf" -P "$state/miniupnpd.pid" -d \
        >"$state/miniupnpd.log" 2>&1 &
    await "Listening for NAT-PMP" "$state/miniupnpd.log"
    [ "$upnp" = no ] || await "HTTP listening on port" "$state/miniupnpd.log"
}

up() {
    local cgnat=0 upnp=yes natpmp=yes port_taken=0 ipv6_off=no option
    for option in "$@"; do
        case "$option" in
        cgnat) cgnat=1 ;;
        noupnp) upnp=no natpmp=no ;;
        natpmp-only) upnp=no ;;
        port-taken) port_taken=1 ;;
        noipv6fw) ipv6_off=yes ;;
        *)
            echo "topology: unknown option $option" >&2
            return 2
            ;;
        esac
    done
    local rtt="${RTT_MS:-100}"
    local delaylink="${DELAYLINK:-$ROOT/build/tools/delaylink}"
    [ -x "$delaylink" ] || {
        echo "topology: no delaylink at $delaylink (build the target delaylink)" >&2
        return 1
    }
    if ip netns list | grep -q "^$(ns routera)\b"; then
        echo "topology: $net is up already (topology.sh down first)" >&2
        return 1
    fi
    # Only miniupnpd's nftables build is installed, which has no service of its
    # own; the answer below keeps the daemon of the "miniupnpd" package, should
    # it ever come along, from starting on this machine's real interfaces.
    if ! command -v ip nft miniupnpd upnpc natpmpc socat ping >/dev/null; then
        echo "miniupnpd miniupnpd/start_daemon boolean false" | debconf-set-selections
        need_packages iproute2 nftables miniupnpd-nftables miniupnpc natpmpc socat iputils-ping
    fi

    # Whatever fails on the way up, nothing half made stays behind.
    trap down EXIT
    trap 'exit 1' TERM INT HUP
    mkdir -p "$state"
    local node
    for node in "${nodes[@]}"; do
        ip netns add "$(ns "$node")"
        ip -n "$(ns "$node")" link set dev lo up
    done

    # Network A: a bridge on router A's LAN side joins the host and the
    # neighbour; multicast is flooded to every port, as a home switch does.
    ip -n "$(ns routera)" link add br0 type bridge mcast_snooping 0
    addresses routera br0 192.168.1.1/24 2001:db8:1::1/64
    add_device host routera host0 192.168.1.2 192.168.1.1 2001:db8:1::10 br0
    add_device neighbour routera neighbour0 192.168.1.3 192.168.1.1 2001:db8:1::11 br0

    # Router A's outside, on the internet's first link.
    local outside=11.0.1 carrier=11.0.1.1
    [ "$cgnat" = 0 ] || outside=100.64.1
    ip -n "$(ns routera)" link add wan0 type veth peer name routera0 netns "$(ns internet)"
    addresses routera wan0 "$outside.1/24" 2001:db8:ff:1::1/64
    addresses internet routera0 "$outside.254/24" 2001:db8:ff:1::254/64
    ip -n "$(ns routera)" route add default via "$outside.254"
    ip -n "$(ns routera)" -6 route add default via 2001:db8:ff:1::254
    ip -n "$(ns internet)" -6 route add 2001:db8:1::/64 via 2001:db8:ff:1::1
    in_node internet sysctl -qw net.ipv4.ip_forward=1 net.ipv6.conf.all.forwarding=1
    if [ "$cgnat" = 1 ]; then
        # The carrier's NAT: its public address answers for every customer
        # behind it, and nothing from outside is forwarded in.
        ip -n "$(ns internet)" addr add "$carrier/32" dev lo
        in_node internet nft -f - <<RULES
table ip carrier {
    chain postrouting {
        type nat hook postrouting priority srcnat; policy accept;
        ip saddr 100.64.0.0/10 oifname != "routera0" snat to $carrier
    }
}
RULES
    fi

    # The internet's second link, to router B, is delaylink's wire: both TUN
    # devices are made in the internet's namespace and one moves to router B.
    in_node internet "$delaylink" --delay-ms $((rtt / 2)) routerb0 wan0 \
        >"$state/delaylink.log" 2>&1 &
    echo $! >"$state/delaylink.pid"
    await ready "$state/delaylink.log"
    ip -n "$(ns internet)" link set dev wan0 netns "$(ns routerb)"
    addresses internet routerb0 "11.0.2.254/32 peer 11.0.2.1" 2001:db8:ff:2::254/64
    addresses routerb wan0 "11.0.2.1/32 peer 11.0.2.254" 2001:db8:ff:2::1/64
    ip -n "$(ns routerb)" route add default via 11.0.2.254
    # The wire carries IPv6 as it is (the TUN devices tell the two apart by the
    # packet's version); on a point-to-point device the routes need no neighbour.
    ip -n "$(ns internet)" -6 route add 2001:db8:2::/64 dev routerb0
    ip -n "$(ns routerb)" -6 route add default dev wan0

    # Network B: the joiner alone behind router B.
    add_device joiner routerb lan0 192.168.2.2 192.168.2.1 2001:db8:2::10
    addresses routerb lan0 192.168.2.1/24 2001:db8:2::1/64

    router_firewall routera br0 wan0
    router_firewall routerb lan0 wan0
    [ "$natpmp" = no ] || start_miniupnpd "$upnp" "$ipv6_off"
    if [ "$port_taken" = 1 ]; then
        if [ "$upnp" = yes ]; then
            in_node neighbour upnpc -u "$igd" -e "neighbour's game" -a 192.168.1.3 1425 1425 TCP 3600 >/dev/null
        elif [ "$natpmp" = yes ]; then
            in_node neighbour natpmpc -g 192.168.1.1 -a 1425 1425 tcp 3600 >/dev/null
        fi
    fi
    trap - EXIT TERM INT HUP
    echo "topology $net is up: round trip $rtt ms between the routers${*:+; $*}"
}

case "${1:-}" in
up | down) "$@" ;;
exec)
    [ $# -ge 3 ] || {
        echo "usage: topology.sh exec NODE COMMAND..." >&2
        exit 2
    }
    # The command takes over this process, so whoever started it has its pid.
    exec ip netns exec "$(ns "$2")" "${@:3}"
    ;;
*)
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
    ;;
esac
