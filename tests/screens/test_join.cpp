// The joiner's connection screen against a scripted host on the loopback port:
// the whole exchange byte for byte and its pacing, the host's last record
// starting the wait, and what the player sees when no connection can be made or
// the host goes away.

#include "common/peer.h"

#include "net/Winsock.h"
#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"
#include "screens/frmTitle.h"
#include "screens/frmWinSock2.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>

using namespace screens;

class TestJoin : public QObject {
    Q_OBJECT

    const ChickenRecord rex = chicken("Rex", 30, 50, 70);
    const ChickenRecord bob = chicken("Bob", 25, 60, 80);

    static frmWinSock2& join() { return Forms::get<frmWinSock2>(); }
    static QString status() { return join().txt->text(); }

private slots:
    void init() {
        resetAll();
        Vars::OwnChicken = rex;
    }
    void cleanupTestCase() { resetAll(); }

    void wholeExchange() {
        Peer peer;
        QVERIFY(joinMatch(peer));
        QCOMPARE(join().windowTitle(), "Multiplayer - Client");
        QCOMPARE(join().Winsock2->objectName(), "Winsock2");
        QCOMPARE(status(), "Attempting to Connect . . .");
        QTest::qWait(300);
        QVERIFY(peer.received().isEmpty()); // the joiner waits for the host's ready signal

        const qint64 readyAt = peer.nowMs();
        peer.send("0");
        QTRY_COMPARE(status(), "Connection Established - Transfering data . . .");
        const QList<QByteArray> sent = recordMessages(rex) << "0";
        QVERIFY(peer.waitForBytes(joined(sent).size()));
        QCOMPARE(peer.received(), joined(sent));
        QByteArray what;
        QVERIFY2(within({peer.arrivalMs(0) - readyAt}, 150, 450, what), what);
        // The ready signal follows the last record message by one tick as well.
        QVERIFY2(within(gaps(peer, sent), 120, 400, what), what);
        QTRY_COMPARE(status(), "Connection Established - Recieving Data . . .");
        QVERIFY(!join().tmrTransfer->isActive());

        peer.sendEach(recordMessages(bob));
        const qint64 lastRecordAt = peer.nowMs();
        QTRY_COMPARE(status(), "Transfer Completed - Starting Game . . .");
        QCOMPARE(join().game().opponent(), bob);
        QTRY_VERIFY_WITH_TIMEOUT(Forms::loaded<frmFight>() && Forms::get<frmFight>().isVisible(),
                                 3000);
        QVERIFY2(within({peer.nowMs() - lastRecordAt}, 950, 1500, what), what);
        QVERIFY(join().isHidden());
        QCOMPARE(peer.received(),
                 joined(sent)); // nothing else before the fight's charges
    }

    void hostsLastRecordStartsTheWait_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("starts");
        QTest::newRow("I7") << QByteArray("I7") << true;
        QTest::newRow("I-3") << QByteArray("I-3") << true;
        QTest::newRow("payload not a number") << QByteArray("Ix") << false;
        QTest::newRow("no payload") << QByteArray("I") << false;
        QTest::newRow("out of range") << QByteArray("I99999") << false;
    }
    void hostsLastRecordStartsTheWait() {
        QFETCH(QByteArray, message);
        QFETCH(bool, starts);
        Peer peer;
        QVERIFY(joinMatch(peer));
        peer.sendEach({message, "90"}); // answered once the message before it is handled
        QVERIFY(peer.waitForBytes(2));
        QCOMPARE(join().tmrWait->isActive(), starts);
        QCOMPARE(status() == "Transfer Completed - Starting Game . . .", starts);
        QCOMPARE(join().game().opponent().PeckSkill, int16_t(starts ? message.mid(1).toInt() : 0));
    }

    void reportsConnectionThatCannotBeMade_data() {
        QTest::addColumn<QByteArray>("address");
        QTest::newRow("refused") << QByteArray("127.0.0.1");
        QTest::newRow("unknown host") << QByteArray("no-such-host.invalid");
        QTest::newRow("not an address") << QByteArray("999.999.999.999");
    }
    void reportsConnectionThatCannotBeMade() {
        QFETCH(QByteArray, address);
        Vars::GameMode = 2;
        Vars::HostAddress = address.toStdString();
        Forms::show<frmWinSock2>();
        QTRY_VERIFY_WITH_TIMEOUT(status().startsWith("Could not connect: "), 12000);
        QVERIFY(join().tmrFlash->isActive());
        QVERIFY(recorded().boxes.isEmpty());
        join().close();
        QVERIFY(Forms::loaded<frmTitle>() && Forms::get<frmTitle>().isVisible());
    }

    void reportsHostLeavingBeforeTheFight_data() {
        QTest::addColumn<bool>("afterReady");
        QTest::newRow("connected on the port given") << false;
        QTest::newRow("sending the own record") << true;
    }
    void reportsHostLeavingBeforeTheFight() {
        QFETCH(bool, afterReady);
        Peer peer;
        if (afterReady) {
            QVERIFY(joinMatch(peer));
            peer.send("0");
            QVERIFY(peer.waitForBytes(1));
        } else {
            QVERIFY(peer.listen(1426));
            Vars::GameMode = 2;
            Vars::HostAddress = "127.0.0.1:1426";
            Forms::show<frmWinSock2>();
            QVERIFY(peer.waitForProgram());
            QCOMPARE(join().Winsock2->RemotePort, 1426);
        }
        peer.close();
        QTRY_VERIFY2(status().startsWith("Connection lost: "), qPrintable(status()));
        QVERIFY(!join().tmrTransfer->isActive());
        QVERIFY(recorded().boxes.isEmpty() && !platform::programEnded());
    }
};

QTEST_MAIN(TestJoin)
#include "test_join.moc"
