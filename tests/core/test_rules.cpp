// The fight rules over scripted rolls: charge rate, refusal, the actions on
// offer, attack rolls, hit points, the commentary texts and simulated matches.

#include "common/ScriptedRandom.h"
#include "common/fixtures.h"
#include "core/Rules.h"
#include "core/Simulation.h"

#include <QByteArray>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <string>

using namespace rules;

namespace {

using fixture::chicken;
using fixture::row;
using fixture::text;

// Kick 10 + 5 and peck 6 + 8 against a kick met by 7, a peck by 7, a combo by 50 + 7.
const ChickenRecord rex = chicken("Rex", {10, 8, 0, 0, 0, 0, 5, 6});
const ChickenRecord bob = chicken("Bob", {50, 7, 0, 0, 20});

int interval(const QByteArray& speed) {
    return chargeInterval(int16_t(speed.toInt()));
}

QByteArray text(double value) {
    return QByteArray::number(value, 'f', 6);
}

// The draw that makes Random(1, n) give `result`.
double r(int n, int result) {
    return (result - 0.5) / n;
}

// What `f` gives over a script of draws; " and draws left" when it draws fewer.
template <typename F> QByteArray rolled(std::initializer_list<double> draws, F f) {
    ScriptedRandom script;
    for (double draw : draws)
        script.fraction(draw);
    const QByteArray got = text(f(script.source()));
    return script.exhausted() ? got : got + " and draws left";
}

auto refuses(int obedience) {
    return [=](const RandomSource& random) {
        return int(rollRefusal(chicken("", {0, 0, 0, int16_t(obedience)}), random));
    };
}

auto attack(int action, const ChickenRecord& own = rex, const ChickenRecord& opponent = bob) {
    return [=](const RandomSource& random) {
        const int16_t damage = rollAttack(own, opponent, action, random);
        return std::to_string(damage) + (isHit(damage) ? " hit" : " miss");
    };
}

// A kick with the given power and skill against a peck power, drawn as given.
QByteArray kick(int16_t power, int16_t skill, int16_t peck, double attackDraw, double defenceDraw) {
    return rolled(
        {attackDraw, defenceDraw},
        attack(Kick, chicken("", {power, 0, 0, 0, 0, 0, skill}), chicken("", {50, peck})));
}

// Actions -1 to 3 on offer, as 0 and 1.
QByteArray offered(int16_t canPeck, int16_t canCombo) {
    const ChickenRecord own = chicken("", {0, 0, 0, 0, 0, 0, 0, 0, 0, canPeck, canCombo});
    QByteArray offers;
    for (int action = -1; action <= 3; ++action)
        offers += actionAvailable(own, action) ? '1' : '0';
    return offers;
}

// Kick power 10, peck power 8 against kick power 2, peck power 7: kick A = 10 + skill
// vs 7, peck A = skill + 8 vs 7, combo A = 18 vs 9.
QByteArray best(int16_t canPeck, int16_t canCombo, int16_t kickSkill, int16_t peckSkill) {
    static const char* const names[] = {"kick", "peck", "combo"};
    return names[bestAction(
        chicken("", {10, 8, 0, 0, 0, 0, kickSkill, peckSkill, 0, canPeck, canCombo}),
        chicken("", {2, 7}))];
}

QByteArray lowered(int16_t hitPoints, int16_t damage) {
    const int16_t left = lowerHitPoints(hitPoints, damage);
    return text(left) + (isDefeated(left) ? " defeated" : " standing");
}

double expected(int16_t kickPower, int16_t peckPower) {
    return expectedDamage(chicken("", {kickPower}), chicken("", {0, peckPower}), Kick);
}

// One match where every draw is 0.999: each attack rolls its top and each
// defence its top, neither side refuses, and equal times go to the second.
QByteArray played(const ChickenRecord& first, const ChickenRecord& second) {
    static const char* const results[] = {"first wins", "second wins", "unfinished"};
    return results[int(simulation::playMatch(first, second, [] { return 0.999; }))];
}

} // namespace

