// Hostile peers against the real host and join screens over loopback: a peer
// that leaves at each step, strays at the host, random bytes by the megabyte, a
// huge name, a name of markup and control characters, a storm of charge
// messages, silence and a second joiner. Each case ends with the test's own
// timer having kept its time and with the outcome the program gives such a
// peer: the match goes on, or the loss is reported. Then whole fights at Speed
// 100 to their end, where every message either side sent arrives and is applied.

#include "common/Sanitized.h"
#include "common/peer.h"
#include "harness.h"

#include "screens/ConnectionScreen.h"
#include "screens/Forms.h"
#include "screens/Helpers.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"
#include "screens/frmWinsock1.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

using namespace screens;
using namespace hostile;

namespace {

constexpr qsizetype FloodBytes = 10 << 20;

QByteArray randomBytes(QRandomGenerator& random, qsizetype size) {
    QList<quint32> words(size / 4 + 1);
    random.fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.constData()), size);
}

// 10 MB of random bytes in one write, read to its end by the program.
void flood(Peer& peer, QRandomGenerator& random) {
    const QByteArray bytes = randomBytes(random, FloodBytes);
    peer.send(bytes);
    QVERIFY(waitUntilRead(peer, bytes));
}

const QByteArray MarkupName("<b>Bob</b><img src=x onerror=alert(1)>&amp;\x01\x07\x1b[31m\t"
                            "\r\n\0\x7f\xff%s%n",
                            47);

// What a stray client might send first: an HTTP request, the start of a TLS
// greeting, markup and raw bytes.
QByteArray garbage() {
    QRandomGenerator random(1425);
    return QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.1:1425\r\n\r\n") +
           QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + "<html>A</html>" +
           randomBytes(random, 4096);
}

// A timer of the test's own on the event loop that the program shares: the
// longest gap between two of its ticks is the longest time the program kept the
// loop from turning, which may be 250 ms at most (750 in a sanitized build).
struct Ticker {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    Ticker() {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            worst = std::max(worst, clock.elapsed() - last);
            last = clock.elapsed();
        });
        clock.start();
        timer.start(10);
    }
    void keptTime() const {
        const qint64 gap = std::max(worst, clock.elapsed() - last);
        qInfo("longest stall of the event loop: %lld ms", gap);
        QVERIFY2(gap <= (sanitizedBuild ? 750 : 250), qPrintable(QString::number(gap)));
    }
};

// The peer's side of a whole fight, its chicken of Speed 100 and 30 hit points:
// a charge message every 10 ms, now and then a keep-alive probe, at full charge
// a blow (a miss sends nothing) once the program's damage so far has reached it.
// It reads every message of the program's, keeping a tally of both chickens'
// hit points, and stops once either has fallen (lethal blows crossing on the
// wire end in a draw, which is not what this measures).
class FightingPeer : public QObject {
public:
    FightingPeer(Peer& connection, quint32 seed) : peer(connection), random(seed) {
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, this, &FightingPeer::tick);
        connect(&peer, &Peer::arrived, this, &FightingPeer::read);
        timer.start(10);
    }
    bool over() const { return own < 1 || program < 1; }

    int own = 30, program = 30;                   // hit points as this side has seen them
    int charges = 0, probes = 0, answersRead = 0; // sent, sent, read
    QByteArray unexpected;                        // no message, or a charge out of turn

private:
    void tick() {
        const auto& game = Forms::get<frmFight>().game();
        if (over() || game.over() || game.opponent().HitPoints < 1) {
            timer.stop();
        } else if (charge < 10) {
            peer.send("J" + QByteArray::number(++charge));
            ++charges;
            if (random.bounded(8) == 0) {
                peer.send("90");
                ++probes;
            }
        } else if (game.opponent().HitPoints == own) {
            if (random.bounded(3) != 0) {
                const int damage = 1 + random.bounded(12);
                peer.send("K" + QByteArray::number(damage));
                program -= damage;
            }
            charge = 1;
        }
    }

    // The program's charges count 1 to 10, then 2 to 10 after every action or
    // refusal; a refusal comes only at full charge.
    void read() {
        static const QRegularExpression message(QStringLiteral("J(10|[1-9])|K([1-9]\\d*)|10|91"));
        const QString stream = QString::fromLatin1(peer.received());
        while (readUpTo < stream.size()) {
            const QRegularExpressionMatch m =
                message.match(stream, readUpTo, QRegularExpression::NormalMatch,
                              QRegularExpression::AnchorAtOffsetMatchOption);
            const int value = m.captured(1).toInt(), damage = m.captured(2).toInt();
            if (!m.hasMatch() ||
                (value > 0 && value != lastCharge + 1 && !(lastCharge == 10 && value == 2)) ||
                (m.captured() == "10" && lastCharge != 10)) {
                unexpected = stream.mid(readUpTo, 40).toLatin1();
                readUpTo = stream.size();
                return;
            }
            lastCharge = value > 0 ? value : lastCharge;
            own -= damage;
            answersRead += m.captured() == "91" ? 1 : 0;
            readUpTo = m.capturedEnd();
        }
    }

    Peer& peer;
    QRandomGenerator random;
    QTimer timer;
    int charge = 0, lastCharge = 0;
    qsizetype readUpTo = 0;
};

} // namespace

