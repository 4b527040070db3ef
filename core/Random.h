#pragma once

// The core's one kind of randomness, and the one place where sources are made.
// Nothing in the core draws on its own: every function that rolls takes a
// RandomSource from its caller (an unpredictable one in the programs, a seeded
// one for simulated matches, a script in tests).

#include <cstdint>
#include <functional>

// A source of doubles uniform over [0, 1).
using RandomSource = std::function<double()>;

namespace randomness {

// lo + floor(n * r) for r drawn from `random`. For n >= 1 each of lo .. lo+n-1
// is equally likely; n == 0 gives lo; n < 0 gives lo+n .. lo.
int roll(const RandomSource& random, int lo, int n);

// splitmix64: advances `state` and gives its next 64-bit output, which passes
// the usual statistical batteries.
uint64_t splitmix64(uint64_t& state);

// The top 53 bits of `bits` as a double in [0, 1): every value on a 2^-53 grid.
double fraction(uint64_t bits);

// A source reproducible from `seed`: splitmix64, 53 bits per draw.
RandomSource seeded(uint64_t seed);

// A source no run repeats: seeded from the system's entropy (std::random_device).
RandomSource unpredictable();

} // namespace randomness
