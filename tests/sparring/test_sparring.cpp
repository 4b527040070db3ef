// The practice opponent: whole matches against the real host and join screens
// and the fight screen in this process, the exchange and the fight against a
// scripted peer (byte for byte and with the screens' pacing), a peer that goes
// away, and the program's command line.

#include "common/peer.h"

#include "core/ChickenFile.h"
#include "core/Rules.h"
#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"
#include "screens/frmWinSock2.h"
#include "screens/frmWinsock1.h"
#include "sparring/Sparring.h"

#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace screens;

namespace {

QByteArray chargeMessages(int from, int to) {
    QByteArray bytes;
    for (int charge = from; charge <= to; ++charge)
        bytes += "J" + QByteArray::number(charge);
    return bytes;
}

// A chicken that can never land a blow: Kick and Peck attack with 1 against a
// defence of at least 1, and it knows no Combo.
ChickenRecord harmless(const char* name, int16_t hitPoints) {
    ChickenRecord c = chicken(name, hitPoints);
    c.KickPower = c.KickSkill = c.PeckPower = c.PeckSkill = 0;
    c.CanPeck = -1;
    return c;
}

// A chicken that lands blows often against a defence of 1.
ChickenRecord strong(const char* name, int16_t hitPoints) {
    ChickenRecord c = chicken(name, hitPoints);
    c.KickPower = 30;
    c.KickSkill = 10;
    c.PeckPower = 1; // what the other side's Kick and Peck are met by
    c.CanPeck = c.CanCombo = -1;
    return c;
}

} // namespace

class TestSparring : public QObject {
    Q_OBJECT

    // The scripted peer's chicken, and the practice opponent's in the scripted
    // tests: slow enough that its charge messages can be counted.
    const ChickenRecord bob = chicken("Bob", 25, 60, 80);
    const ChickenRecord rex = chicken("Rex", 30, 50, 100);

    // The sparring side of a scripted test, with its commentary and its end.
    struct Opponent {
        Sparring sparring;
        QList<QByteArray> lines;
        QSignalSpy finished{&sparring, &Sparring::finished};
        explicit Opponent(const ChickenRecord& c) : sparring(c, Vars::randomSource()) {
            sparring.lingerMs = 100;
            QObject::connect(&sparring, &Sparring::commentary,
                             [this](const QByteArray& l) { lines << l; });
        }
        int exitStatus() const {
            return finished.isEmpty() ? -1 : finished.first().first().toInt();
        }
    };

    // The scripted peer joins the sparring host and both records are exchanged;
    // returns with the peer's stream forgotten, just before the fight.
    static bool exchangeAsJoiner(Peer& peer, Opponent& opponent, const ChickenRecord& peerChicken) {
        if (!opponent.sparring.host() || !peer.connectToProgram() || !peer.waitForBytes(1) ||
            peer.received() != "0")
            return false;
        peer.sendEach(recordMessages(peerChicken));
        peer.send("0");
        const QByteArray records = joined(recordMessages(opponent.sparring.own()));
        if (!peer.waitForBytes(1 + records.size()) || peer.received() != "0" + records)
            return false;
        peer.forget();
        return true;
    }

private slots:
    void init() { resetAll(); }
    void cleanupTestCase() { resetAll(); }