class TestHostile : public QObject {
    Q_OBJECT

    const ChickenRecord bob = chicken("Bob", 25, 60, 80);

    // Another client knocks while the joiner is connected: it is refused or
    // dropped, and nothing it says reaches the program.
    static void secondJoinerIsRefused() {
        Peer second;
        if (second.connectToProgram()) {
            second.send("0ARogueB99");
            QVERIFY(second.waitForClose());
        }
    }

    // `count` messages made by `make`, each in a write of its own, with `pauseMs`
    // between them; with no pause the event loop still turns every so often, so
    // that the test's own writing does not count as the program holding it up.
    static void sendAll(Peer& peer, int count, int pauseMs,
                        const std::function<QByteArray(int)>& make) {
        QByteArray all;
        for (int i = 0; i < count; ++i) {
            const QByteArray message = make(i);
            peer.send(message);
            all += message;
            if (pauseMs > 0)
                QTest::qWait(pauseMs);
            else if (i % 256 == 255)
                QCoreApplication::processEvents();
        }
        QVERIFY(waitUntilRead(peer, all));
    }

    // A second of silence, then 10 MB of random bytes at once (joining) or a
    // second joiner (hosting): nothing of it moves the exchange on.
    static void nothingMovesOn(int mode, const std::function<void()>& disturbance) {
        const QString status = connectionScreen(mode)->txt->text();
        disturbance();
        QCOMPARE(connectionScreen(mode)->txt->text(), status);
        QVERIFY(!Forms::loaded<frmFight>());
    }

    // Until its first record a connection is only judged: going, or anything
    // else it says first, makes it a stray that the host closes while it waits on.
    static void straysAreClosed(QRandomGenerator& random) {
        Vars::GameMode = 1;
        Forms::show<frmWinsock1>();
        const struct {
            bool ready; // waits for the ready signal first
            QByteArray says;
            bool leaves;
        } strays[] = {{false, "", true},
                      {true, "", true},
                      {true, garbage(), true},
                      {true, garbage(), false},
                      {true, randomBytes(random, FloodBytes), false}};
        for (const auto& [ready, says, leaves] : strays) {
            Peer stray;
            QVERIFY(waitUntil([&] { return stray.connectToProgram(); }));
            QVERIFY(!ready || stray.waitForBytes(1));
            if (!says.isEmpty())
                stray.send(says);
            if (leaves)
                stray.close();
            else
                QVERIFY(stray.waitForClose());
        }
        QCOMPARE(connectionScreen(1)->txt->text(), QStringLiteral("Waiting for connection . . ."));
    }

private slots:
    void init() {
        resetAll();
        Vars::OwnChicken = chicken("Rex", 30, 90, 100);
    }
    void cleanupTestCase() { resetAll(); }

