// The host's lobby over loopback: each new connection is greeted with "0", and
// only one that answers with its name record becomes the joiner; the rest are
// closed as strays, and a flood from one address never crowds out a friend.

#include "core/Wire.h"
#include "net/Lobby.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <deque>
#include <unistd.h>

namespace {

// Hands each incoming descriptor to a lobby, as the host does, judging for 0.8 s.
class Door : public QTcpServer {
public:
    Door() {
        connect(&lobby, &Lobby::joinerFound, this, [this](qintptr taken, const QByteArray& first) {
            joiner = first;
            lobby.clear();
            ::close(int(taken));
        });
    }
    Lobby lobby{wire::Ready, wire::opensExchange, nullptr, 800};
    QByteArray joiner;

protected:
    void incomingConnection(qintptr descriptor) override { lobby.admit(descriptor); }
};

} // namespace

class TestLobby : public QObject {
    Q_OBJECT

private slots:
    void judges_data() {
        QTest::addColumn<QStringList>("guests"); // "N:SENDS": from 127.0.0.N; "-" closes
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<QString>("open");      // per guest: left open (1) or closed (0)
        QTest::addColumn<QByteArray>("joiner"); // its first arrival
        QTest::newRow("the name makes the joiner, the others are closed")
            << QStringList{"2:", "3:ABob", "4:"} << 100 << "000" << QByteArray("ABob");
        QTest::newRow("junk, a close, a probe and a ready signal are strays")
            << QStringList{"2:GET / HTTP/1.0\r\n\r\n", "2:-", "2:90", "2:0", "3:A"} << 100
            << "00000" << QByteArray("A");
        QTest::newRow("silence past the judging time is a stray")
            << QStringList{"2:", "3:"} << 900 << "00" << QByteArray();
        QTest::newRow("a flood of nine crowds out its own oldest, never the friend")
            << QStringList{"3:", "2:", "2:", "2:", "2:", "2:", "2:", "2:", "2:"} << 100
            << "101111111" << QByteArray();
    }
    void judges() {
        QFETCH(QStringList, guests);
        QFETCH(int, waitMs);
        Door door;
        QVERIFY(door.listen(QHostAddress::LocalHost));
        std::deque<QTcpSocket> sockets;
        for (const QString& guest : guests) {
            QTcpSocket& socket = sockets.emplace_back();
            QVERIFY(socket.bind(QHostAddress("127.0.0." + guest.section(':', 0, 0))));
            socket.connectToHost(QHostAddress::LocalHost, door.serverPort());
            QTRY_VERIFY(socket.bytesAvailable() > 0);
            QCOMPARE(socket.readAll(), "0");
            if (const QString says = guest.section(':', 1); says == "-")
                socket.disconnectFromHost();
            else
                socket.write(says.toLatin1());
        }
        QTest::qWait(waitMs);
        QString open;
        for (const QTcpSocket& socket : sockets)
            open += socket.state() == QAbstractSocket::ConnectedState ? "1" : "0";
        QTEST(open, "open");
        QTEST(door.joiner, "joiner");
    }
};

QTEST_GUILESS_MAIN(TestLobby)
#include "test_lobby.moc"
