// The practice opponent: whole matches against the real host and join screens
// in this process, its own player against a scripted peer (its charge, its
// blows a reaction time after the full charge, its end), a peer that goes
// away, its retrying for the next match, and the program's command line.

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

class TestSparring : public QObject {
    Q_OBJECT

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
        QTest::newRow("game hosts, game wins") << 1 << true;
        QTest::newRow("game joins, sparring wins") << 2 << false;
    }
    void wholeMatchAgainstTheScreens() {
        QFETCH(int, gameMode);
        QFETCH(bool, gameWins);
        // The strong lands blows often against a defence (its peck power) of 1; the
        // harmless never lands one: attacks of 1 against at least 1, no Combo.
        // Sparky's obedience of 70 refuses now and then.
        const ChickenRecord strong =
            fixture::chicken("Henrietta", {30, 1, 100, 100, 40, 4, 10, 6, 0, -1, -1});
        const ChickenRecord harmless =
            fixture::chicken("Sparky", {0, 0, 100, 70, 30, 4, 0, 0, 0, -1});
        const ChickenRecord player =
            gameWins ? strong : fixture::chicken("Henrietta", {0, 0, 100, 100, 40, 4, 0, 0, 0, -1});
        const ChickenRecord sparringChicken =
            gameWins ? harmless
                     : fixture::chicken("Sparky", {30, 1, 100, 70, 30, 4, 10, 6, 0, -1, -1});
        Vars::OwnChicken = player;

        Opponent opponent(sparringChicken);
        Vars::GameMode = static_cast<uint8_t>(gameMode);
        if (gameMode == 1) {
            Forms::show<frmWinsock1>();
            opponent.sparring.join(QStringLiteral("127.0.0.1"));
        } else {
            QVERIFY(opponent.sparring.host());
            Vars::HostAddress = "127.0.0.1";
            Forms::show<frmWinSock2>();
        }
        QTimer presser;
        QObject::connect(&presser, &QTimer::timeout, [] {
            if (!Forms::loaded<frmFight>() || platform::programEnded())
                return;
            for (QPushButton* button : Forms::get<frmFight>().cmd) {
                if (button->isEnabled())
                    return button->click();
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

    // Its own player: the charge at its chicken's pace (110 ms at Speed 90),
    // each blow a person's reaction time after the full charge (so a peer never
    // reads the two joined as one arrival), nothing pressed once a blow of no
    // damage has withdrawn the offer, and at its chicken's fall the end with
    // status 0, the charge stopped.
    void playsItsOwnSide() {
        Peer peer;
        Opponent opponent(fixture::chicken("Sparky", {30, 1, 90, 100, 30, 4, 10, 6, 0, -1, -1}));
        QVERIFY(exchangeAsJoiner(peer, opponent,
                                 fixture::chicken("Bob", {0, 0, 100, 100, 30000, 4, 0, 0, 0, -1})));
        QByteArray what;
        QVERIFY(peer.waitForBytes(6, 4000));
        QCOMPARE(peer.received(), "J1J2J3");
        QVERIFY2(within(gaps(peer, {"J1", "J2", "J3"}), 80, 300, what), what);
        QVERIFY(waitUntil([&] { return peer.received().count('K') >= 2; }, 10000));
        const QByteArray stream = peer.received();
        for (qsizetype blow = stream.indexOf('K'); blow >= 0;
             blow = stream.indexOf('K', blow + 1)) {
            QCOMPARE(stream.mid(blow - 3, 3), "J10");
            QVERIFY2(within({peer.arrivalMs(blow) - peer.arrivalMs(blow - 1)}, 145, 450, what),
                     what);
        }
        QVERIFY(waitUntil([&] { return peer.received().endsWith("J10"); }, 5000));
        peer.send("K0");
        QVERIFY(peer.waitForBytes(peer.received().size() + 2, 2000));
        QVERIFY2(peer.received().endsWith("J10J2"), peer.received().right(20).constData());

        peer.send("K30");
        QTRY_COMPARE(opponent.exitStatus(), 0);
        QCOMPARE(opponent.lines.last(), "Bob wins the match!");
        const QByteArray end = peer.received();
        QTest::qWait(300);
        QCOMPARE(peer.received(), end); // the charge has stopped
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
        {
            // A short match: both records, the first charge, a finishing blow.
            // The peer listens first: the program's first join is not retried.
            Peer peer;
            QVERIFY(peer.listen(1426));
            program.start(QUORVEL_SPARRING, arguments);
            QVERIFY(peer.waitForProgram());
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
        const struct {
            const char* arguments; // @ stands for the flock's folder
            int exitStatus;
            const char* says;
        } rows[] = {{"--help", 0, "--join <address>"},
                    {"", 2, "--host or --join"},
                    {"--host --join 127.0.0.1", 2, "--host or --join"},
                    {"--bogus", 2, "bogus"},
                    {"--host --chicken /nonexistent/chicken.dat", 1, "/nonexistent/chicken.dat"},
                    {"--host --chicken /dev/zero", 1, "/dev/zero"},
                    {"--host --chicken @README.md", 1, "not a chicken data file"},
                    {"--join 127.0.0.1 --chicken @cheater.dat", 1, "Cheater!"},
                    {"--join 127.0.0.1", 1, "Could not connect"},
                    {"--join 11.0.1.2:70000", 2, "1 to 65535"}};
        for (const auto& row : rows)
            QTest::addRow("%s", *row.arguments != 0 ? row.arguments : "(nothing)")
                << QString::fromLatin1(row.arguments)
                       .replace('@', QStringLiteral(QUORVEL_ASSETS "/chickens/"))
                       .split(' ', Qt::SkipEmptyParts)
                << row.exitStatus << QByteArray(row.says);
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
