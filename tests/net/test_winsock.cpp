// The socket control over real loopback connections: what a peer sees on the wire, when
// each signal comes, and how requests, failures and closes are handled.

#include "net/LocalAddress.h"
#include "net/Winsock.h"

#include <QDir>
#include <QHostAddress>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port nobody listens on right now (not the game's own port, which other tests use).
quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::Any, 0))
        return 0;
    return probe.serverPort();
}

bool haveIPv6Loopback() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}

// The host's way of taking a request: close if open, accept on itself, send the ready signal.
void acceptOnRequest(Winsock& host) {
    QObject::connect(&host, &Winsock::ConnectionRequest, &host, [&host](qintptr requestID) {
        if (host.State() != Winsock::sckClosed)
            host.Close();
        QVERIFY(host.Accept(requestID));
        QVERIFY(host.SendData("0"));
    });
}

qsizetype openDescriptors() {
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

QTcpSocket* connectedSocketOf(const Winsock& control) {
    const auto sockets = control.findChildren<QTcpSocket*>();
    for (QTcpSocket* socket : sockets) {
        if (socket->state() == QAbstractSocket::ConnectedState)
            return socket;
    }
    return nullptr;
}

// Reads what has arrived on a plain socket; true once the stream has ended.
bool readToEnd(int descriptor, QByteArray& into) {
    char bytes[64];
    ssize_t got = 0;
    while ((got = ::recv(descriptor, bytes, sizeof bytes, MSG_DONTWAIT)) > 0)
        into.append(bytes, got);
    return got == 0;
}

} // namespace

class TestWinsock : public QObject {
    Q_OBJECT

private slots:
    void exchangeBothWays_data();
    void exchangeBothWays();
    void laterRequestsAreRefused_data();
    void laterRequestsAreRefused();
    void handlerMayDestroyTheControl();
    void closeReportsLossToPeerOnlyAndPortIsReusable();
    void listenOnPortInUseFails();
    void connectFailures_data();
    void connectFailures();
    void silentResetIsConnectedAgain();
    void floodIsReadInBoundedSlices();
    void closeSendingEndsOurSideOnly();
    void idleControlRefusesToSend();
    void localIPIsDottedIPv4();
};

void TestWinsock::exchangeBothWays_data() {
    QTest::addColumn<QString>("address");
    QTest::newRow("IPv4") << QStringLiteral("127.0.0.1");
    QTest::newRow("host name") << QStringLiteral("localhost");
    QTest::newRow("IPv6") << QStringLiteral("::1");
}

