#include "screens/Vars.h"

#include <utility>

namespace Vars {

namespace {

// The source a test installed; empty: the program's own.
RandomSource& installed() {
    static RandomSource current;
    return current;
}

double draw() {
    static const RandomSource own = randomness::unpredictable();
    return installed() ? installed()() : own();
}

} // namespace

void setRandomSource(RandomSource replacement) {
    installed() = std::move(replacement);
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
    Score = {};
}

} // namespace Vars
