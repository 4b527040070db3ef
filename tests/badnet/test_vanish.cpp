// A joiner that vanishes (its machine sleeps or leaves the network: from one
// moment on not a packet gets through, not even a close) at each step of a
// match hosted by the real screens: the program reports the lost connection
// within 15 s, as it does when the peer closes. The link is cut with nftables
// in the private network namespace this suite runs in (lossy.sh).

#include "hostile/harness.h"
#include "common/peer.h"

#include "screens/ConnectionScreen.h"
#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

using namespace screens;
using hostile::Exchange;

class TestVanish : public QObject {
    Q_OBJECT

    static bool cutLink(bool cut) {
        QProcess nft;
        nft.start(QStringLiteral("nft"), {QStringLiteral("-f"), QStringLiteral("-")});
        // Dropped on arrival: the sender's system sees its packets leave.
        nft.write(cut ? "add table inet vanish\n"
                        "add chain inet vanish in { type filter hook input priority 0; }\n"
                        "add rule inet vanish in drop\n"
                      : "delete table inet vanish\n");
        nft.closeWriteChannel();
        return nft.waitForFinished(5000) && nft.exitStatus() == QProcess::NormalExit &&
               nft.exitCode() == 0;
    }

private slots:
    void init() {
        resetAll();
        Vars::OwnChicken = chicken("Rex", 30, 90, 100);
    }
    void cleanup() { cutLink(false); }
    void cleanupTestCase() { resetAll(); }

    void reportedWithinFifteenSeconds_data() {
        QTest::addColumn<QByteArray>("after"); // the peer's step of the exchange
        QTest::addColumn<bool>("charged");     // in the fight, a full charge waits for the player
        QTest::newRow("receiving the joiner's record") << QByteArray("sent D") << false;
        QTest::newRow("sending the record") << QByteArray("sent 0") << false;
        QTest::newRow("the wait before the fight") << QByteArray("got record") << false;
        QTest::newRow("fight, charging") << QByteArray("fight") << false;
        QTest::newRow("fight, the player waits") << QByteArray("fight") << true;
    }
    void reportedWithinFifteenSeconds() {
        QFETCH(QByteArray, after);
        QFETCH(bool, charged);
        Peer peer;
        Exchange exchange(peer, 1, chicken("Bob", 25, 60, 80));
        QVERIFY2(exchange.runThrough(exchange.stepNamed(after)), exchange.failure().constData());
        if (charged) {
            QTRY_VERIFY(Forms::get<frmFight>().cmd[0]->isEnabled());
            QVERIFY(!Forms::get<frmFight>().tmr1->isActive());
        }
        QVERIFY(cutLink(true));
        QElapsedTimer clock;
        clock.start();
        // The host needs nothing more from the joiner once its ready signal is in,
        // so from then on the fight may well have started before the report.
        QVERIFY(waitUntil(
            [] {
                const auto* screen = hostile::connectionScreen(1);
                return platform::programEnded() ||
                       (screen && screen->txt->text().startsWith("Connection lost: "));
            },
            15000));
        qInfo("reported after %lld ms", clock.elapsed());
        hostile::reportsPeerGone(1, platform::programEnded());
    }
};

QTEST_MAIN(TestVanish)
#include "test_vanish.moc"
