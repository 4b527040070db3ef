// The fight rules over a scripted random source: charge rate, refusal, the
// actions on offer, attack rolls, hit points and the commentary texts.

#include "common/ScriptedRandom.h"
#include "core/Rules.h"

#include <QByteArray>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

QByteArray q(const std::string& text) {
    return QByteArray::fromStdString(text);
}

ChickenRecord attacker() {
    ChickenRecord c;
    c.Name = "Rex";
    c.KickPower = 10;
    c.KickSkill = 5;
    c.PeckPower = 8;
    c.PeckSkill = 6;
    return c;
}

ChickenRecord defender() {
    ChickenRecord c;
    c.Name = "Bob";
    c.KickPower = 50;
    c.PeckPower = 7;
    c.HitPoints = 20;
    return c;
}

} // namespace

class TestRules : public QObject {
    Q_OBJECT

private slots:
    void chargeInterval_data() {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("interval");
        QTest::newRow("0") << 0 << 1010;
        QTest::newRow("1") << 1 << 1000;
        QTest::newRow("50") << 50 << 510;
        QTest::newRow("100") << 100 << 10;
        QTest::newRow("101 would be 0") << 101 << 10;
        QTest::newRow("150 would be negative") << 150 << 10;
        QTest::newRow("negative speed is slower") << -100 << 2010;
        QTest::newRow("10 x speed wraps to 4") << 6554 << 1006;
        QTest::newRow("difference wraps negative") << -3200 << 10;
        QTest::newRow("largest wraps to -10") << 32767 << 1020;
        QTest::newRow("smallest") << -32768 << 1010;
    }
    void chargeInterval() {
        QFETCH(int, speed);
        QFETCH(int, interval);
        QCOMPARE(rules::chargeInterval(static_cast<int16_t>(speed)), interval);
    }

    void refusal_data() {
        QTest::addColumn<int>("obedience");
        QTest::addColumn<int>("roll");
        QTest::addColumn<bool>("refuses");
        QTest::newRow("100 obeys at the top roll") << 100 << 100 << false;
        QTest::newRow("above 100 obeys") << 150 << 100 << false;
        QTest::newRow("0 refuses at the lowest roll") << 0 << 1 << true;
        QTest::newRow("negative refuses") << -5 << 1 << true;
        QTest::newRow("roll equal obeys") << 50 << 50 << false;
        QTest::newRow("roll above refuses") << 50 << 51 << true;
    }
    void refusal() {
        QFETCH(int, obedience);
        QFETCH(int, roll);
        QFETCH(bool, refuses);
        ChickenRecord own;
        own.Obedience = static_cast<int16_t>(obedience);
        ScriptedRandom script(ScriptedRandom::HandedIn);
        script.roll(1, 100, roll);
        QCOMPARE(rules::rollRefusal(own, script.source()), refuses);
        QVERIFY(script.exhausted());
    }

    void actionsOnOffer_data() {
        QTest::addColumn<int>("canPeck");
        QTest::addColumn<int>("canCombo");
        QTest::addColumn<bool>("peck");
        QTest::addColumn<bool>("combo");
        QTest::newRow("neither") << 0 << 0 << false << false;
        QTest::newRow("peck") << -1 << 0 << true << false;
        QTest::newRow("combo") << 0 << -1 << false << true;
        QTest::newRow("both") << -1 << -1 << true << true;
        QTest::newRow("any non-zero") << 1 << 7 << true << true;
    }
    void actionsOnOffer() {
        QFETCH(int, canPeck);
        QFETCH(int, canCombo);
        QFETCH(bool, peck);
        QFETCH(bool, combo);
        ChickenRecord own;
        own.CanPeck = static_cast<int16_t>(canPeck);
        own.CanCombo = static_cast<int16_t>(canCombo);
        QVERIFY(rules::actionAvailable(own, rules::Kick));
        QCOMPARE(rules::actionAvailable(own, rules::Peck), peck);
        QCOMPARE(rules::actionAvailable(own, rules::Combo), combo);
        QVERIFY(!rules::actionAvailable(own, 3));
        QVERIFY(!rules::actionAvailable(own, -1));
    }

