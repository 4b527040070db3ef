#pragma once

// The "quorvel.match" log (info, off by default): both records as the fight
// opens and both hit points at the end, the same lines from the game's screens
// and from the practice opponent, so that two sides' logs of one match can be
// compared line by line.

#include "core/ChickenRecord.h"

namespace matchlog {

// "records: own <A..I messages> | opponent <A..I messages>"
void fightOpened(const ChickenRecord& own, const ChickenRecord& opponent);
// "hit points: own <name> <n> | opponent <name> <n>" (at the end: won, lost or left)
void ended(const ChickenRecord& own, const ChickenRecord& opponent);

} // namespace matchlog
