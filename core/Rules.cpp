#include "core/Rules.h"

#include <algorithm>
#include <cstdint>

namespace rules {

namespace {

// 16-bit signed arithmetic that wraps: the value modulo 2^16.
int16_t wrap(int value) {
    return static_cast<int16_t>(value);
}

constexpr int MinimumInterval = 10;

// The results Random(1, n) gives, each equally likely: 1..n for n >= 1, only 1
// for n == 0, and 1 + n..0 for n < 0 (lo + floor(n * r) never reaches lo there).
struct RollRange {
    int low;
    int high;
    int count() const { return high - low + 1; }
};

RollRange rollRange(int n) {
    if (n >= 1)
        return {1, n};
    if (n == 0)
        return {1, 1};
    return {1 + n, 0};
}

// The sum of the whole numbers low..high (0 when the range is empty).
int64_t seriesSum(int64_t low, int64_t high) {
    return low > high ? 0 : (low + high) * (high - low + 1) / 2;
}

} // namespace

int chargeInterval(int16_t speed) {
    const int16_t interval = wrap(1010 - wrap(10 * speed));
    return interval < MinimumInterval ? MinimumInterval : interval;
}

bool rollRefusal(const ChickenRecord& own, const RandomSource& random) {
    return randomness::roll(random, 1, 100) > own.Obedience;
}

bool actionAvailable(const ChickenRecord& own, int action) {
    switch (action) {
    case Kick:
        return true;
    case Peck:
        return own.CanPeck != 0;
    case Combo:
        return own.CanCombo != 0;
    default:
        return false;
    }
}

int16_t attackStrength(const ChickenRecord& attacker, int action) {
    switch (action) {
    case Kick:
        return wrap(attacker.KickPower + attacker.KickSkill);
    case Peck:
        return wrap(attacker.PeckSkill + attacker.PeckPower);
    case Combo:
        return wrap(attacker.KickPower + attacker.PeckPower);
    default:
        return 0;
    }
}

int16_t defenceStrength(const ChickenRecord& defender, int action) {
    switch (action) {
    case Kick: // met by the beak, like a peck
    case Peck:
        return defender.PeckPower;
    case Combo:
        return wrap(defender.KickPower + defender.PeckPower);
    default:
        return 0;
    }
}

int16_t rollAttack(const ChickenRecord& attacker, const ChickenRecord& defender, int action,
                   const RandomSource& random) {
    const int attack = randomness::roll(random, 1, attackStrength(attacker, action));
    const int defence = randomness::roll(random, 1, defenceStrength(defender, action));
    return wrap(attack - defence);
}

double expectedDamage(const ChickenRecord& attacker, const ChickenRecord& defender, int action) {
    const RollRange attack = rollRange(attackStrength(attacker, action));
    const RollRange defence = rollRange(defenceStrength(defender, action));
    // For one attack roll a, the differences a - d over the defence rolls are the
    // run a - high .. a - low. A difference x does damage when its 16-bit wrap is
    // 1 or more: x in 1..32767 does x, x in -65535..-32769 wraps round to x + 65536.
    int64_t total = 0;
    for (int a = attack.low; a <= attack.high; ++a) {
        const int64_t low = a - defence.high;
        const int64_t high = a - defence.low;
        const int64_t plainLow = std::max<int64_t>(low, 1);
        const int64_t plainHigh = std::min<int64_t>(high, INT16_MAX);
        total += seriesSum(plainLow, plainHigh);
        const int64_t wrappedLow = std::max<int64_t>(low, -65535);
        const int64_t wrappedHigh = std::min<int64_t>(high, -32769);
        if (wrappedLow <= wrappedHigh)
            total += seriesSum(wrappedLow, wrappedHigh) + 65536 * (wrappedHigh - wrappedLow + 1);
    }
    return static_cast<double>(total) /
           (static_cast<double>(attack.count()) * static_cast<double>(defence.count()));
}

int bestAction(const ChickenRecord& attacker, const ChickenRecord& defender) {
    int best = Kick;
    double bestDamage = expectedDamage(attacker, defender, Kick);
    for (const int action : {Peck, Combo}) {
        if (!actionAvailable(attacker, action))
            continue;
        const double damage = expectedDamage(attacker, defender, action);
        if (damage > bestDamage) {
            best = action;
            bestDamage = damage;
        }
    }
    return best;
}

int16_t lowerHitPoints(int16_t hitPoints, int16_t damage) {
    return wrap(hitPoints - damage);
}

std::string hitLine(int roll, const std::string& attacker, const std::string& defender,
                    int16_t damage) {
    const std::string points = std::to_string(damage);
    switch (roll) {
    case 1:
        return attacker + " does " + points + " point(s) of damage!";
    case 2:
        return attacker + " whacks " + defender + " for " + points + " point(s)!";
    default:
        return attacker + " attacks for " + points + " damage!";
    }
}

std::string missLine(int roll, const std::string& attacker) {
    switch (roll) {
    case 1:
        return attacker + "'s attack has been deflected.";
    case 2:
        return attacker + " does no damage.";
    default:
        return attacker + " misses.";
    }
}

std::string rollHitLine(const std::string& attacker, const std::string& defender, int16_t damage,
                        const RandomSource& random) {
    return hitLine(randomness::roll(random, 1, CommentaryLines), attacker, defender, damage);
}

std::string rollMissLine(const std::string& attacker, const RandomSource& random) {
    return missLine(randomness::roll(random, 1, CommentaryLines), attacker);
}

std::string refusalLine(const std::string& name) {
    return name + " refuses to fight.";
}

std::string winLine(const std::string& name) {
    return name + " wins the match!";
}

std::string startLine(const std::string& own, const std::string& opponent) {
    return own + " VS " + opponent;
}

} // namespace rules
