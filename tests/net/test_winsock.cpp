// The socket control over real loopback connections, in a private network namespace of
// its own (lossy.sh) where nftables can cut the link: what a peer sees on the wire, when
// each signal comes, how requests, failures and closes are handled, and how a short
// outage and held-back acknowledgements are waited out.

#include "net/LocalAddress.h"
#include "net/Winsock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port nobody listens on right now.
quint16 freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::Any, 0) ? probe.serverPort() : 0;
}

qsizetype openDescriptors() {
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

// nftables commands for this namespace of our own.
bool nft(const QString& commands) {
    return QProcess::execute(QStringLiteral("nft"), {commands}) == 0;
}
// From now on the packets a rule picks are lost: dropped as they arrive, so that the
// sender's system sees them go out, as over a network that loses them.
const QString CutLink = QStringLiteral("add table inet cut; add chain inet cut in { type filter "
                                       "hook input priority 0; }; add rule inet cut in ");
const QString RestoreLink = QStringLiteral("add table inet cut; delete table inet cut");

// What a host does with a connection request.
enum Handler { Accepts, Closes, Destroys };

// Listens on a free port and handles each request: accepts it on itself and sends the
// ready signal after closing, as the game's host does; only closes; or destroys itself.
void takeRequests(Winsock& host, Handler handler = Accepts) {
    QObject::connect(&host, &Winsock::ConnectionRequest, &host, [&host, handler](qintptr request) {
        if (handler == Destroys)
            return delete &host;
        host.Close();
        QVERIFY(handler == Closes || (host.Accept(request) && host.SendData("0")));
    });
    host.LocalPort = freePort();
    QVERIFY(host.Listen());
    QCOMPARE(host.State(), int(Winsock::sckListening));
}

// A host and a joiner over loopback, as a match has them; what each receives is kept.
struct Pair {
    Winsock host, joiner;
    QByteArray atHost, atJoiner;
    QByteArrayList hostArrivals;
    QSignalSpy requests{&host, &Winsock::ConnectionRequest};
    QSignalSpy connected{&joiner, &Winsock::Connected};
    QSignalSpy hostLost{&host, &Winsock::ConnectionLost};
    QSignalSpy joinerLost{&joiner, &Winsock::ConnectionLost};

    Pair() {
        takeRequests(host);
        joiner.RemotePort = host.LocalPort;
        QObject::connect(&host, &Winsock::DataArrival, &host,
                         [this] { atHost += hostArrivals.emplace_back(host.GetData()); });
        QObject::connect(&joiner, &Winsock::DataArrival, &joiner,
                         [this] { atJoiner += joiner.GetData(); });
    }
    // Connects the joiner (again) and waits for the host's ready signal.
    bool open(const QString& address = QStringLiteral("127.0.0.1")) {
        atJoiner.clear();
        joiner.Connect(address);
        return joiner.State() != Winsock::sckClosed && QTest::qWaitFor([this] {
                   return atJoiner == "0" && host.State() == Winsock::sckConnected;
               });
    }
};

} // namespace