    // The game, driven like a player who presses the first button on offer, plays
    // a whole match against the practice opponent, in either role and to either end.
    void wholeMatchAgainstTheScreens_data() {
        QTest::addColumn<int>("gameMode");
        QTest::addColumn<bool>("gameWins");
        for (int mode : {1, 2}) {
            for (bool gameWins : {true, false})
                QTest::addRow("game %s, %s", mode == 1 ? "hosts" : "joins",
                              gameWins ? "game wins" : "sparring wins")
                    << mode << gameWins;
        }
    }
    void wholeMatchAgainstTheScreens() {
        QFETCH(int, gameMode);
        QFETCH(bool, gameWins);
        const ChickenRecord player = gameWins ? strong("Henrietta", 40) : harmless("Henrietta", 40);
        ChickenRecord sparringChicken = gameWins ? harmless("Sparky", 30) : strong("Sparky", 30);
        sparringChicken.Obedience = 70; // refuses now and then
        Vars::OwnChicken = player;

        Opponent opponent(sparringChicken);
        if (gameMode == 1) {
            Vars::GameMode = 1;
            Forms::show<frmWinsock1>();
            opponent.sparring.join(QStringLiteral("127.0.0.1"));
        } else {
            QVERIFY(opponent.sparring.host());
            Vars::GameMode = 2;
            Vars::HostAddress = "127.0.0.1";
            Forms::show<frmWinSock2>();
        }

        QTimer presser;
        QObject::connect(&presser, &QTimer::timeout, [] {
            if (!Forms::loaded<frmFight>() || platform::programEnded())
                return;
            for (QPushButton* button : Forms::get<frmFight>().cmd) {
                if (button->isEnabled()) {
                    button->click();
                    return;
                }
            }
        });
        presser.start(20);
        QTRY_VERIFY_WITH_TIMEOUT(platform::programEnded(), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(opponent.finished.size(), 1, 5000);
        presser.stop();

        QCOMPARE(recorded().boxes, QStringList{gameWins ? "You Win!" : "You Lose!"});
        QCOMPARE(platform::endStatus(), 0);
        QCOMPARE(opponent.exitStatus(), 0);
        // Each side received the other's record whole, and both agree on the
        // hit points of both chickens.
        ChickenRecord seenBySparring = player;
        seenBySparring.CanPeck = seenBySparring.CanCombo = 0; // never sent
        seenBySparring.HitPoints = Forms::get<frmFight>().game().own().HitPoints;
        QCOMPARE(opponent.sparring.opponent(), seenBySparring);
        ChickenRecord seenByGame = sparringChicken;
        seenByGame.CanPeck = seenByGame.CanCombo = 0;
        seenByGame.HitPoints = opponent.sparring.own().HitPoints;
        QCOMPARE(Forms::get<frmFight>().game().opponent(), seenByGame);
        QVERIFY(rules::isDefeated(gameWins ? opponent.sparring.own().HitPoints
                                           : Forms::get<frmFight>().game().own().HitPoints));

        QVERIFY(opponent.lines.size() >= 3);
        QCOMPARE(opponent.lines.first(), "Sparky VS Henrietta");
        QCOMPARE(opponent.lines.last(),
                 gameWins ? "Henrietta wins the match!" : "Sparky wins the match!");
        // Only the winner ever hits, so every hit line names it as the attacker.
        const QByteArray winner = gameWins ? "Henrietta" : "Sparky";
        for (const QByteArray& l : opponent.lines.mid(1, opponent.lines.size() - 2)) {
            if (l.contains("point(s)") || l.contains("attacks for"))
                QVERIFY2(l.startsWith(winner), l.constData());
        }
    }

    // As host: the ready signal first, the record one message per 200 ms after the
    // joiner's ready signal, the first charge one second after step 9, and a
    // keep-alive answer: what the host screen sends.
    void hostsAsTheHostScreenDoes() {
        Peer peer;
        Opponent opponent(rex);
        QVERIFY(opponent.sparring.host());
        QVERIFY(peer.connectToProgram());
        QVERIFY(peer.waitForBytes(1));
        QCOMPARE(peer.received(), "0");
        peer.forget();

        peer.sendEach(recordMessages(bob));
        QTest::qWait(300);
        QVERIFY(peer.received().isEmpty()); // nothing until the turn is handed over
        QCOMPARE(opponent.sparring.opponent(), bob);

        const qint64 readyAt = peer.nowMs();
        peer.send("0");
        const QList<QByteArray> records = recordMessages(rex);
        QVERIFY(peer.waitForBytes(joined(records).size()));
        QCOMPARE(peer.received(), joined(records));
        QByteArray what;
        QVERIFY2(within({peer.arrivalMs(0) - readyAt}, 150, 450, what), what);
        QVERIFY2(within(gaps(peer, records), 120, 400, what), what);

        // Step 9 is 200 ms after "I", the fight 1000 ms later, the first charge
        // one interval (510 ms at Speed 50) after that.
        const qsizetype end = joined(records).size();
        QVERIFY(peer.waitForBytes(end + 2, 4000));
        QCOMPARE(peer.received().mid(end), "J1");
        QVERIFY2(within({peer.arrivalMs(end) - peer.arrivalMs(end - 1)}, 1600, 2100, what), what);
        QCOMPARE(opponent.lines, QList<QByteArray>{"Rex VS Bob"});

        peer.send("90");
        QTRY_VERIFY(peer.received().contains("91"));
        QVERIFY(opponent.finished.isEmpty());
    }

    // As joiner: nothing until the host's ready signal, then the record and the
    // ready signal, and the fight one second after the host's last record.
    void joinsAsTheJoinScreenDoes() {
        Peer peer;
        Opponent opponent(rex);
        QVERIFY(peer.listen());
        opponent.sparring.join(QStringLiteral("127.0.0.1"));
        QVERIFY(peer.waitForProgram());
        QTest::qWait(300);
        QVERIFY(peer.received().isEmpty());

        peer.send("0");
        const QList<QByteArray> sent = recordMessages(rex) << "0";
        QVERIFY(peer.waitForBytes(joined(sent).size()));
        QCOMPARE(peer.received(), joined(sent));
        QByteArray what;
        QVERIFY2(within(gaps(peer, sent), 120, 400, what), what);

        peer.sendEach(recordMessages(bob));
        const qint64 lastRecordAt = peer.nowMs();
        const qsizetype end = joined(sent).size();
        QVERIFY(peer.waitForBytes(end + 2, 4000));
        QCOMPARE(peer.received().mid(end), "J1");
        QVERIFY2(within({peer.arrivalMs(end) - lastRecordAt}, 1400, 1900, what), what);
        QCOMPARE(opponent.sparring.opponent(), bob);
    }

    // What the peer's fight messages do to the practice opponent, sent after its
    // third charge message.
    void peersFightMessages_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("hitPoints");
        QTest::addColumn<QByteArray>("lastLine");   // with Random(1, 3) scripted to 2
        QTest::addColumn<QByteArray>("nextCharge"); // -: the match is over
        QTest::newRow("damage") << QByteArray("K12") << 18
                                << QByteArray("Bob whacks Rex for 12 point(s)!")
                                << QByteArray("J4");
        QTest::newRow("no damage restarts the charge")
            << QByteArray("K0") << 30 << QByteArray("Bob does no damage.") << QByteArray("J2");
        QTest::newRow("negative damage too")
            << QByteArray("K-4") << 30 << QByteArray("Bob does no damage.") << QByteArray("J2");
        QTest::newRow("refusal") << QByteArray("10") << 30 << QByteArray("Bob refuses to fight.")
                                 << QByteArray("J4");
        QTest::newRow("payload not a number")
            << QByteArray("Kx") << 30 << QByteArray("Rex VS Bob") << QByteArray("J4");
        QTest::newRow("damage to exactly 0 loses")
            << QByteArray("K30") << 0 << QByteArray("Bob wins the match!") << QByteArray("-");
    }
    void peersFightMessages() {
        QFETCH(QByteArray, message);
        QFETCH(int, hitPoints);
        QFETCH(QByteArray, lastLine);
        QFETCH(QByteArray, nextCharge);
        Peer peer;
        Opponent opponent(rex); // Speed 50: a charge every 510 ms
        QVERIFY(exchangeAsJoiner(peer, opponent, bob));
        QVERIFY(peer.waitForBytes(6, 4000));
        QCOMPARE(peer.received(), chargeMessages(1, 3));

        Vars::setRandomSource([] { return 0.5; }); // every Random(1, 3) gives 2
        peer.send(message);
        QTRY_COMPARE(opponent.lines.last(), lastLine);
        QCOMPARE(opponent.sparring.own().HitPoints, int16_t(hitPoints));
        if (nextCharge == "-") {
            QTRY_COMPARE(opponent.exitStatus(), 0);
            QTest::qWait(600);
            QCOMPARE(peer.received(), chargeMessages(1, 3)); // the charge has stopped
            return;
        }
        QVERIFY(peer.waitForBytes(8, 2000));
        QCOMPARE(peer.received().mid(6), nextCharge);
        QVERIFY(opponent.finished.isEmpty());
    }

