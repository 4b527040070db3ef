# Shared by the project's scripts: installs missing Debian packages and builds.
# Sourced, not run.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# What building and running the game needs.
RUN_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-multimedia-dev libgl-dev
    libqt6multimedia6 qt6-qpa-plugins fonts-liberation)
# What the test suite needs on top: an X server for the two-program tests and a
# way to drive it like a person, clang's libFuzzer for the fuzz targets, Debian's
# judges of a package (lintian) and of a hardened binary (hardening-check, in
# devscripts), nftables and iproute2 for the bad links made in private network
# namespaces.
TEST_PACKAGES=(xvfb xauth xdotool x11-utils clang-14 libclang-rt-14-dev tcpdump procps dpkg-dev desktop-file-utils appstream file
    lintian devscripts nftables iproute2)

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

# build DIR [cmake options...]: configures (once) and builds the project into DIR.
build() {
    local dir="$1"
    shift
    cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null &&
        cmake --build "$dir" -j"$(nproc)"
}