class TestRules : public QObject {
    Q_OBJECT

private slots:
    void table_data() {
        fixture::columns();
        row("interval: speed 0", chargeInterval(0), "1010");
        row("interval: speed 1", chargeInterval(1), "1000");
        row("interval: speed 50", chargeInterval(50), "510");
        // Never below 10: at 100, at 101 (would be 0), 150 (negative), -3200 (wraps negative).
        fixture::rows("interval: speed", interval, "10", {"100", "101", "150", "-3200"});
        row("interval: negative speed is slower", chargeInterval(-100), "2010");
        row("interval: 10 x speed wraps to 4", chargeInterval(6554), "1006");
        row("interval: largest wraps to -10", chargeInterval(32767), "1020");
        row("interval: smallest", chargeInterval(-32768), "1010");

        row("refusal: 100 obeys at the top roll", rolled({r(100, 100)}, refuses(100)), "0");
        row("refusal: above 100 obeys", rolled({r(100, 100)}, refuses(150)), "0");
        row("refusal: 0 refuses at the lowest roll", rolled({r(100, 1)}, refuses(0)), "1");
        row("refusal: negative refuses", rolled({r(100, 1)}, refuses(-5)), "1");
        row("refusal: roll equal obeys", rolled({r(100, 50)}, refuses(50)), "0");
        row("refusal: roll above refuses", rolled({r(100, 51)}, refuses(50)), "1");

        // Actions -1, kick, peck, combo, 3.
        row("offer: kick only", offered(0, 0), "01000");
        row("offer: peck", offered(-1, 0), "01100");
        row("offer: combo", offered(0, -1), "01010");
        row("offer: both", offered(-1, -1), "01110");
        row("offer: any non-zero", offered(1, 7), "01110");

        // Kick is met by the defender's peck power (7), not its kick power (50).
        row("kick: A, D", attackStrength(rex, Kick) * 100 + defenceStrength(bob, Kick), "1507");
        row("peck: A, D", attackStrength(rex, Peck) * 100 + defenceStrength(bob, Peck), "1407");
        row("combo: A, D", attackStrength(rex, Combo) * 100 + defenceStrength(bob, Combo), "1857");
        row("no action: A, D", attackStrength(rex, 3) * 100 + defenceStrength(bob, -1), "0");
        // The attack is rolled first, then the defence, each over its own range.
        row("kick: best attack", rolled({r(15, 15), r(7, 1)}, attack(Kick)), "14 hit");
        row("kick: worst attack", rolled({r(15, 1), r(7, 7)}, attack(Kick)), "-6 miss");
        row("peck: best attack", rolled({r(14, 14), r(7, 1)}, attack(Peck)), "13 hit");
        row("peck: worst attack", rolled({r(14, 1), r(7, 7)}, attack(Peck)), "-6 miss");
        row("combo: best attack", rolled({r(18, 18), r(57, 1)}, attack(Combo)), "17 hit");
        row("combo: worst attack", rolled({r(18, 1), r(57, 57)}, attack(Combo)), "-56 miss");
        row("kick: equal rolls miss", kick(3, 3, 6, 0.5, 0.5), "0 miss");
        row("kick: A 0 always attacks 1", kick(0, 0, 6, 0.999, 0.0), "0 miss");
        row("kick: D 0 always defends 1", kick(3, 3, 0, 0.999, 0.999), "5 hit");
        row("kick: A 1, D 1 always misses", kick(1, 0, 1, 0.999, 0.0), "0 miss");
        row("kick: negative A rolls down to 1 + A", kick(-5, 0, 1, 0.999, 0.0), "-5 miss");
        row("kick: A wraps to -32768", kick(32767, 1, 1, 0.5, 0.0), "-16384 miss");
        row("kick: difference wraps", kick(-32768, 0, 32767, 0.999999, 0.999999), "2 hit");

        // Means worked out by going through all 2^30 pairs of rolls once.
        row("mean: large differences wrap to misses", text(expected(32767, -32767)),
            "10922.833338");
        row("mean: large negative differences wrap to hits", text(expected(-32768, 32767)),
            "10922.000000");

        row("best: combo strongest", best(-1, -1, 0, 0), "combo");
        row("best: combo not known", best(-1, 0, 0, 0), "kick");
        row("best: peck strongest", best(-1, -1, 0, 20), "peck");
        row("best: peck strongest but not known", best(0, -1, 0, 20), "combo");
        row("best: kick only", best(0, 0, 0, 40), "kick");
        row("best: tie goes to the lower number", best(-1, 0, 6, 8), "kick");

        row("hit points: 1 hit for 1", lowered(1, 1), "0 defeated");
        row("hit points: 2 hit for 1", lowered(2, 1), "1 standing");
        row("hit points: overkill", lowered(3, 10), "-7 defeated");
        row("hit points: already at 0, hit", lowered(0, 1), "-1 defeated");
        row("hit points: wraps below the bottom", lowered(-32768, 1), "32767 standing");
        row("hit points: negative damage wraps", lowered(32767, -1), "-32768 defeated");

        // Each line is picked by one roll of Random(1, 3).
        const auto hit = [](const RandomSource& random) {
            return rollHitLine("Rex", "Bob", 4, random);
        };
        const auto miss = [](const RandomSource& random) { return rollMissLine("Rex", random); };
        row("hit 1", rolled({r(3, 1)}, hit), "Rex does 4 point(s) of damage!");
        row("hit 2", rolled({r(3, 2)}, hit), "Rex whacks Bob for 4 point(s)!");
        row("hit 3", rolled({r(3, 3)}, hit), "Rex attacks for 4 damage!");
        row("miss 1", rolled({r(3, 1)}, miss), "Rex's attack has been deflected.");
        row("miss 2", rolled({r(3, 2)}, miss), "Rex does no damage.");
        row("miss 3", rolled({r(3, 3)}, miss), "Rex misses.");
        row("refusal", refusalLine("Rex"), "Rex refuses to fight.");
        row("win", winLine("Rex"), "Rex wins the match!");
        row("start", startLine("Rex", "Bob"), "Rex VS Bob");
        // The receiving side: the peer's chicken struck the own one.
        row("received damage 2", hitLine(2, "Bob", "Rex", 12), "Bob whacks Rex for 12 point(s)!");
        row("received no damage 1", missLine(1, "Bob"), "Bob's attack has been deflected.");
        // Names are bytes, joined as they are; numbers are plain decimal.
        row("raw bytes and empty name", hitLine(2, "R\xe9x \"1\"", "", 32767),
            "R\xe9x \"1\" whacks  for 32767 point(s)!");
        row("negative number", hitLine(1, "", "Bob", -32768), " does -32768 point(s) of damage!");

        // Speed 100 charges every 10 ms, 99 every 20 ms: the first's charges are
        // full at 100 and 190 ms (its 1 + 1 damage fells the second's 2 hit
        // points), the second's at 200 ms (its 9 damage would fell the first).
        row("simulation: later charges take 9 ticks",
            played(chicken("", {2, 0, 100, 100, 1}), chicken("", {10, 1, 99, 100, 2})),
            "first wins");
    }
    void table() { fixture::compareRow(); }

    // Every pair of attack and defence rolls, driven through rollAttack itself:
    // the expectation must be the plain mean of what the rolls really give.
    void expectedDamageIsTheMeanOfAllRolls() {
        for (int a = -4; a <= 7; ++a) {
            for (int d = -3; d <= 6; ++d) {
                // A draw inside each of the |n| equal steps of Random(1, n) (one for n 0).
                const int attacks = std::max(1, std::abs(a)), defences = std::max(1, std::abs(d));
                double total = 0;
                for (int k = 0; k < attacks * defences; ++k) {
                    ScriptedRandom script;
                    script.fraction((k / defences + 0.5) / attacks);
                    script.fraction((k % defences + 0.5) / defences);
                    total += std::max(
                        0, int(rollAttack(chicken("", {int16_t(a)}), chicken("", {0, int16_t(d)}),
                                          Kick, script.source())));
                }
                QCOMPARE(text(expected(int16_t(a), int16_t(d))),
                         text(total / (attacks * defences)));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestRules)
#include "test_rules.moc"
