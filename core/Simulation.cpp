#include "core/Simulation.h"

#include "core/Hatchery.h"
#include "core/Rules.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <string>
#include <utility>

namespace simulation {

namespace {

// A simulated day, in milliseconds.
constexpr int64_t TimeLimit = 24LL * 60 * 60 * 1000;

// One side of a match: its chicken, the opponent's hit points as it lowers them,
// and when its charge is next full.
struct Side {
    const ChickenRecord& chicken;
    int action;        // the practice opponent's choice: it depends on the stats alone
    int64_t interval;  // between charge ticks
    int64_t nextFull;  // the first charge takes 10 ticks, every later one 9
    int16_t hitPoints; // this side's own hit points
};

// The side at full charge refuses or attacks; true when it has won.
bool act(Side& actor, Side& target, const RandomSource& random) {
    actor.nextFull += (rules::FullCharge - 1) * actor.interval;
    if (rules::rollRefusal(actor.chicken, random))
        return false;
    const int16_t damage = rules::rollAttack(actor.chicken, target.chicken, actor.action, random);
    if (!rules::isHit(damage))
        return false;
    target.hitPoints = rules::lowerHitPoints(target.hitPoints, damage);
    return rules::isDefeated(target.hitPoints);
}

Side side(const ChickenRecord& chicken, const ChickenRecord& opponent) {
    const int64_t interval = rules::chargeInterval(chicken.Speed);
    return {chicken, rules::bestAction(chicken, opponent), interval, rules::FullCharge * interval,
            chicken.HitPoints};
}

} // namespace

Result playMatch(const ChickenRecord& first, const ChickenRecord& second,
                 const RandomSource& random) {
    Side a = side(first, second);
    Side b = side(second, first);
    while (std::min(a.nextFull, b.nextFull) <= TimeLimit) {
        // Charges that fill at the same moment go in either order, as events
        // arriving together would.
        const bool aFirst = a.nextFull < b.nextFull ||
                            (a.nextFull == b.nextFull && randomness::roll(random, 0, 2) == 0);
        if (aFirst ? act(a, b, random) : act(b, a, random))
            return aFirst ? Result::FirstWins : Result::SecondWins;
    }
    return Result::Unfinished;
}

double winRate(const ChickenRecord& first, const ChickenRecord& second, int matches,
               const RandomSource& random) {
    int wins = 0;
    for (int i = 0; i < matches; ++i)
        wins += playMatch(first, second, random) == Result::FirstWins ? 1 : 0;
    return matches > 0 ? static_cast<double>(wins) / matches : 0.0;
}

double FairnessTable::averageAgainst(std::size_t f) const {
    double sum = 0;
    for (const auto& row : winRates)
        sum += row[f];
    return winRates.empty() ? 0.0 : sum / static_cast<double>(winRates.size());
}

double FairnessTable::overall(std::size_t h) const {
    const auto& row = winRates[h];
    return row.empty()
               ? 0.0
               : std::accumulate(row.begin(), row.end(), 0.0) / static_cast<double>(row.size());
}

double FairnessTable::averageOverall() const {
    double sum = 0;
    for (std::size_t h = 0; h < hatched.size(); ++h)
        sum += overall(h);
    return hatched.empty() ? 0.0 : sum / static_cast<double>(hatched.size());
}

double FairnessTable::lowestOverall() const {
    double lowest = 1.0;
    for (std::size_t h = 0; h < hatched.size(); ++h)
        lowest = std::min(lowest, overall(h));
    return lowest;
}

double FairnessTable::highestOverall() const {
    double highest = 0.0;
    for (std::size_t h = 0; h < hatched.size(); ++h)
        highest = std::max(highest, overall(h));
    return highest;
}

bool FairnessTable::fair() const {
    for (std::size_t f = 0; f < flock.size(); ++f) {
        const double average = averageAgainst(f);
        if (average < 0.35 || average > 0.65)
            return false;
    }
    return lowestOverall() >= 0.20 && highestOverall() <= 0.80;
}

FairnessTable measureFairness(const std::vector<ChickenRecord>& flock, int hatchedCount,
                              int matches, uint64_t seed) {
    FairnessTable table;
    table.flock = flock;
    const RandomSource eggs = randomness::seeded(seed);
    for (int h = 0; h < hatchedCount; ++h)
        table.hatched.push_back(
            hatchery::hatch("Chick " + std::to_string(h + 1), static_cast<int16_t>(h % 15), eggs));
    // Every pairing draws from a source of its own, so that a row can be
    // replayed alone.
    uint64_t pairing = seed;
    for (const ChickenRecord& chicken : table.hatched) {
        std::vector<double> row;
        for (const ChickenRecord& opponent : flock)
            row.push_back(
                winRate(chicken, opponent, matches, randomness::seeded(++pairing * 7919)));
        table.winRates.push_back(std::move(row));
    }
    return table;
}

} // namespace simulation
