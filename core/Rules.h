#pragma once

// The fight's rules over two chicken records. Every roll draws from the random
// source its caller hands in, so a scripted source drives them in tests.

#include "core/ChickenRecord.h"
#include "core/Random.h"

#include <cstdint>
#include <string>

namespace rules {

enum Action : int { Kick = 0, Peck = 1, Combo = 2 };

inline constexpr int FullCharge = 10;

// The hit and miss commentary each have this many lines, picked by Random(1, 3).
inline constexpr int CommentaryLines = 3;

// Milliseconds between charge ticks: 1010 - 10 * Speed in 16-bit arithmetic,
// never below 10 ms (a faster timer could not run).
int chargeInterval(int16_t speed);

// Rolls Random(1, 100) against Obedience: true when the chicken refuses.
bool rollRefusal(const ChickenRecord& own, const RandomSource& random);

// Whether `action` is on offer at full charge (Kick always; Peck and Combo as
// CanPeck and CanCombo allow).
bool actionAvailable(const ChickenRecord& own, int action);

// The attack's A and the defence's D for `action` (16-bit wrapping sums; 0 for
// a number that is no action).
int16_t attackStrength(const ChickenRecord& attacker, int action);
int16_t defenceStrength(const ChickenRecord& defender, int action);

// Rolls the attack, then the defence; returns attack - defence (the last damage).
int16_t rollAttack(const ChickenRecord& attacker, const ChickenRecord& defender, int action,
                   const RandomSource& random);

// The damage that `action` does on average against `defender`, a miss
// counting 0: the mean over every pair of attack and defence rolls, each pair as
// likely as Random makes it, with the 16-bit wrap of rollAttack.
double expectedDamage(const ChickenRecord& attacker, const ChickenRecord& defender, int action);

// The action on offer to `attacker` with the greatest expected damage; on a tie
// the lower number (Kick before Peck before Combo).
int bestAction(const ChickenRecord& attacker, const ChickenRecord& defender);

// hitPoints - damage in 16-bit wrapping arithmetic.
int16_t lowerHitPoints(int16_t hitPoints, int16_t damage);

// True when an attack's result (the last damage, sent or received) does damage: 1 or
// more is a hit, 0 or less a miss.
inline bool isHit(int16_t damage) {
    return damage >= 1;
}

// True when hit points have fallen below 1.
inline bool isDefeated(int16_t hitPoints) {
    return hitPoints < 1;
}

// Commentary. `attacker` is whoever struck; the receiving side passes the
// opponent as attacker and its own chicken as defender. Names are raw bytes.
// hitLine and missLine take the roll (1, 2 or 3; anything else counts as 3);
// rollHitLine and rollMissLine draw it with Random(1, 3).
std::string hitLine(int roll, const std::string& attacker, const std::string& defender,
                    int16_t damage);
std::string missLine(int roll, const std::string& attacker);
std::string rollHitLine(const std::string& attacker, const std::string& defender, int16_t damage,
                        const RandomSource& random);
std::string rollMissLine(const std::string& attacker, const RandomSource& random);
std::string refusalLine(const std::string& name);
std::string winLine(const std::string& name);
std::string startLine(const std::string& own, const std::string& opponent);

} // namespace rules
