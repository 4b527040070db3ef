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
    // Guests "N:SENDS" from 127.0.0.N ("-" closes) | ms waited | per guest: left open (1)
    // or closed (0) | the joiner's first arrival.
    void judges_data() {
        QTest::addColumn<QString>("steps");
        QTest::addRow("the name makes the joiner") << "2:,3:ABob,4: | 100 | 000 | ABob";
        QTest::addRow("junk, a close, a probe, a ready signal are strays")
            << "2:GET / HTTP/1.0\r\n\r\n,2:-,2:90,2:0,3:A | 100 | 00000 | A";
        QTest::addRow("silence past the judging time is a stray") << "2:,3: | 900 | 00 | ";
        QTest::addRow("a flood of nine crowds out its own oldest, never the friend")
            << "3:,2:,2:,2:,2:,2:,2:,2:,2: | 100 | 101111111 | ";
    }
    void judges() {
        QFETCH(QString, steps);
        const QStringList guests = steps.section(" | ", 0, 0).split(',');
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
        QTest::qWait(steps.section(" | ", 1, 1).toInt());
        QString open;
        for (const QTcpSocket& socket : sockets)
            open += socket.state() == QAbstractSocket::ConnectedState ? "1" : "0";
        QCOMPARE(open, steps.section(" | ", 2, 2));
        QCOMPARE(door.joiner, steps.section(" | ", 3).toLatin1());
    }
};

QTEST_GUILESS_MAIN(TestLobby)
#include "test_lobby.moc"
