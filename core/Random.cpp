#include "core/Random.h"

#include <cmath>
#include <random>

namespace randomness {

int roll(const RandomSource& random, int lo, int n) {
    return lo + static_cast<int>(std::floor(static_cast<double>(n) * random()));
}

uint64_t splitmix64(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double fraction(uint64_t bits) {
    return static_cast<double>(bits >> 11) * 0x1.0p-53;
}

RandomSource seeded(uint64_t seed) {
    return [state = seed]() mutable { return fraction(splitmix64(state)); };
}

RandomSource unpredictable() {
    std::random_device device;
    return seeded((static_cast<uint64_t>(device()) << 32) | device());
}

} // namespace randomness
