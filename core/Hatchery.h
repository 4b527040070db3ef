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

#include "core/ChickenRecord.h"
#include "core/Random.h"

#include <array>
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

// The stats a blend is made of, as the sample flock's files hold them
// (assets/chickens/rosie.dat, bruno.dat, pip.dat); canCombo is 1 or 0.
struct FlockStats {
    double kickPower, peckPower, speed, obedience, hitPoints, kickSkill, peckSkill, canCombo;
};
inline constexpr std::array<FlockStats, 3> Flock{{
    {13, 11, 57, 85, 103, 9, 10, 1}, // Rosie
    {18, 6, 42, 72, 118, 15, 5, 0},  // Bruno, the Brave
    {6, 11, 64, 93, 75, 7, 12, 1},   // Pip
}};

// A new chicken with that name and portrait, CheatFlag 0, stats drawn from
// `random`.
ChickenRecord hatch(std::string name, int16_t portrait, const RandomSource& random);

} // namespace hatchery