void TestWinsock::exchangeBothWays() {
    QFETCH(QString, address);
    if (address == QLatin1String("::1") && !haveIPv6Loopback())
        QSKIP("no IPv6 loopback here");

    Winsock host;
    Winsock joiner;
    acceptOnRequest(host);
    QSignalSpy requests(&host, &Winsock::ConnectionRequest);
    QSignalSpy connected(&joiner, &Winsock::Connected);
    QSignalSpy lost(&joiner, &Winsock::ConnectionLost);

    host.LocalPort = freePort();
    QVERIFY(host.Listen());
    QCOMPARE(host.State(), int(Winsock::sckListening));

    joiner.RemotePort = host.LocalPort;
    joiner.Connect(address);
    QVERIFY(joiner.State() != Winsock::sckClosed);
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(host.State(), int(Winsock::sckConnected), 5000);
    QCOMPARE(joiner.State(), int(Winsock::sckConnected));
    QCOMPARE(requests.count(), 1);

    QByteArray atJoiner;
    QTRY_COMPARE_WITH_TIMEOUT((atJoiner += joiner.GetData()), QByteArray("0"), 5000);

    // Every byte value crosses unchanged, in both directions.
    QByteArray allBytes;
    for (int value = 0; value < 256; ++value)
        allBytes.append(static_cast<char>(value));
    QVERIFY(joiner.SendData(allBytes.toStdString()));
    QByteArray atHost;
    QTRY_COMPARE_WITH_TIMEOUT((atHost += host.GetData()), allBytes, 5000);
    QVERIFY(host.SendData(allBytes.toStdString()));
    atJoiner.clear();
    QTRY_COMPARE_WITH_TIMEOUT((atJoiner += joiner.GetData()), allBytes, 5000);

    // Small messages are not held back to be merged with the next one.
    for (const Winsock* control : {&host, &joiner}) {
        QTcpSocket* socket = connectedSocketOf(*control);
        QVERIFY(socket != nullptr);
        QCOMPARE(socket->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
    }
    QCOMPARE(lost.count(), 0);
}

void TestWinsock::laterRequestsAreRefused_data() {
    QTest::addColumn<bool>("acceptFirst");
    QTest::newRow("first accepted") << true;
    QTest::newRow("closed without accepting") << false;
}

void TestWinsock::laterRequestsAreRefused() {
    QFETCH(bool, acceptFirst);
    const qsizetype descriptorsBefore = openDescriptors();
    {
        Winsock host;
        QSignalSpy requests(&host, &Winsock::ConnectionRequest);
        if (acceptFirst)
            acceptOnRequest(host);
        else
            connect(&host, &Winsock::ConnectionRequest, &host, [&host] { host.Close(); });
        host.LocalPort = freePort();
        QVERIFY(host.Listen());

        // Both peers get through the handshake before the host handles anything.
        QTcpSocket first;
        QTcpSocket second;
        first.connectToHost(QHostAddress::LocalHost, host.LocalPort);
        second.connectToHost(QHostAddress::LocalHost, host.LocalPort);
        QVERIFY(first.waitForConnected(5000));
        QVERIFY(second.waitForConnected(5000));

        // One request is handled; every other connection is dropped, none left hanging.
        QTRY_COMPARE_WITH_TIMEOUT(requests.count(), 1, 5000);
        const int expectedOpen = acceptFirst ? 1 : 0;
        auto openPeers = [&] {
            return int(first.state() == QAbstractSocket::ConnectedState) +
                   int(second.state() == QAbstractSocket::ConnectedState);
        };
        QTRY_COMPARE_WITH_TIMEOUT(openPeers(), expectedOpen, 5000);
        QTest::qWait(100);
        QCOMPARE(openPeers(), expectedOpen);
        QCOMPARE(requests.count(), 1);
        if (acceptFirst) {
            QTcpSocket& kept = first.state() == QAbstractSocket::ConnectedState ? first : second;
            QByteArray atPeer;
            QTRY_COMPARE_WITH_TIMEOUT((atPeer += kept.readAll()), QByteArray("0"), 5000);
        }

        // Nobody listens any more.
        QTcpSocket late;
        late.connectToHost(QHostAddress::LocalHost, host.LocalPort);
        QVERIFY(!late.waitForConnected(5000));
        QCOMPARE(late.error(), QAbstractSocket::ConnectionRefusedError);
    }
    // Every refused request was really closed: nothing is left open in this process.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(openDescriptors(), descriptorsBefore);
}

void TestWinsock::handlerMayDestroyTheControl() {
    // The request is announced from the event loop, so even destroying the control in its
    // handler is safe; the request then dies with the control.
    const qsizetype descriptorsBefore = openDescriptors();
    auto* host = new Winsock;
    const QPointer<Winsock> watch(host);
    connect(host, &Winsock::ConnectionRequest, host, [host] { delete host; });
    host->LocalPort = freePort();
    QVERIFY(host->Listen());

    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, host->LocalPort);
    QVERIFY(peer.waitForConnected(5000));
    QTRY_VERIFY_WITH_TIMEOUT(watch.isNull(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(peer.state(), QAbstractSocket::UnconnectedState, 5000);
    peer.close();
    QCOMPARE(openDescriptors(), descriptorsBefore);
}

void TestWinsock::closeReportsLossToPeerOnlyAndPortIsReusable() {
    Winsock host;
    Winsock joiner;
    acceptOnRequest(host);
    QSignalSpy hostLost(&host, &Winsock::ConnectionLost);
    QSignalSpy joinerLost(&joiner, &Winsock::ConnectionLost);
    host.LocalPort = freePort();
    joiner.RemotePort = host.LocalPort;
    QVERIFY(host.Listen());
    joiner.Connect(QStringLiteral("127.0.0.1"));
    QByteArray atJoiner;
    QTRY_COMPARE_WITH_TIMEOUT((atJoiner += joiner.GetData()), QByteArray("0"), 5000);

    // What was sent just before the close still arrives.
    QVERIFY(host.SendData("bye"));
    host.Close();
    QCOMPARE(host.State(), int(Winsock::sckClosed));
    QTRY_COMPARE_WITH_TIMEOUT(joinerLost.count(), 1, 5000);
    QCOMPARE(joiner.GetData(), QByteArray("bye"));
    QVERIFY(joiner.State() != Winsock::sckConnected);
    QVERIFY(!joiner.SendData("J5"));
    QTest::qWait(100);
    QCOMPARE(joinerLost.count(), 1);
    QCOMPARE(hostLost.count(), 0);

    // The host closed first, so its side of the old connection lingers; listening again
    // on the same port must work at once, and so must a new connection.
    QVERIFY2(host.Listen(), qPrintable(host.ErrorText()));
    QSignalSpy connected(&joiner, &Winsock::Connected);
    joiner.Connect(QStringLiteral("127.0.0.1"));
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 5000);
    atJoiner.clear();
    QTRY_COMPARE_WITH_TIMEOUT((atJoiner += joiner.GetData()), QByteArray("0"), 5000);

    // Our own close is not reported as a loss; the host sees the joiner go.
    joiner.Close();
    QTRY_COMPARE_WITH_TIMEOUT(hostLost.count(), 1, 5000);
    QCOMPARE(joinerLost.count(), 1);
}

void TestWinsock::listenOnPortInUseFails() {
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::Any, 0));

    Winsock host;
    host.LocalPort = occupant.serverPort();
    QVERIFY(!host.Listen());
    QVERIFY(!host.ErrorText().isEmpty());
    QCOMPARE(host.State(), int(Winsock::sckClosed));
}

