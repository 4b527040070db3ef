#include "app/Vars.h"

#include <chrono>
#include <utility>

namespace Vars {

namespace {

// The core's splitmix64; mixing the clock into its state on every draw keeps
// matches from being reproducible from run to run without restarting the sequence.
uint64_t generatorState = 0x9E3779B97F4A7C15ull;

double clockMixedDraw() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    generatorState ^=
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    return randomness::fraction(randomness::splitmix64(generatorState));
}

RandomSource& source() {
    static RandomSource current;
    return current;
}

double draw() {
    return source() ? source()() : clockMixedDraw();
}

} // namespace

void setRandomSource(RandomSource replacement) {
    source() = std::move(replacement);
}

int Random(int lo, int n) {
    return randomness::roll(draw, lo, n);
}

RandomSource randomSource() {
    return draw;
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
