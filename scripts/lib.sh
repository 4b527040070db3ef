# Shared by the project's scripts: installs missing Debian packages and builds.
# Sourced, not run.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# What building and running the game needs.
RUN_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-multimedia-dev libgl-dev
    libminiupnpc-dev libnatpmp-dev
    libqt6multimedia6 qt6-qpa-plugins fonts-liberation)
# What the test suite needs on top: an X server for the two-program tests and a
# way to drive it like a person, clang's libFuzzer for the fuzz targets, ip for
# the private network the suite runs in and nftables for the bad links made in
# such namespaces, Debian's judges of a package (lintian) and of a hardened
# binary (hardening-check, in devscripts), and for the small internet of
# tests/internet a home router's UPnP IGD and NAT-PMP daemon (miniupnpd's
# nftables build, which installs no service), their clients, socat and ping.
TEST_PACKAGES=(xvfb xauth xdotool x11-utils clang-14 libclang-rt-14-dev tcpdump procps dpkg-dev desktop-file-utils appstream file
    iproute2 nftables lintian devscripts miniupnpd-nftables miniupnpc natpmpc socat iputils-ping)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "Missing packages must be installed as root: $*" >&2
        return 1
    fi
}

# Installs whichever of the named packages are not installed yet.
need_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q &&
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
            "${missing[@]}"
}

# in_private_network COMMAND...: runs the command in a network namespace of its
# own whose only interface is loopback, with the multicast group routed on it
# (from 127.0.0.1, or datagrams would come from 0.0.0.0): hosts' announcements
# reach the programs on this machine and nothing leaves it. Needs root, or user
# namespaces. Inside such a namespace already, runs the command as it is.
in_private_network() {
    if [ "${QUORVEL_PRIVATE_NETWORK:-0}" = 1 ]; then
        "$@"
        return
    fi
    local unshare=(unshare --net)
    [ "$(id -u)" -eq 0 ] || unshare=(unshare --net --map-root-user)
    QUORVEL_PRIVATE_NETWORK=1 "${unshare[@]}" bash -c 'ip link set lo up &&
        ip link set lo multicast on &&
        ip route add 239.0.0.0/8 dev lo src 127.0.0.1 &&
        exec "$@"' private-network "$@"
}

# configure DIR [cmake options...]: configures the project into DIR (once).
configure() {
    local dir="$1"
    shift
    cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
}

# build DIR [cmake options...]: configures (once) and builds the whole project
# into DIR.
build() {
    configure "$@" && cmake --build "$1" -j"$(nproc)"
}

# What playing needs built: the game, which puts its sounds and the sample
# chicken.dat beside itself, and the sample flock in chickens/.
GAME_TARGETS=(quorvel quorvel_flock)

# build_only DIR TARGET...: configures DIR (once) and builds just those targets,
# not the test programs, the benchmark and the tools.
build_only() {
    local dir="$1"
    shift
    configure "$dir" && cmake --build "$dir" -j"$(nproc)" --target "$@"
}
