// Whole matches one after another between the program's screens and a scripted
// peer: the record exchange, then a fight at Speed 100 on both sides until one
// chicken falls, the program hosting and joining in turn, every screen and
// global reset between matches. Every match must end with both sides agreeing
// on both chickens' hit points and on who won, and with every message either
// side sent having arrived and been applied.
//
// QUORVEL_SOAK_MATCHES sets the number of matches (30 by default).

#include "harness.h"
#include "common/peer.h"

#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>

#include <cctype>
#include <functional>

using namespace screens;
using namespace hostile;

namespace {

constexpr int16_t StartingHitPoints = 30;

bool programMatchOver() {
    return Forms::loaded<frmFight>() && Forms::get<frmFight>().matchOver();
}

// The peer's side of the fight. It charges like a chicken of Speed 100 (a
// charge message every 10 ms), attacks at full charge, now and then sends a
// keep-alive probe, and reads the program's charge, damage, refusal and answer
// messages, keeping its own tally of both chickens' hit points.
//
// It attacks only once the program's last damage has reached it, and stops as
// soon as the program has struck its finishing blow or lost: a real peer learns
// of its defeat from the damage message, and lethal blows crossing on the wire
// end in a draw, which is not what this test measures.
class FightingPeer : public QObject {
public:
    FightingPeer(Peer& connection, quint32 seed, std::function<bool()> attackAllowed)
        : peer(connection), random(seed), mayAttack(std::move(attackAllowed)) {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, this, &FightingPeer::tick);
        connect(&peer, &Peer::arrived, this, &FightingPeer::read);
    }

    void start() { timer.start(); }
    bool over() const { return ownHitPoints < 1 || programHitPoints < 1; }

    // Tallies of the two chickens' hit points as this side has seen the fight.
    int ownHitPoints = StartingHitPoints;
    int programHitPoints = StartingHitPoints;

    int chargesSent = 0, hitsSent = 0, probesSent = 0;
    int chargesRead = 0, hitsRead = 0, refusalsRead = 0, answersRead = 0, damageRead = 0;
    // Whatever in the program's stream is no message, or a charge out of turn.
    QByteArray unexpected;

private:
    void send(const QByteArray& message) { peer.send(message); }

    void tick() {
        if (over() || programMatchOver() ||
            (Forms::loaded<frmFight>() && Forms::get<frmFight>().game().opponent().HitPoints < 1)) {
            timer.stop();
            return;
        }
        if (charge < 10) {
            ++charge;
            send("J" + QByteArray::number(charge));
            ++chargesSent;
            if (random.bounded(8) == 0) {
                send("90");
                ++probesSent;
            }
            return;
        }
        if (!mayAttack())
            return;
        if (random.bounded(3) != 0) { // a miss sends nothing
            const int damage = 1 + random.bounded(12);
            send("K" + QByteArray::number(damage));
            ++hitsSent;
            programHitPoints -= damage;
        }
        charge = 1;
    }

    void read() {
        const QByteArray& stream = peer.received();
        while (readUpTo < stream.size()) {
            const QByteArray rest = stream.mid(readUpTo);
            if (rest.startsWith("J")) {
                // The program's charges count 1 to 10 and then 2 to 10 after every
                // action or refusal.
                const qsizetype length = rest.startsWith("J10") ? 3 : 2;
                const int value = rest.mid(1, length - 1).toInt();
                if (value != lastCharge + 1 && !(lastCharge == 10 && value == 2))
                    break;
                lastCharge = value;
                ++chargesRead;
                readUpTo += length;
            } else if (rest.startsWith("K")) {
                qsizetype length = 1;
                while (length < rest.size() &&
                       (std::isdigit(static_cast<unsigned char>(rest[length])) != 0 ||
                        (length == 1 && rest[length] == '-')))
                    ++length;
                const int damage = rest.mid(1, length - 1).toInt();
                if (damage < 1)
                    break;
                ++hitsRead;
                damageRead += damage;
                ownHitPoints -= damage;
                readUpTo += length;
            } else if (rest.startsWith("10") && lastCharge == 10) {
                ++refusalsRead;
                readUpTo += 2;
            } else if (rest.startsWith("91")) {
                ++answersRead;
                readUpTo += 2;
            } else {
                break;
            }
        }
        if (readUpTo < stream.size()) {
            unexpected = stream.mid(readUpTo, 40);
            readUpTo = stream.size();
        }
    }

    Peer& peer;
    QRandomGenerator random;
    std::function<bool()> mayAttack;
    QTimer timer;
    int charge = 0;
    int lastCharge = 0;
    qsizetype readUpTo = 0;
};

struct Figures {
    int matches = 0;
    int hosted = 0;
    int won = 0;
    qint64 programSent = 0; // messages the program sent, all read by the peer
    qint64 peerSent = 0;
    qint64 lost = 0;
    qint64 worstStallMs = 0;
    int worstStallMatch = 0;
    qint64 longestMatchMs = 0;
};

} // namespace

class TestSoak : public QObject {
    Q_OBJECT

    Figures figures;
    QElapsedTimer soakClock;