    void attackAndDefence_data() {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("attack");  // A
        QTest::addColumn<int>("defence"); // D
        // Kick is met by the defender's PeckPower (7), not its KickPower (50).
        QTest::newRow("kick") << int(rules::Kick) << 10 + 5 << 7;
        QTest::newRow("peck") << int(rules::Peck) << 6 + 8 << 7;
        QTest::newRow("combo") << int(rules::Combo) << 10 + 8 << 50 + 7;
    }
    void attackAndDefence() {
        QFETCH(int, action);
        QFETCH(int, attack);
        QFETCH(int, defence);
        QCOMPARE(rules::attackStrength(attacker(), action), int16_t(attack));
        QCOMPARE(rules::defenceStrength(defender(), action), int16_t(defence));

        // The attack is rolled first, then the defence, each over its own range:
        // the best attack against the worst defence, and the other way round.
        {
            ScriptedRandom script(ScriptedRandom::HandedIn);
            script.roll(1, attack, attack).roll(1, defence, 1);
            QCOMPARE(rules::rollAttack(attacker(), defender(), action, script.source()),
                     int16_t(attack - 1));
            QVERIFY(script.exhausted());
        }
        {
            ScriptedRandom script(ScriptedRandom::HandedIn);
            script.roll(1, attack, 1).roll(1, defence, defence);
            QCOMPARE(rules::rollAttack(attacker(), defender(), action, script.source()),
                     int16_t(1 - defence));
            QVERIFY(script.exhausted());
        }
    }

    void attackRollEdges_data() {
        QTest::addColumn<int>("kickPower");
        QTest::addColumn<int>("kickSkill");
        QTest::addColumn<int>("defenderPeck");
        QTest::addColumn<double>("attackDraw");
        QTest::addColumn<double>("defenceDraw");
        QTest::addColumn<int>("damage");
        QTest::newRow("equal rolls miss") << 3 << 3 << 6 << 0.5 << 0.5 << 0;
        QTest::newRow("A 0 always attacks 1") << 0 << 0 << 6 << 0.999 << 0.0 << 0;
        QTest::newRow("D 0 always defends 1") << 3 << 3 << 0 << 0.999 << 0.999 << 5;
        QTest::newRow("A 1, D 1 always misses") << 1 << 0 << 1 << 0.999 << 0.0 << 0;
        QTest::newRow("negative A rolls down to 1 + A") << -5 << 0 << 1 << 0.999 << 0.0 << -5;
        QTest::newRow("A wraps to -32768") << 32767 << 1 << 1 << 0.5 << 0.0 << -16384;
        QTest::newRow("difference wraps")
            << -32768 << 0 << 32767 << 0.999999 << 0.999999 << int(int16_t(-32767 - 32767));
    }
    void attackRollEdges() {
        QFETCH(int, kickPower);
        QFETCH(int, kickSkill);
        QFETCH(int, defenderPeck);
        QFETCH(double, attackDraw);
        QFETCH(double, defenceDraw);
        QFETCH(int, damage);
        ChickenRecord own;
        own.KickPower = static_cast<int16_t>(kickPower);
        own.KickSkill = static_cast<int16_t>(kickSkill);
        ChickenRecord opponent;
        opponent.PeckPower = static_cast<int16_t>(defenderPeck);
        opponent.KickPower = 50;
        ScriptedRandom script(ScriptedRandom::HandedIn);
        script.fraction(attackDraw).fraction(defenceDraw);
        const int16_t lastDamage = rules::rollAttack(own, opponent, rules::Kick, script.source());
        QCOMPARE(lastDamage, int16_t(damage));
        QCOMPARE(rules::isHit(lastDamage), damage >= 1);
    }

    void noActionRollsOverNothing() {
        QCOMPARE(rules::attackStrength(attacker(), 3), int16_t(0));
        QCOMPARE(rules::defenceStrength(defender(), -1), int16_t(0));
    }

