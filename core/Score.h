#pragma once

// The running score of one program's matches: wins, losses and draws against
// each opponent's chicken, by its name. It lives as long as the program, and is
// never saved.

#include "core/Match.h"

#include <map>
#include <string>

namespace score {

struct Tally {
    int wins = 0;
    int losses = 0;
    int draws = 0;

    int played() const { return wins + losses + draws; }
};

class Score {
public:
    // One more match against `opponent` ended this way.
    void record(const std::string& opponent, match::Result result);
    // The matches against `opponent` so far; none when there were none.
    Tally against(const std::string& opponent) const;

private:
    std::map<std::string, Tally> tallies;
};

} // namespace score
