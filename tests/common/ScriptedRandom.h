#pragma once

// A script of wanted results, so that tests can say "the next roll of
// Random(1, 6) gives 4" instead of inventing fractions. Handed in as source(), it
// drives the core's rolls; ProgramRandom (common/ProgramRandom.h) drives
// Vars::Random.

#include "core/Random.h"

#include <deque>
#include <stdexcept>

class ScriptedRandom {
public:
    ScriptedRandom() = default;
    ScriptedRandom(const ScriptedRandom&) = delete;
    ScriptedRandom& operator=(const ScriptedRandom&) = delete;

    // The next draw yields r itself.
    ScriptedRandom& fraction(double r) {
        draws.push_back(r);
        return *this;
    }
    // The next draw makes Random(lo, n) give `result` (n >= 1).
    ScriptedRandom& roll(int lo, int n, int result) { return fraction((result - lo + 0.5) / n); }
    RandomSource source() {
        return [this] {
            if (draws.empty())
                throw std::logic_error("ScriptedRandom: more draws than scripted");
            const double r = draws.front();
            draws.pop_front();
            return r;
        };
    }
    bool exhausted() const { return draws.empty(); }

private:
    std::deque<double> draws;
};