    // Every pair of attack and defence rolls, driven through rollAttack itself:
    // the expectation must be the plain mean of what the rolls really give.
    void expectedDamageIsTheMeanOfAllRolls() {
        // A draw inside each of the |n| equal steps of Random(1, n) (one for n 0).
        const auto draws = [](int n) {
            QList<double> fractions;
            const int count = n == 0 ? 1 : (n > 0 ? n : -n);
            for (int k = 0; k < count; ++k)
                fractions << (k + 0.5) / count;
            return fractions;
        };
        for (int a = -4; a <= 7; ++a) {
            for (int d = -3; d <= 6; ++d) {
                ChickenRecord own;
                own.KickPower = static_cast<int16_t>(a);
                ChickenRecord opponent;
                opponent.PeckPower = static_cast<int16_t>(d);
                double total = 0;
                int pairs = 0;
                for (double attackDraw : draws(a)) {
                    for (double defenceDraw : draws(d)) {
                        ScriptedRandom script(ScriptedRandom::HandedIn);
                        script.fraction(attackDraw).fraction(defenceDraw);
                        total += std::max(
                            0, int(rules::rollAttack(own, opponent, rules::Kick, script.source())));
                        ++pairs;
                    }
                }
                const double mean = total / pairs;
                const double expected = rules::expectedDamage(own, opponent, rules::Kick);
                QVERIFY2(std::abs(expected - mean) < 1e-9,
                         qPrintable(QStringLiteral("A %1, D %2: %3, rolls give %4")
                                        .arg(a)
                                        .arg(d)
                                        .arg(expected)
                                        .arg(mean)));
            }
        }
    }

    void expectedDamageWraps_data() {
        QTest::addColumn<int>("attack");  // the attacker's KickPower, KickSkill 0
        QTest::addColumn<int>("defence"); // the defender's PeckPower
        QTest::addColumn<double>("damage");
        // Beyond what can be enumerated here: means worked out by going through
        // all 2^30 pairs of rolls once.
        QTest::newRow("large differences wrap to misses") << 32767 << -32767 << 10922.8333384198;
        QTest::newRow("large negative differences wrap to hits") << -32768 << 32767 << 10922.0;
    }
    void expectedDamageWraps() {
        QFETCH(int, attack);
        QFETCH(int, defence);
        QFETCH(double, damage);
        ChickenRecord own;
        own.KickPower = static_cast<int16_t>(attack);
        ChickenRecord opponent;
        opponent.PeckPower = static_cast<int16_t>(defence);
        QVERIFY(std::abs(rules::expectedDamage(own, opponent, rules::Kick) - damage) < 1e-6);
    }

    void bestAction_data() {
        QTest::addColumn<int>("canPeck");
        QTest::addColumn<int>("canCombo");
        QTest::addColumn<int>("kickSkill");
        QTest::addColumn<int>("peckSkill");
        QTest::addColumn<int>("best");
        // Attacker KickPower 10, PeckPower 8; defender KickPower 2, PeckPower 7:
        // Kick A = 10 + skill vs 7, Peck A = skill + 8 vs 7, Combo A = 18 vs 9.
        QTest::newRow("combo strongest") << -1 << -1 << 0 << 0 << int(rules::Combo);
        QTest::newRow("combo not known") << -1 << 0 << 0 << 0 << int(rules::Kick);
        QTest::newRow("peck strongest") << -1 << -1 << 0 << 20 << int(rules::Peck);
        QTest::newRow("peck strongest but not known") << 0 << -1 << 0 << 20 << int(rules::Combo);
        QTest::newRow("kick only") << 0 << 0 << 0 << 40 << int(rules::Kick);
        QTest::newRow("tie goes to the lower number") << -1 << 0 << 6 << 8 << int(rules::Kick);
    }
    void bestAction() {
        QFETCH(int, canPeck);
        QFETCH(int, canCombo);
        QFETCH(int, kickSkill);
        QFETCH(int, peckSkill);
        QFETCH(int, best);
        ChickenRecord own;
        own.KickPower = 10;
        own.PeckPower = 8;
        own.KickSkill = static_cast<int16_t>(kickSkill);
        own.PeckSkill = static_cast<int16_t>(peckSkill);
        own.CanPeck = static_cast<int16_t>(canPeck);
        own.CanCombo = static_cast<int16_t>(canCombo);
        ChickenRecord opponent;
        opponent.KickPower = 2;
        opponent.PeckPower = 7;
        QCOMPARE(rules::bestAction(own, opponent), best);
    }

    void hitPoints_data() {
        QTest::addColumn<int>("hitPoints");
        QTest::addColumn<int>("damage");
        QTest::addColumn<int>("left");
        QTest::addColumn<bool>("defeated");
        QTest::newRow("1 hit for 1") << 1 << 1 << 0 << true;
        QTest::newRow("2 hit for 1") << 2 << 1 << 1 << false;
        QTest::newRow("overkill") << 3 << 10 << -7 << true;
        QTest::newRow("already at 0, hit") << 0 << 1 << -1 << true;
        QTest::newRow("wraps below the bottom") << -32768 << 1 << 32767 << false;
        QTest::newRow("negative damage wraps over the top") << 32767 << -1 << -32768 << true;
    }
    void hitPoints() {
        QFETCH(int, hitPoints);
        QFETCH(int, damage);
        QFETCH(int, left);
        QFETCH(bool, defeated);
        const int16_t after =
            rules::lowerHitPoints(static_cast<int16_t>(hitPoints), static_cast<int16_t>(damage));
        QCOMPARE(after, int16_t(left));
        QCOMPARE(rules::isDefeated(after), defeated);
    }