    // The peer leaves at a step of the exchange or in the fight: the loss is
    // reported in time, in every state the program passes through.
    void peerLeaves_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("after");
        for (const char* step : {"sent A", "sent I", "sent 0", "got record", "fight"})
            QTest::addRow("host: after %s", step) << 1 << QByteArray(step);
        for (const char* step : {"accepted", "sent 0", "got record", "sent I", "fight"})
            QTest::addRow("join: after %s", step) << 2 << QByteArray(step);
    }
    void peerLeaves() {
        QFETCH(int, mode);
        QFETCH(QByteArray, after);
        Ticker ticker;
        Peer peer;
        Exchange exchange(peer, mode, bob);
        QVERIFY2(exchange.runThrough(after), exchange.failure());
        peer.close();
        reportsPeerGone(mode, after == "fight");
        ticker.keptTime();
    }

    // Hosting: strays first, then the joiner says nothing for a while, a second
    // joiner knocks in the exchange, its name is 1 MB long, and in the fight a
    // second joiner knocks, 10,000 charges come and 10 MB at once. Joining:
    // silence and 10 MB at once before the host's ready signal, a name of markup,
    // and in the fight 10,000 charges and 10 MB in a thousand writes.
    void hostilePeer_data() {
        QTest::addColumn<int>("mode");
        QTest::addRow("host") << 1;
        QTest::addRow("join") << 2;
    }
    void hostilePeer() {
        QFETCH(int, mode);
        Ticker ticker;
        QRandomGenerator random{quint32(mode)};
        if (mode == 1)
            straysAreClosed(random);
        Peer peer;
        Exchange exchange(peer, mode, bob);
        ChickenRecord opponent = bob; // what the program should end up holding
        QByteArray hugeName(1 << 20, Qt::Uninitialized);
        for (char& letter : hugeName) // never a tag, never a number
            letter = static_cast<char>('a' + random.bounded(26));
        exchange.replaceRecord('A', "A" + (mode == 1 ? hugeName : MarkupName));
        QVERIFY2(exchange.runThrough(mode == 1 ? "got 0" : "accepted"), exchange.failure());
        nothingMovesOn(mode, [] { QTest::qWait(1000); });
        if (mode == 2) {
            nothingMovesOn(mode, [&] { flood(peer, random); });
        } else {
            QVERIFY2(exchange.runThrough("sent E"), exchange.failure());
            nothingMovesOn(mode, secondJoinerIsRefused);
        }
        QVERIFY2(exchange.runThrough("fight"), exchange.failure());
        if (QTest::currentTestFailed())
            return;

        frmFight& fight = Forms::get<frmFight>();
        const std::string& name = fight.game().opponent().Name;
        if (mode == 1) {
            // Read in slices of 64 KB at most: the first one is the name, the rest is ignored.
            QVERIFY(!name.empty() && qsizetype(name.size()) < 64 * 1024);
            QVERIFY(hugeName.startsWith(QByteArray::fromStdString(name)));
            QVERIFY(fight.Label1[5]->text().startsWith("Name: " + hugeName.left(100)));
            opponent.Name = name;
            secondJoinerIsRefused();
        } else {
            opponent.Name = MarkupName.toStdString();
            QCOMPARE(fight.Label1[5]->text(), "Name: " + Vars::displayText(opponent.Name));
            QCOMPARE(fight.Label1[5]->textFormat(), Qt::PlainText);
        }
        sendAll(peer, 10000, 0, [](int i) { return "J" + QByteArray::number(i % 11); });
        peer.send("J7");
        QTRY_COMPARE(fight.bar2->value(), 7);
        QCOMPARE(fight.game().opponent(), opponent);

        if (mode == 1) // bytes from here on may rename it
            flood(peer, random);
        else
            sendAll(peer, 1000, 1,
                    [&](int) { return randomBytes(random, 1 + random.bounded(20971)); });
        // The match goes on: the peer's damage still lands and its probe is answered.
        const auto hitPoints = fight.game().own().HitPoints;
        peer.send("K2");
        QTRY_COMPARE(fight.game().own().HitPoints, int16_t(hitPoints - 2));
        QCOMPARE(fight.Label1[0]->text(), "HP:   " + QString::number(hitPoints - 2));
        peer.forget();
        peer.send("90");
        QTRY_VERIFY(peer.received().contains("91"));
        QVERIFY(recorded().boxes.isEmpty() && !platform::programEnded());
        ticker.keptTime();
    }

    // Whole matches at Speed 100 on both sides until one chicken falls, hosting
    // and joining in turn, the program's player pressing a button on offer once
    // everything the peer sent has been applied. Both sides agree on both
    // chickens' hit points and on who won; every message arrived and was applied.
    // QUORVEL_SOAK_MATCHES=30 plays a long run of them.
    void wholeFight_data() {
        QTest::addColumn<int>("number");
        const int matches = qEnvironmentVariableIntValue("QUORVEL_SOAK_MATCHES");
        for (int number = 0; number < std::max(matches, 2); ++number)
            QTest::addRow("%d, %s", number + 1, number % 2 == 0 ? "hosting" : "joining") << number;
    }
    void wholeFight() {
        QFETCH(int, number);
        Vars::OwnChicken = fixture::chicken("Rex", {12, 8, 100, 90, 30, 4, 5, 6, 0, -1, -1});
        Peer peer;
        Exchange exchange(peer, number % 2 == 0 ? 1 : 2, chicken("Bob", 30, 100, 100));
        QVERIFY2(exchange.runThrough("fight"), exchange.failure());
        frmFight& fight = Forms::get<frmFight>();

        QObject match;          // what the program's side has sent and applied
        int chargesApplied = 0; // every charge the peer sends differs from the last
        connect(fight.bar2, &QProgressBar::valueChanged, &match, [&] { ++chargesApplied; });
        FightingPeer opponent(peer, quint32(number));
        QRandomGenerator hand(quint32(number) ^ 0x5eedu);
        QTimer player;
        connect(&player, &QTimer::timeout, &match, [&] {
            const bool settled = chargesApplied == opponent.charges &&
                                 fight.game().own().HitPoints == opponent.program &&
                                 opponent.answersRead == opponent.probes;
            QPushButton* button = fight.cmd[hand.bounded(3)]; // kick, peck or combo
            if (!fight.matchOver() && button->isEnabled() && settled)
                button->click();
        });
        player.start(2);
        QVERIFY2(waitUntil([&] { return fight.matchOver() && opponent.over(); }, 60000),
                 "the match did not end");
        player.stop();
        QTest::qWait(30); // the program's last messages reach the peer

        QCOMPARE(recorded().boxes, QStringList{opponent.own < 1 ? "You Win!" : "You Lose!"});
        QCOMPARE(platform::endStatus(), 0);
        QCOMPARE(int(fight.game().own().HitPoints), opponent.program);
        QCOMPARE(int(fight.game().opponent().HitPoints), opponent.own);
        QVERIFY2(opponent.unexpected.isEmpty(),
                 opponent.unexpected.toPercentEncoding().constData());
        QCOMPARE(chargesApplied, opponent.charges);
        QCOMPARE(opponent.answersRead, opponent.probes);
    }
};

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