    // One whole match; `number` picks the role and the peer's dice.
    void playMatch(int number) {
        resetAll();
        QElapsedTimer clock;
        clock.start();
        const int mode = number % 2 == 0 ? 1 : 2;
        ChickenRecord rex = chicken("Rex", StartingHitPoints, 100, 90);
        rex.CanPeck = rex.CanCombo = -1;
        const ChickenRecord bob = chicken("Bob", StartingHitPoints, 100, 100);
        Vars::OwnChicken = rex;

        Ticker ticker;
        Peer peer;
        Exchange exchange(peer, mode, bob);
        QVERIFY2(exchange.runThrough(exchange.fightStep()), exchange.failure());
        QCOMPARE(Forms::get<frmFight>().game().opponent(), bob);
        frmFight& fight = Forms::get<frmFight>();

        // What the program's side has sent and applied in the fight, counted
        // while this match lasts.
        QObject match;
        int chargesApplied = 0; // every charge the peer sends differs from the last
        connect(fight.bar2, &QProgressBar::valueChanged, &match, [&] { ++chargesApplied; });
        int hitsSent = 0;
        int damageSent = 0;

        FightingPeer opponent(peer, quint32(number), [&] {
            return hitsSent == opponent.hitsRead && damageSent == opponent.damageRead;
        });
        // The program's player presses a button on offer once everything the
        // peer sent has been applied.
        QRandomGenerator hand(quint32(number) ^ 0x5eedu);
        QTimer player;
        player.setInterval(2);
        connect(&player, &QTimer::timeout, &match, [&] {
            const bool settled = chargesApplied == opponent.chargesSent &&
                                 fight.game().own().HitPoints == opponent.programHitPoints &&
                                 opponent.answersRead == opponent.probesSent;
            if (fight.matchOver() || !fight.cmd[0]->isEnabled() || !settled)
                return;
            QList<QPushButton*> offered;
            for (QPushButton* button : fight.cmd)
                if (button->isEnabled())
                    offered << button;
            offered[hand.bounded(int(offered.size()))]->click();
            if (const int16_t damage = fight.game().lastDamage(); damage >= 1) {
                ++hitsSent;
                damageSent += damage;
            }
        });
        opponent.start();
        player.start();

        QVERIFY2(waitUntil([&] { return programMatchOver() && opponent.over(); }, 60000),
                 qPrintable(QStringLiteral("match %1 did not end").arg(number)));
        player.stop();
        QTest::qWait(30); // the program's last messages reach the peer

        // Counted before the checks, so that a failing match shows in the figures.
        const bool won = opponent.ownHitPoints < 1;
        const qint64 lost =
            (opponent.chargesSent - chargesApplied) + (opponent.probesSent - opponent.answersRead) +
            (hitsSent - opponent.hitsRead) + (opponent.unexpected.isEmpty() ? 0 : 1);
        const int exchanged = 9 + 1; // the nine record messages and a ready signal each way
        figures.matches += 1;
        figures.hosted += mode == 1 ? 1 : 0;
        figures.won += won ? 1 : 0;
        figures.programSent += exchanged + opponent.chargesRead + opponent.hitsRead +
                               opponent.refusalsRead + opponent.answersRead;
        figures.peerSent +=
            exchanged + opponent.chargesSent + opponent.hitsSent + opponent.probesSent;
        figures.lost += lost;
        if (ticker.worstGapMs() > figures.worstStallMs) {
            figures.worstStallMs = ticker.worstGapMs();
            figures.worstStallMatch = number + 1;
        }
        figures.longestMatchMs = std::max(figures.longestMatchMs, clock.elapsed());

        QCOMPARE(recorded().boxes, QStringList{won ? "You Win!" : "You Lose!"});
        QCOMPARE(platform::endStatus(), 0);
        QCOMPARE(int(Forms::get<frmFight>().game().own().HitPoints), opponent.programHitPoints);
        QCOMPARE(int(Forms::get<frmFight>().game().opponent().HitPoints), opponent.ownHitPoints);
        QVERIFY2(opponent.unexpected.isEmpty(),
                 opponent.unexpected.toPercentEncoding().constData());
        QCOMPARE(chargesApplied, opponent.chargesSent);
        QCOMPARE(opponent.answersRead, opponent.probesSent);
        QCOMPARE(opponent.hitsRead, hitsSent);
        QCOMPARE(opponent.damageRead, damageSent);
        QCOMPARE(lost, qint64(0));
    }

private slots:
    void initTestCase() { soakClock.start(); }
    void cleanupTestCase() {
        resetAll();
        qInfo("soak: %d matches (%d hosted, %d joined; %d won, %d lost) in %.1f s, longest "
              "%lld ms; messages: program sent %lld, peer sent %lld, lost %lld; longest stall "
              "of the event loop %lld ms (match %d)",
              figures.matches, figures.hosted, figures.matches - figures.hosted, figures.won,
              figures.matches - figures.won, double(soakClock.elapsed()) / 1000.0,
              figures.longestMatchMs, figures.programSent, figures.peerSent, figures.lost,
              figures.worstStallMs, figures.worstStallMatch);
    }

    // One row per match, so that a long soak stays within each test function's
    // time limit and every match reports on its own.
    void match_data() {
        QTest::addColumn<int>("number");
        const int matches = qEnvironmentVariableIsSet("QUORVEL_SOAK_MATCHES")
                                ? qEnvironmentVariableIntValue("QUORVEL_SOAK_MATCHES")
                                : 30;
        for (int number = 0; number < matches; ++number)
            QTest::addRow("%d, %s", number + 1, number % 2 == 0 ? "hosting" : "joining") << number;
    }
    void match() {
        QFETCH(int, number);
        playMatch(number);
    }
};

QTEST_MAIN(TestSoak)
#include "test_soak.moc"