    void commentary_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected");
        const std::string rex = "Rex", bob = "Bob";
        QTest::newRow("hit 1") << q(rules::hitLine(1, rex, bob, 4))
                               << QByteArray("Rex does 4 point(s) of damage!");
        QTest::newRow("hit 2") << q(rules::hitLine(2, rex, bob, 4))
                               << QByteArray("Rex whacks Bob for 4 point(s)!");
        QTest::newRow("hit 3") << q(rules::hitLine(3, rex, bob, 4))
                               << QByteArray("Rex attacks for 4 damage!");
        QTest::newRow("miss 1") << q(rules::missLine(1, rex))
                                << QByteArray("Rex's attack has been deflected.");
        QTest::newRow("miss 2") << q(rules::missLine(2, rex)) << QByteArray("Rex does no damage.");
        QTest::newRow("miss 3") << q(rules::missLine(3, rex)) << QByteArray("Rex misses.");
        QTest::newRow("refusal") << q(rules::refusalLine(rex))
                                 << QByteArray("Rex refuses to fight.");
        QTest::newRow("win") << q(rules::winLine(rex)) << QByteArray("Rex wins the match!");
        QTest::newRow("start") << q(rules::startLine(rex, bob)) << QByteArray("Rex VS Bob");
        // The receiving side: the peer's chicken struck the own one.
        QTest::newRow("received damage 2")
            << q(rules::hitLine(2, bob, rex, 12)) << QByteArray("Bob whacks Rex for 12 point(s)!");
        QTest::newRow("received no damage 1")
            << q(rules::missLine(1, bob)) << QByteArray("Bob's attack has been deflected.");
        // Names are bytes, joined as they are; numbers are plain decimal.
        QTest::newRow("raw bytes and empty name")
            << q(rules::hitLine(2, "R\xe9x \"1\"", "", 32767))
            << QByteArray("R\xe9x \"1\" whacks  for 32767 point(s)!");
        QTest::newRow("negative number") << q(rules::hitLine(1, "", bob, -32768))
                                         << QByteArray(" does -32768 point(s) of damage!");
    }
    void commentary() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, expected);
        QCOMPARE(line, expected);
    }

    void commentaryRolls() {
        // Each pick draws Random(1, 3) once.
        for (int roll = 1; roll <= rules::CommentaryLines; ++roll) {
            ScriptedRandom script(ScriptedRandom::HandedIn);
            script.roll(1, 3, roll).roll(1, 3, roll);
            QCOMPARE(q(rules::rollHitLine("Rex", "Bob", 4, script.source())),
                     q(rules::hitLine(roll, "Rex", "Bob", 4)));
            QCOMPARE(q(rules::rollMissLine("Rex", script.source())),
                     q(rules::missLine(roll, "Rex")));
            QVERIFY(script.exhausted());
        }
    }

    void landedAttackWins() {
        // Defender at 1 hit point, hit for 1: the hit line, then the win.
        ChickenRecord own = attacker();
        ChickenRecord opponent = defender();
        opponent.HitPoints = 1;
        ScriptedRandom script(ScriptedRandom::HandedIn);
        script.roll(1, 15, 3).roll(1, 7, 2).roll(1, 3, 2);
        const int16_t lastDamage = rules::rollAttack(own, opponent, rules::Kick, script.source());
        QVERIFY(rules::isHit(lastDamage));
        opponent.HitPoints = rules::lowerHitPoints(opponent.HitPoints, lastDamage);
        QCOMPARE(q(rules::rollHitLine(own.Name, opponent.Name, lastDamage, script.source())),
                 "Rex whacks Bob for 1 point(s)!");
        QVERIFY(rules::isDefeated(opponent.HitPoints));
        QVERIFY(script.exhausted());
    }
};

QTEST_APPLESS_MAIN(TestRules)
#include "test_rules.moc"
