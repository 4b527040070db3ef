#pragma once

// Program-wide state shared by every screen, and the random helper through
// which every roll and random choice goes. Plain data: no widgets, no sockets.

#include "core/ChickenRecord.h"
#include "core/Random.h"
#include "core/Score.h"

#include <cstdint>
#include <string>

namespace Vars {

inline ChickenRecord OwnChicken;      // the local player's chicken, from the data file
inline ChickenRecord OpponentChicken; // the peer's chicken, from its record messages
inline uint8_t GameMode = 0;          // 1 hosting, 2 joining
inline std::string HostAddress;       // as typed at the address prompt
inline std::string AppPath;           // the program's folder, ending in "/"
inline std::string ChickenPath;       // the chicken data file the title screen reads
inline std::string ChickenOption;     // --chicken FILE as a full path; empty without it
inline bool LanOnly = false;          // --lan-only: a host asks no router to forward its port
inline score::Score Score;            // this run's matches, by the opponent's chicken

// Puts every global back to its start-of-program value (tests).
void reset();

using RandomSource = ::RandomSource;

// Replaces the program-wide source (tests script it); an empty function
// restores the real one, which no run repeats (randomness::unpredictable).
void setRandomSource(RandomSource source);

// lo + floor(n * r) for r drawn from the program-wide source. For n >= 1 each of
// lo .. lo+n-1 is equally likely; n == 0 gives lo; n < 0 gives lo+n .. lo.
int Random(int lo, int n);

// The program-wide source as a callable for the core: each draw comes from the
// source in force at the time of the draw.
RandomSource randomSource();

} // namespace Vars
