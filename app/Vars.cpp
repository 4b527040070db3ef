#include "app/Vars.h"

#include <chrono>
#include <cmath>
#include <utility>

namespace Vars {

namespace {

// splitmix64: a small 64-bit generator whose output passes the usual statistical
// batteries; mixing the clock into its state on every draw keeps matches from
// being reproducible from run to run without restarting the sequence.
uint64_t generatorState = 0x9E3779B97F4A7C15ull;

uint64_t splitmix64() {
    uint64_t z = (generatorState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double clockMixedDraw() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    generatorState ^=
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    // 53 random bits: every double in [0, 1) on a 2^-53 grid.
    return static_cast<double>(splitmix64() >> 11) * 0x1.0p-53;
}

RandomSource& source() {
    static RandomSource current;
    return current;
}

} // namespace

void setRandomSource(RandomSource replacement) {
    source() = std::move(replacement);
}

int Random(int lo, int n) {
    const double r = source() ? source()() : clockMixedDraw();
    return lo + static_cast<int>(std::floor(static_cast<double>(n) * r));
}

void reset() {
    OwnChicken = {};
    OpponentChicken = {};
    GameMode = 0;
    HostAddress.clear();
    AppPath.clear();
    ChickenPath.clear();
    ChickenOption.clear();
    LanOnly = false;
}

} // namespace Vars
