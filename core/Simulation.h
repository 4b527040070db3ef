#pragma once

// Matches fought without a network or windows, with the fight's own rules: both
// chickens charge on their own timers, refuse by Obedience at full charge, and
// attack the moment they are ready with the practice opponent's choice of
// action. Time advances from one full charge to the next; nothing sleeps.
//
// Every roll draws from the random source handed in.

#include "core/ChickenRecord.h"
#include "core/Random.h"

#include <cstdint>
#include <vector>

namespace simulation {

enum class Result { FirstWins, SecondWins, Unfinished };

// One match between `first` and `second`, drawing from `random`.
// A match still running after a simulated day (two chickens that never land a
// blow) is Unfinished.
Result playMatch(const ChickenRecord& first, const ChickenRecord& second,
                 const RandomSource& random);

// `matches` matches of `first` against `second`; the share `first` won, 0 to 1.
double winRate(const ChickenRecord& first, const ChickenRecord& second, int matches,
               const RandomSource& random);

// Hatched chickens against a flock: each hatched chicken fights every flock
// chicken `matches` times.
struct FairnessTable {
    std::vector<ChickenRecord> flock;
    std::vector<ChickenRecord> hatched;
    // winRates[h][f]: hatched chicken h's share of wins against flock chicken f.
    std::vector<std::vector<double>> winRates;

    // A hatched chicken's average win rate against flock chicken f.
    double averageAgainst(std::size_t f) const;
    // Hatched chicken h's win rate against the whole flock.
    double overall(std::size_t h) const;
    // The hatched chickens' average win rate against the whole flock.
    double averageOverall() const;
    double lowestOverall() const;
    double highestOverall() const;

    // Fair: against every flock chicken, a hatched chicken wins 35%..65% of its
    // matches on average, and no hatched chicken wins more than 80% or less than
    // 20% of its matches against the whole flock.
    bool fair() const;
};

FairnessTable measureFairness(const std::vector<ChickenRecord>& flock, int hatchedCount,
                              int matches, uint64_t seed);

} // namespace simulation
