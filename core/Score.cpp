#include "core/Score.h"

namespace score {

void Score::record(const std::string& opponent, match::Result result) {
    Tally& tally = tallies[opponent];
    switch (result) {
    case match::Result::Won:
        ++tally.wins;
        break;
    case match::Result::Lost:
        ++tally.losses;
        break;
    case match::Result::Draw:
        ++tally.draws;
        break;
    }
}

Tally Score::against(const std::string& opponent) const {
    const auto found = tallies.find(opponent);
    return found == tallies.end() ? Tally{} : found->second;
}

} // namespace score