class TestWinsock : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { nft(RestoreLink); }

    // The first request is handled, the other dropped, none left hanging, and nobody
    // listens any more. Requests are announced from the event loop, so even destroying
    // the control in the handler is safe; the requests then die with it.
    void laterRequestsAreRefused() {
        for (const Handler handler : {Accepts, Closes, Destroys}) {
            const qsizetype descriptorsBefore = openDescriptors();
            {
                const QPointer<Winsock> host = new Winsock;
                QSignalSpy requests(host, &Winsock::ConnectionRequest);
                takeRequests(*host, handler);
                const quint16 port = host->LocalPort;
                // Both peers get through the handshake before the host handles anything.
                QTcpSocket peers[2];
                for (QTcpSocket& peer : peers)
                    peer.connectToHost(QHostAddress::LocalHost, port);
                for (QTcpSocket& peer : peers)
                    QVERIFY(peer.waitForConnected(5000));
                QTRY_COMPARE(requests.count(), 1);
                const auto openPeers = [&peers] {
                    return int(peers[0].state() == QAbstractSocket::ConnectedState) +
                           int(peers[1].state() == QAbstractSocket::ConnectedState);
                };
                QTRY_COMPARE(openPeers(), int(handler == Accepts));
                QByteArray atPeers;
                QTRY_COMPARE((atPeers += peers[0].readAll() + peers[1].readAll()),
                             QByteArray(handler == Accepts ? "0" : ""));
                QTest::qWait(100);
                QCOMPARE(openPeers(), int(handler == Accepts));
                QCOMPARE(requests.count(), 1);
                QCOMPARE(host.isNull(), handler == Destroys);
                QTcpSocket late;
                late.connectToHost(QHostAddress::LocalHost, port);
                QVERIFY(!late.waitForConnected(5000));
                QCOMPARE(late.error(), QAbstractSocket::ConnectionRefusedError);
                delete host.data();
            }
            // Every refused request was really closed: nothing is left open in this process.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCOMPARE(openDescriptors(), descriptorsBefore);
        }
    }

    // A connection by each kind of address, in both directions, every message sent at once
    // rather than held back to be merged with the next one. Closed by the host, what was
    // sent just before still arrives and only the joiner hears of a loss; the host listens
    // on the same port again at once, though its side of the old connection lingers; our
    // own close is reported to the other side only.
    void connection() {
        const bool ipv6 = QTcpServer().listen(QHostAddress::LocalHostIPv6); // or IPv4 again
        for (const QString address : {"127.0.0.1", "localhost", ipv6 ? "::1" : "127.0.0.1"}) {
            Pair pair;
            QVERIFY(pair.open(address));
            QCOMPARE(pair.joiner.State(), int(Winsock::sckConnected));
            QCOMPARE(pair.connected.count(), 1);
            QCOMPARE(pair.requests.count(), 1);
            QVERIFY(pair.joiner.SendData("J1"));
            QTRY_COMPARE(pair.atHost, "J1");
            for (const Winsock* control : {&pair.host, &pair.joiner})
                QCOMPARE(control->findChild<QTcpSocket*>()
                             ->socketOption(QAbstractSocket::LowDelayOption)
                             .toInt(),
                         1);
            QVERIFY(pair.host.SendData("bye"));
            pair.host.Close();
            QCOMPARE(pair.host.State(), int(Winsock::sckClosed));
            QTRY_COMPARE(pair.joinerLost.count(), 1);
            QTRY_COMPARE(pair.atJoiner, "0bye");
            QVERIFY(pair.joiner.State() != Winsock::sckConnected && !pair.joiner.SendData("J5"));
            QTest::qWait(100);
            QCOMPARE(pair.joinerLost.count(), 1);
            QCOMPARE(pair.hostLost.count(), 0);
            QVERIFY2(pair.host.Listen(), qPrintable(pair.host.ErrorText()));
            QVERIFY(pair.open(address));
            QCOMPARE(pair.connected.count(), 2);
            pair.joiner.Close();
            QTRY_COMPARE(pair.hostLost.count(), 1);
            QCOMPARE(pair.joinerLost.count(), 1);
        }
    }

    void refusesWhatItCannotDo() {
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::Any, 0));
        Winsock control;
        control.LocalPort = occupant.serverPort();
        QVERIFY(!control.Listen());
        QCOMPARE(control.ErrorText(), "The bound address is already in use");
        QVERIFY(!control.SendData("0"));
        QCOMPARE(control.ErrorText(), "Not connected");
        QVERIFY(control.GetData().isEmpty());
        QVERIFY(!control.Accept(42));
        QCOMPARE(control.State(), int(Winsock::sckClosed));
    }

    void connectFailures() {
        const struct {
            QString address, reason;
        } rows[] = {{"127.0.0.1", "Connection refused"},
                    {"no-such-host.invalid", "Host not found"},
                    {"127.0.0.1", "Connection timed out"}};
        for (const auto& [address, reason] : rows) {
            Winsock joiner;
            QSignalSpy failed(&joiner, &Winsock::ConnectFailed);
            QSignalSpy connected(&joiner, &Winsock::Connected);
            joiner.RemotePort = freePort();
            // Where nothing answers, only the timeout ends the attempt.
            const bool silent = reason == u"Connection timed out";
            joiner.ConnectTimeout = silent ? 300 : 3000;
            const QString port = QString::number(joiner.RemotePort);
            QVERIFY(!silent || nft(CutLink + "tcp dport " + port + " drop"));
            joiner.Connect(address);
            QCOMPARE(failed.count(), 0); // reported later, never from inside Connect
            QTRY_COMPARE(failed.count(), 1);
            QCOMPARE(failed.at(0).at(0).toString(), reason);
            QCOMPARE(joiner.State(), int(Winsock::sckError));
            QTest::qWait(50);
            QCOMPARE(failed.count(), 1);
            QCOMPARE(connected.count(), 0);
            // A failed control can connect again without being closed first.
            QTcpServer server;
            QVERIFY(server.listen(QHostAddress::LocalHost, 0));
            joiner.RemotePort = server.serverPort();
            joiner.Connect(QStringLiteral("127.0.0.1"));
            QTRY_COMPARE(connected.count(), 1);
            QCOMPARE(failed.count(), 1);
            nft(RestoreLink);
        }
    }

    // A host that resets the connection before a word is exchanged (its side of the
    // handshake was never completed) is connected to again, three times at most; the
    // joiner reports the loss only once the host has gone for good.
    void silentResets() {
        // Resets, then connections made, losses reported and what arrived.
        const struct {
            int resets, taken, lost;
            QByteArray received;
        } rows[] = {{1, 2, 0, "0"}, {9, 4, 1, ""}};
        for (const auto& [resets, takenExpected, lostExpected, receivedExpected] : rows) {
            QTcpServer host;
            QVERIFY(host.listen(QHostAddress::LocalHost, 0));
            int taken = 0;
            connect(&host, &QTcpServer::newConnection, &host, [&] {
                QTcpSocket* connection = host.nextPendingConnection();
                if (++taken <= resets)
                    connection->abort();
                else
                    connection->write("0");
            });
            Winsock joiner;
            joiner.RemotePort = host.serverPort();
            QSignalSpy lost(&joiner, &Winsock::ConnectionLost);
            QByteArray received;
            connect(&joiner, &Winsock::DataArrival, &joiner, [&] { received += joiner.GetData(); });
            joiner.Connect(QStringLiteral("127.0.0.1"));
            QTRY_VERIFY(!received.isEmpty() || !lost.isEmpty());
            QCOMPARE(received, receivedExpected);
            QCOMPARE(int(lost.count()), lostExpected);
            QCOMPARE(taken, takenExpected);
        }
    }

    // A flood either way crosses whole, every byte value unchanged: what arrives is read
    // in bounded slices, and a message bigger than the system takes at once is written to
    // its end.
    void floodsCrossWhole() {
        Pair pair;
        QVERIFY(pair.open());
        QByteArray flood(10 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < flood.size(); ++i)
            flood[i] = static_cast<char>(i % 257);
        QVERIFY(pair.joiner.SendData(flood.toStdString()));
        QVERIFY(pair.host.SendData(flood.toStdString()));
        QTRY_COMPARE_WITH_TIMEOUT(pair.atHost.size() + pair.atJoiner.size(), 2 * flood.size() + 1,
                                  10000);
        QVERIFY(pair.atHost == flood && pair.atJoiner == "0" + flood);
        for (const QByteArray& slice : std::as_const(pair.hostArrivals))
            QVERIFY(slice.size() <= 1024 * 1024);
    }

    // The peer gets every message queued before the end of sending, then the end of the
    // stream, and can still send: we read it until the peer ends its side too.
    void closeSendingEndsOurSideOnly() {
        Pair pair; // its joiner stays idle
        Winsock& host = pair.host;
        // A plain socket: QTcpSocket closes both ways once our stream has ended.
        const int peer = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address{AF_INET, htons(host.LocalPort), {htonl(INADDR_LOOPBACK)}, {}};
        QCOMPARE(::connect(peer, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        QTRY_COMPARE(host.State(), int(Winsock::sckConnected));
        QVERIFY(host.SendWhenAcknowledged("H5") && host.SendWhenAcknowledged("I6"));
        QVERIFY(host.SendData("91") && host.CloseSending());
        QVERIFY(!host.SendData("J1") && !host.SendWhenAcknowledged("J1"));
        QByteArray atPeer;
        const auto ended = [&] {
            char bytes[64];
            ssize_t got = 0;
            while ((got = ::recv(peer, bytes, sizeof bytes, MSG_DONTWAIT)) > 0)
                atPeer.append(bytes, got);
            return got == 0;
        };
        QTRY_VERIFY(ended());
        QCOMPARE(atPeer, "0H5I691");
        QCOMPARE(::send(peer, "K3", 2, MSG_NOSIGNAL), 2);
        QTRY_COMPARE(pair.atHost, "K3");
        QCOMPARE(host.State(), int(Winsock::sckConnected));
        ::close(peer);
        QTRY_COMPARE(pair.hostLost.count(), 1);
        QCOMPARE(host.State(), int(Winsock::sckClosing));
    }

    // This namespace has loopback only: the address to tell a friend falls back to it.
    void localIPFallsBackToLoopback() { QCOMPARE(net::localIP(), "127.0.0.1"); }

    // A link that drops everything for 4 s and then comes back carries on, whether a
    // message was being sent meanwhile or not: what was sent arrives, and no loss is
    // reported for longer than the system waits for anything unanswered before giving up.
    void shortOutageIsSurvived() {
        Pair idle;
        Pair sending;
        QVERIFY(idle.open() && sending.open());
        int sent = 0;
        QTimer charge;
        connect(&charge, &QTimer::timeout, &sending.joiner,
                [&] { sent += int(sending.joiner.SendData("J1")); });
        charge.start(100);
        QVERIFY(nft(CutLink + "drop"));
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(4000);
        QVERIFY(nft(RestoreLink));
        QVERIFY(idle.joiner.SendData("K3") && sending.joiner.SendData("K3"));
        QTRY_VERIFY(idle.atHost == "K3" && sending.atHost.contains("K3"));
        QTest::qWait(int(11000 - clock.elapsed()));
        charge.stop();
        for (const Pair* pair : {&idle, &sending}) {
            QVERIFY(pair->hostLost.isEmpty() && pair->joinerLost.isEmpty());
            QCOMPARE(pair->host.State(), int(Winsock::sckConnected));
        }
        QTRY_COMPARE(sending.atHost.size(), 2 * sent + 2);
    }

    // While the peer's acknowledgements are held back, messages sent after acknowledgement
    // wait in order, and so does a plain message behind them; each leaves on its own once
    // the acknowledgements come.
    void waitsForAcknowledgement() {
        Pair pair;
        QVERIFY(pair.open());
        QVERIFY(pair.joiner.SendWhenAcknowledged("AHenrietta")); // nothing before: goes at once
        QTRY_COMPARE(pair.atHost, "AHenrietta");
        QTest::qWait(300);
        QVERIFY(nft(CutLink + "tcp sport " + QString::number(pair.host.LocalPort) + " drop"));
        for (const char* record : {"B12", "I6", "0"})
            QVERIFY(pair.joiner.SendWhenAcknowledged(record));
        QVERIFY(pair.joiner.SendData("J1"));
        QTest::qWait(500);
        // "B12" got through, unacknowledged; the rest waits.
        QCOMPARE(pair.atHost, "AHenriettaB12");
        QCOMPARE(pair.joiner.Queued(), 3);
        QVERIFY(nft(RestoreLink));
        QTRY_COMPARE(pair.atHost, "AHenriettaB12I60J1");
        QCOMPARE(pair.joiner.Queued(), 0);
        QVERIFY2(pair.hostArrivals.contains("I6"), pair.hostArrivals.join('|').constData());
        QVERIFY(pair.hostLost.isEmpty() && pair.joinerLost.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestWinsock)
#include "test_winsock.moc"