void TestWinsock::connectFailures_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("silentHost");
    QTest::newRow("refused") << QStringLiteral("127.0.0.1") << false;
    QTest::newRow("unknown host") << QStringLiteral("no-such-host.invalid") << false;
    QTest::newRow("no answer") << QStringLiteral("127.0.0.1") << true;
}

void TestWinsock::connectFailures() {
    QFETCH(QString, address);
    QFETCH(bool, silentHost);

    Winsock joiner;
    QSignalSpy failed(&joiner, &Winsock::ConnectFailed);
    QSignalSpy connected(&joiner, &Winsock::Connected);
    joiner.RemotePort = freePort();
    joiner.ConnectTimeout = 3000;

    // A host whose queue of waiting connections is full drops further handshakes
    // without an answer, so only the timeout ends the attempt.
    QTcpServer silent;
    QTcpSocket queued;
    if (silentHost) {
        silent.setListenBacklogSize(0);
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        silent.pauseAccepting();
        queued.connectToHost(QHostAddress::LocalHost, silent.serverPort());
        QVERIFY(queued.waitForConnected(5000));
        joiner.RemotePort = silent.serverPort();
        joiner.ConnectTimeout = 300;
    }

    joiner.Connect(address);
    QCOMPARE(failed.count(), 0); // reported later, never from inside Connect

    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 8000);
    const QString reason = failed.at(0).at(0).toString();
    QVERIFY(!reason.isEmpty());
    if (silentHost)
        QCOMPARE(reason, QStringLiteral("Connection timed out"));
    QCOMPARE(joiner.State(), int(Winsock::sckError));
    QTest::qWait(50);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(connected.count(), 0);

    // A failed control can connect again without being closed first.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    joiner.RemotePort = server.serverPort();
    joiner.Connect(QStringLiteral("127.0.0.1"));
    QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 5000);
    QCOMPARE(failed.count(), 1);
}

