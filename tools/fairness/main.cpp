// Measures how fair the hatchery is: hatched chickens fight every chicken of the
// flock in simulated matches, and the win rates are printed as a table.
//
//   fairness [--hatched N] [--matches N] [--seed S] FLOCK.dat...
//
// Also prints how the flock's chickens fare against each other. Exits 0 when
// the hatchery is fair (the hatched chickens' average rate against the flock in
// 35%..65%, every hatched chicken's own rate in 20%..80%), 1 when it is not, 2
// on a usage error or an unreadable flock file.

#include "core/ChickenFile.h"
#include "core/Simulation.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fputs("usage: fairness [--hatched N] [--matches N] [--seed S] FLOCK.dat...\n", stderr);
    return 2;
}

bool number(const char* text, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && out > 0;
}

} // namespace

int main(int argc, char* argv[]) {
    long hatched = 200;
    long matches = 1000;
    long seed = 1;
    std::vector<ChickenRecord> flock;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        long* target = arg == "--hatched"   ? &hatched
                       : arg == "--matches" ? &matches
                       : arg == "--seed"    ? &seed
                                            : nullptr;
        if (target != nullptr) {
            if (++i == argc || !number(argv[i], *target))
                return usage();
        } else if (!arg.empty() && arg[0] == '-') {
            return usage();
        } else if (auto chicken = chickenfile::load(arg)) {
            flock.push_back(*chicken);
        } else {
            std::fprintf(stderr, "fairness: %s: not a readable chicken file\n", arg.c_str());
            return 2;
        }
    }
    if (flock.empty())
        return usage();

    const simulation::FairnessTable table = simulation::measureFairness(
        flock, static_cast<int>(hatched), static_cast<int>(matches), static_cast<uint64_t>(seed));
    std::printf("%ld hatched chickens x %zu flock chickens x %ld matches (seed %ld)\n\n", hatched,
                flock.size(), matches, seed);
    std::printf("| Flock chicken | Hatched chickens' average win rate | Lowest | Highest |\n");
    std::printf("|---|---|---|---|\n");
    for (std::size_t f = 0; f < flock.size(); ++f) {
        double lowest = 1.0;
        double highest = 0.0;
        for (const auto& row : table.winRates) {
            lowest = std::min(lowest, row[f]);
            highest = std::max(highest, row[f]);
        }
        std::printf("| %s | %.1f%% | %.1f%% | %.1f%% |\n", flock[f].Name.c_str(),
                    100 * table.averageAgainst(f), 100 * lowest, 100 * highest);
    }
    std::printf("\nA hatched chicken against the whole flock: average %.1f%%, lowest %.1f%%, "
                "highest %.1f%%\n",
                100 * table.averageOverall(), 100 * table.lowestOverall(),
                100 * table.highestOverall());
    std::printf("\nThe flock among itself (row's win rate against column):\n\n|   |");
    for (const ChickenRecord& chicken : flock)
        std::printf(" %s |", chicken.Name.c_str());
    std::printf("\n|---|");
    for (std::size_t f = 0; f < flock.size(); ++f)
        std::printf("---|");
    std::printf("\n");
    for (std::size_t a = 0; a < flock.size(); ++a) {
        std::printf("| %s |", flock[a].Name.c_str());
        for (std::size_t b = 0; b < flock.size(); ++b)
            std::printf(" %.1f%% |",
                        100 * simulation::winRate(flock[a], flock[b], static_cast<int>(matches),
                                                  randomness::seeded(seed + a * 31 + b)));
        std::printf("\n");
    }
    const bool fair = table.fair();
    std::printf("%s\n", fair ? "fair" : "NOT fair");
    return fair ? 0 : 1;
}
