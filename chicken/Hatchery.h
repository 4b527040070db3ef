#pragma once

// Hatches new chickens with stats drawn by a fair rule, and says which names a
// chicken may carry.
//
// The rule: a new chicken takes after the sample flock. Every stat is the same
// random blend of the samples' stats (the blend's weights are drawn afresh for
// each chicken), then nudged a little at random. Strengths therefore come with
// the weaknesses that go with them in the samples (speed with few hit points,
// heavy kicks with a weak beak), and the fight simulation measures the result
// against the flock.

#include "chicken/ChickenRecord.h"
#include "chicken/Random.h"

#include <optional>
#include <string>
#include <string_view>

namespace hatchery {

// Portraits are numbered 0 to PortraitCount - 1.
inline constexpr int PortraitCount = 15;

// The longest name the file and the wire carry for a hatched chicken.
inline constexpr std::size_t MaxNameLength = 40;

// Why `name` (Latin-1 bytes, one per character) cannot be a chicken's name, or
// nothing when it can: it must not be empty, longer than 40 characters, or hold
// a double quote or a control character.
std::optional<std::string> nameRefusal(std::string_view name);

// A new chicken with that name and portrait, CheatFlag 0, stats drawn from
// `random`.
ChickenRecord hatch(std::string name, int16_t portrait, const RandomSource& random);

} // namespace hatchery