// A host that resets the connection before a word is exchanged (its side of the
// handshake was never completed) is connected to again; the joiner reports no loss.
void TestWinsock::silentResetIsConnectedAgain() {
    QTcpServer host;
    QVERIFY(host.listen(QHostAddress::LocalHost, 0));
    int taken = 0;
    connect(&host, &QTcpServer::newConnection, &host, [&] {
        QTcpSocket* connection = host.nextPendingConnection();
        if (++taken == 1)
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
    QTRY_COMPARE_WITH_TIMEOUT(received, QByteArray("0"), 5000);
    QCOMPARE(taken, 2);
    QCOMPARE(lost.count(), 0);
}

void TestWinsock::floodIsReadInBoundedSlices() {
    Winsock host;
    acceptOnRequest(host);
    QByteArray received;
    qsizetype largestRead = 0;
    connect(&host, &Winsock::DataArrival, &host, [&] {
        const QByteArray slice = host.GetData();
        largestRead = std::max(largestRead, slice.size());
        received += slice;
    });
    host.LocalPort = freePort();
    QVERIFY(host.Listen());

    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, host.LocalPort);
    QVERIFY(peer.waitForConnected(5000));
    QByteArray flood(10 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < flood.size(); ++i)
        flood[i] = static_cast<char>(i % 251);
    peer.write(flood);

    QTRY_COMPARE_WITH_TIMEOUT(received.size(), flood.size(), 30000);
    QVERIFY(received == flood);
    QVERIFY(largestRead <= 1024 * 1024);
}

// The peer gets every message queued before the end of sending, then the end of the
// stream, and can still send: we read it until the peer ends its side too.
void TestWinsock::closeSendingEndsOurSideOnly() {
    Winsock host;
    acceptOnRequest(host);
    QByteArray atHost;
    connect(&host, &Winsock::DataArrival, &host, [&] { atHost += host.GetData(); });
    QSignalSpy lost(&host, &Winsock::ConnectionLost);
    host.LocalPort = freePort();
    QVERIFY(host.Listen());
    // A plain socket: QTcpSocket closes both ways once our stream has ended.
    const int peer = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address{AF_INET, htons(host.LocalPort), {htonl(INADDR_LOOPBACK)}, {}};
    QCOMPARE(::connect(peer, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    QTRY_COMPARE_WITH_TIMEOUT(host.State(), int(Winsock::sckConnected), 5000);
    QVERIFY(host.SendWhenAcknowledged("H5"));
    QVERIFY(host.SendWhenAcknowledged("I6"));
    QVERIFY(host.SendData("91"));
    QVERIFY(host.CloseSending());
    QVERIFY(!host.SendData("J1") && !host.SendWhenAcknowledged("J1"));
    QByteArray atPeer;
    QTRY_VERIFY_WITH_TIMEOUT(readToEnd(peer, atPeer), 5000);
    QCOMPARE(atPeer, QByteArray("0H5I691"));
    QCOMPARE(::send(peer, "K3", 2, MSG_NOSIGNAL), 2);
    QTRY_COMPARE_WITH_TIMEOUT(atHost, QByteArray("K3"), 5000);
    QCOMPARE(host.State(), int(Winsock::sckConnected));
    ::close(peer);
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
    QCOMPARE(host.State(), int(Winsock::sckClosing));
}

void TestWinsock::idleControlRefusesToSend() {
    Winsock control;
    QVERIFY(!control.SendData("0"));
    QVERIFY(!control.ErrorText().isEmpty());
    QVERIFY(control.GetData().isEmpty());
    QVERIFY(!control.Accept(42));
    QCOMPARE(control.State(), int(Winsock::sckClosed));
}

void TestWinsock::localIPIsDottedIPv4() {
    const QString ip = net::localIP();
    static const QRegularExpression dotted(QStringLiteral("^\\d{1,3}(\\.\\d{1,3}){3}$"));
    QVERIFY2(dotted.match(ip).hasMatch(), qPrintable(ip));
    const QHostAddress address(ip);
    QCOMPARE(address.protocol(), QAbstractSocket::IPv4Protocol);
    QVERIFY(ip == QLatin1String("127.0.0.1") || !address.isLoopback());
}

QTEST_GUILESS_MAIN(TestWinsock)
#include "test_winsock.moc"
