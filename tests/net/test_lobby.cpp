// The host's lobby over loopback: each new connection is greeted with "0", and
// only one that answers with its name record becomes the joiner; the rest are
// closed as strays, and a flood from one address never crowds out a friend.

#include "core/Wire.h"
#include "net/Lobby.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// Hands each incoming descriptor to the lobby, as the socket control's requests do.
class Door : public QTcpServer {
public:
    explicit Door(Lobby& judge) : lobby(judge) {}

protected:
    void incomingConnection(qintptr descriptor) override { lobby.admit(descriptor); }

private:
    Lobby& lobby;
};

} // namespace

class TestLobby : public QObject {
    Q_OBJECT

private slots:
    void judges_data() {
        QTest::addColumn<QStringList>("guests"); // "N:SENDS": from 127.0.0.N; "-" closes
        QTest::addColumn<QString>("joiner");     // its first arrival, or "" for none
        QTest::addColumn<QString>("open");       // per guest: left open (1) or closed (0)
        QTest::newRow("the name makes the joiner, the others are closed")
            << QStringList{"2:", "3:ABob", "4:"} << "ABob"
            << "000";
        QTest::newRow("junk, a close, a probe and a ready signal are strays")
            << QStringList{"2:GET / HTTP/1.0\r\n\r\n", "2:-", "2:90", "2:0", "3:A"} << "A"
            << "00000";
        QTest::newRow("silence past the judging time is a stray") << QStringList{"2:", "3:"} << ""
                                                                  << "00";
        QTest::newRow("a flood of nine crowds out its own oldest, never the friend")
            << QStringList{"3:", "2:", "2:", "2:", "2:", "2:", "2:", "2:", "2:"} << ""
            << "101111111";
    }
    void judges() {
        QFETCH(QStringList, guests);
        QFETCH(QString, joiner);
        QFETCH(QString, open);
        const bool silentRow = QByteArray(QTest::currentDataTag()).startsWith("silence");
        Lobby lobby(wire::Ready, wire::opensExchange, nullptr, silentRow ? 300 : 5000);
        QString found;
        connect(&lobby, &Lobby::joinerFound, this,
                [&](qintptr descriptor, const QByteArray& first) {
                    found = first;
                    lobby.clear();
                    ::close(int(descriptor));
                });
        Door door(lobby);
        QVERIFY(door.listen(QHostAddress::LocalHost));
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (const QString& guest : guests) {
            auto& socket = sockets.emplace_back(std::make_unique<QTcpSocket>());
            QVERIFY(socket->bind(QHostAddress("127.0.0." + guest.section(':', 0, 0))));
            socket->connectToHost(QHostAddress::LocalHost, door.serverPort());
            QTRY_VERIFY(socket->bytesAvailable() > 0);
            QCOMPARE(socket->readAll(), QByteArray("0"));
            const QByteArray says = guest.section(':', 1).toLatin1();
            if (says == "-")
                socket->disconnectFromHost();
            else if (!says.isEmpty())
                socket->write(says);
            socket->flush();
        }
        QTest::qWait(silentRow ? 600 : 200);
        QString left;
        for (const auto& socket : sockets)
            left += socket->state() == QAbstractSocket::ConnectedState ? "1" : "0";
        QCOMPARE(left, open);
        QCOMPARE(found, joiner);
    }
};

QTEST_GUILESS_MAIN(TestLobby)
#include "test_lobby.moc"
