#include "fight/Rules.h"

#include "app/Vars.h"

namespace rules {

namespace {

// 16-bit signed arithmetic that wraps: the value modulo 2^16.
int16_t wrap(int value) {
    return static_cast<int16_t>(value);
}

constexpr int MinimumInterval = 10;

} // namespace

int chargeInterval(int16_t speed) {
    const int16_t interval = wrap(1010 - wrap(10 * speed));
    return interval < MinimumInterval ? MinimumInterval : interval;
}

bool rollRefusal(const ChickenRecord& own) {
    return Vars::Random(1, 100) > own.Obedience;
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

int16_t rollAttack(const ChickenRecord& attacker, const ChickenRecord& defender, int action) {
    const int attack = Vars::Random(1, attackStrength(attacker, action));
    const int defence = Vars::Random(1, defenceStrength(defender, action));
    return wrap(attack - defence);
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

std::string rollHitLine(const std::string& attacker, const std::string& defender, int16_t damage) {
    return hitLine(Vars::Random(1, CommentaryLines), attacker, defender, damage);
}

std::string rollMissLine(const std::string& attacker) {
    return missLine(Vars::Random(1, CommentaryLines), attacker);
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