    // Each blow follows its "J10" a person's reaction time later (150 to 400 ms),
    // so a peer never reads the two joined as one arrival.
    void blowsComeAReactionTimeAfterTheFullCharge() {
        Peer peer;
        Opponent opponent(strong("Sparky", 30));
        QVERIFY(exchangeAsJoiner(peer, opponent, harmless("Bob", 200)));
        QVERIFY(waitUntil([&] { return peer.received().count('K') >= 3; }, 10000));
        const QByteArray stream = peer.received();
        for (qsizetype blow = stream.indexOf('K'); blow >= 0;
             blow = stream.indexOf('K', blow + 1)) {
            QCOMPARE(stream.mid(blow - 3, 3), "J10");
            QByteArray what;
            QVERIFY2(within({peer.arrivalMs(blow) - peer.arrivalMs(blow - 1)}, 145, 450, what),
                     what);
        }
    }

    void peerLeavingEndsWithStatusOne_data() {
        QTest::addColumn<bool>("inTheFight");
        QTest::newRow("during the exchange") << false;
        QTest::newRow("during the fight") << true;
    }
    void peerLeavingEndsWithStatusOne() {
        QFETCH(bool, inTheFight);
        Peer peer;
        Opponent opponent(rex);
        if (inTheFight) {
            QVERIFY(exchangeAsJoiner(peer, opponent, bob));
            QVERIFY(peer.waitForBytes(2, 4000));
        } else {
            QVERIFY(opponent.sparring.host());
            QVERIFY(peer.connectToProgram());
            QVERIFY(peer.waitForBytes(1));
            peer.sendEach(recordMessages(bob).mid(0, 2));
        }
        peer.close();
        QTRY_COMPARE(opponent.exitStatus(), 1);
    }

