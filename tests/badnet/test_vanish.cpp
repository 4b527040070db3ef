// A joiner that vanishes (its machine sleeps or leaves the network: from one
// moment on not a packet gets through, not even a close) from a match hosted by
// the real screens, before the fight and in it: the program reports the lost connection
// within 15 s, as it does when the peer closes. The link is cut with nftables
// in the private network namespace this suite runs in (lossy.sh).

#include "common/peer.h"
#include "hostile/harness.h"

#include "screens/Forms.h"
#include "screens/Vars.h"

#include <QProcess>
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

    // The two ways a vanished joiner is found and reported: the host silent
    // before the fight (the system's probes go unanswered), and the host sending
    // its charges in the fight (its messages go unanswered).
    void reportedWithinFifteenSeconds_data() {
        QTest::addColumn<QByteArray>("after"); // the peer's step of the exchange
        QTest::newRow("receiving the joiner's record") << QByteArray("sent D");
        QTest::newRow("fight, charging") << QByteArray("fight");
    }
    void reportedWithinFifteenSeconds() {
        QFETCH(QByteArray, after);
        Peer peer;
        Exchange exchange(peer, 1, chicken("Bob", 25, 60, 80));
        QVERIFY2(exchange.runThrough(after), exchange.failure());
        QVERIFY(cutLink(true));
        hostile::reportsPeerGone(1, after == "fight", 15000);
    }
};

QTEST_MAIN(TestVanish)
#include "test_vanish.moc"
