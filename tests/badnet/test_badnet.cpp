// The socket control on a bad link, made with nftables in the private network
// namespace this suite runs in (lossy.sh): a short outage is survived, and a
// message sent after acknowledgement waits for the peer's acknowledgements.

#include "net/Winsock.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace {

bool nft(const QByteArray& script) {
    QProcess process;
    process.start(QStringLiteral("nft"), {QStringLiteral("-f"), QStringLiteral("-")});
    process.write(script);
    process.closeWriteChannel();
    return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Every packet on the link is lost from now on, or (`sourcePort` set) every
// packet sent from that port. Packets are dropped as they arrive, so that the
// sender's system sees them go out, as over a network that loses them.
bool dropPackets(quint16 sourcePort = 0) {
    const QByteArray match = sourcePort ? "tcp sport " + QByteArray::number(sourcePort) + " " : "";
    return nft("add table inet badnet\n"
               "add chain inet badnet in { type filter hook input priority 0; }\n"
               "add rule inet badnet in " +
               match + "drop\n");
}

bool restoreLink() {
    return nft("delete table inet badnet\n");
}

// A connected pair of controls over loopback, as a match has it.
struct Pair {
    Winsock host;
    Winsock joiner;
    QSignalSpy hostLost{&host, &Winsock::ConnectionLost};
    QSignalSpy joinerLost{&joiner, &Winsock::ConnectionLost};

    bool open() {
        QObject::connect(&host, &Winsock::ConnectionRequest, &host, [this](qintptr requestID) {
            host.Close();
            host.Accept(requestID);
        });
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return false;
        host.LocalPort = joiner.RemotePort = probe.serverPort();
        probe.close();
        QSignalSpy connected(&joiner, &Winsock::Connected);
        if (!host.Listen())
            return false;
        joiner.Connect(QStringLiteral("127.0.0.1"));
        return connected.wait(5000) &&
               QTest::qWaitFor([this] { return host.State() == Winsock::sckConnected; });
    }
};

} // namespace

class TestBadNet : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { restoreLink(); }

    // A link that drops everything for 4 s and then comes back carries on: what
    // was sent during the outage arrives, and no loss is reported.
    void shortOutageIsSurvived_data() {
        QTest::addColumn<bool>("sending");
        QTest::newRow("nothing being sent") << false;
        QTest::newRow("sending") << true;
    }
    void shortOutageIsSurvived() {
        QFETCH(bool, sending);
        Pair pair;
        QVERIFY(pair.open());
        QByteArray atHost;
        connect(&pair.host, &Winsock::DataArrival, &pair.host,
                [&] { atHost += pair.host.GetData(); });
        int sent = 0;
        QTimer charge;
        connect(&charge, &QTimer::timeout, &pair.joiner, [&] {
            if (pair.joiner.SendData("J1"))
                ++sent;
        });
        if (sending)
            charge.start(100);

        QVERIFY(dropPackets());
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(4000);
        QVERIFY(restoreLink());
        QVERIFY(pair.joiner.SendData("K3"));
        QTRY_VERIFY_WITH_TIMEOUT(atHost.contains("K3"), 5000);
        // Longer than the system waits for anything unanswered before it gives up.
        QTest::qWait(int(11000 - clock.elapsed()));
        QVERIFY(pair.hostLost.isEmpty() && pair.joinerLost.isEmpty());
        QVERIFY(pair.host.State() == Winsock::sckConnected);
        charge.stop();
        QTRY_COMPARE_WITH_TIMEOUT(atHost.size(), 2 * sent + 2, 5000);
    }

    // While the peer's acknowledgements are held back, messages sent after
    // acknowledgement wait in order, and so does a plain message behind them;
    // each leaves on its own once the acknowledgements come.
    void waitsForAcknowledgement() {
        Pair pair;
        QVERIFY(pair.open());
        QByteArray atHost;
        QList<QByteArray> arrivals;
        connect(&pair.host, &Winsock::DataArrival, &pair.host, [&] {
            arrivals << pair.host.GetData();
            atHost += arrivals.last();
        });
        QVERIFY(pair.joiner.SendWhenAcknowledged("AHenrietta")); // nothing before: goes at once
        QTRY_COMPARE_WITH_TIMEOUT(atHost, QByteArray("AHenrietta"), 5000);
        QTest::qWait(300);

        QVERIFY(dropPackets(pair.host.LocalPort));
        QVERIFY(pair.joiner.SendWhenAcknowledged("B12"));
        QVERIFY(pair.joiner.SendWhenAcknowledged("I6"));
        QVERIFY(pair.joiner.SendWhenAcknowledged("0"));
        QVERIFY(pair.joiner.SendData("J1"));
        QTest::qWait(1000);
        // "B12" got through, unacknowledged; the rest waits.
        QCOMPARE(atHost, QByteArray("AHenriettaB12"));
        QCOMPARE(pair.joiner.Queued(), 3);

        QVERIFY(restoreLink());
        QTRY_COMPARE_WITH_TIMEOUT(atHost, QByteArray("AHenriettaB12I60J1"), 5000);
        QCOMPARE(pair.joiner.Queued(), 0);
        QVERIFY2(arrivals.contains("I6"), arrivals.join("|").constData());
        QVERIFY(pair.hostLost.isEmpty() && pair.joinerLost.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBadNet)
#include "test_badnet.moc"