    // A connection that ends before it has sent its name was no joiner: the
    // opponent goes on hosting, and the next joiner is greeted.
    void strayConnectionDoesNotEndHosting() {
        Opponent opponent(rex);
        QVERIFY(opponent.sparring.host());
        {
            Peer stray;
            QVERIFY(stray.connectToProgram());
            QVERIFY(stray.waitForBytes(1));
        }
        Peer joiner;
        QVERIFY(waitUntil([&] { return joiner.connectToProgram(); }));
        QVERIFY(joiner.waitForBytes(1));
        QCOMPARE(joiner.received(), QByteArray("0"));
        QVERIFY(opponent.finished.isEmpty());
    }

    // After a match played to its end the joiner connects again to the address
    // and port it was given (the host listening again is seen by the practice
    // test); with --once it ends instead.
    void joinsAgainAfterAMatch_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("again") << QStringList{"--join", "127.0.0.1:1426"};
        QTest::newRow("once") << QStringList{"--join", "127.0.0.1:1426", "--once"};
    }
    void joinsAgainAfterAMatch() {
        QFETCH(QStringList, arguments);
        QProcess program;
        program.start(QUORVEL_SPARRING, arguments);
        {
            // A short match: both records, the first charge, a finishing blow.
            Peer peer;
            QVERIFY(peer.listen(1426) && peer.waitForProgram());
            peer.send("0");
            QVERIFY(
                peer.waitForBytes(joined(recordMessages(Sparring::sampleChicken())).size() + 1));
            peer.sendEach(recordMessages(bob));
            QVERIFY(waitUntil([&] { return peer.received().contains("J1"); }, 10000));
            peer.send("K30000");
            QVERIFY(peer.waitForClose());
        }
        Peer next;
        if (arguments.contains("--once")) {
            QVERIFY(program.waitForFinished(5000));
            QCOMPARE(program.exitCode(), 0);
        } else {
            QVERIFY(next.listen(1426) && next.waitForProgram());
        }
        program.kill();
        program.waitForFinished();
    }

    void sampleChickenIsBruno() {
        const auto bruno = chickenfile::load(QUORVEL_ASSETS "/chickens/bruno.dat");
        QVERIFY(bruno);
        QCOMPARE(Sparring::sampleChicken(), *bruno);
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<QByteArray>("says");
        QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray("--join <address>");
        QTest::newRow("no role") << QStringList{} << 2 << QByteArray("--host or --join");
        QTest::newRow("both roles")
            << QStringList{"--host", "--join", "127.0.0.1"} << 2 << QByteArray("--host or --join");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QByteArray("bogus");
        QTest::newRow("missing chicken file")
            << QStringList{"--host", "--chicken", "/nonexistent/chicken.dat"} << 1
            << QByteArray("/nonexistent/chicken.dat");
        QTest::newRow("endless device")
            << QStringList{"--host", "--chicken", "/dev/zero"} << 1 << QByteArray("/dev/zero");
        QTest::newRow("not a chicken file")
            << QStringList{"--host", "--chicken", QUORVEL_ASSETS "/chickens/README.md"} << 1
            << QByteArray("not a chicken data file");
        QTest::newRow("cheating chicken") << QStringList{"--join", "127.0.0.1", "--chicken",
                                                         QUORVEL_ASSETS "/chickens/cheater.dat"}
                                          << 1 << QByteArray("Cheater!");
        QTest::newRow("nobody hosting")
            << QStringList{"--join", "127.0.0.1"} << 1 << QByteArray("Could not connect");
        QTest::newRow("no such address")
            << QStringList{"--join", "11.0.1.2:70000"} << 2 << QByteArray("1 to 65535");
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitStatus);
        QFETCH(QByteArray, says);
        QProcess program;
        program.start(QUORVEL_SPARRING, arguments);
        QVERIFY(program.waitForFinished(15000));
        const QByteArray output = program.readAllStandardOutput() + program.readAllStandardError();
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitStatus);
        QVERIFY2(output.contains(says), output.constData());
    }
};

QTEST_MAIN(TestSparring)
#include "test_sparring.moc"
