// The host's connection screen against a scripted joiner on the loopback port:
// the layout, the whole exchange byte for byte and its pacing, the keep-alive
// answer, a second joiner, and what the player sees when the port is taken or
// the joiner goes away.

#include "common/peer.h"

#include "core/Announcement.h"

#include "net/PortMapper.h"
#include "net/Winsock.h"
#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"
#include "screens/frmTitle.h"
#include "screens/frmWinsock1.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHostAddress>
#include <QLabel>
#include <QNetworkDatagram>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

using namespace screens;

namespace {

const QHostAddress Group(QString::fromLatin1(announcement::Group.data()));

// Every announcement on the group, with the time it arrived.
class Ear : public QObject {
public:
    Ear() {
        socket.bind(Group, announcement::Port, QUdpSocket::ShareAddress);
        socket.joinMulticastGroup(Group);
        clock.start();
        connect(&socket, &QUdpSocket::readyRead, this, [this] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram datagram = socket.receiveDatagram();
                heard << datagram.data();
                hops << datagram.hopLimit();
                at << clock.elapsed();
            }
        });
    }
    QList<QByteArray> heard;
    QList<int> hops; // the time-to-live each arrived with
    QList<qint64> at;
    QElapsedTimer clock;

private:
    QUdpSocket socket;
};

} // namespace

class TestHost : public QObject {
    Q_OBJECT

    // Own stats chosen so that "91" cannot appear inside the record's bytes.
    const ChickenRecord rex = chicken("Rex", 30, 50, 70);
    const ChickenRecord bob = chicken("Bob", 25, 60, 80);

    static frmWinsock1& host() { return Forms::get<frmWinsock1>(); }
    static QString status() { return host().txt->text(); }

    // Stages of the exchange as the host goes through them.
    enum Stage { Connected, ReceivingRecord, SendingRecord, Starting };

    void advance(Peer& peer, Stage stage) {
        QVERIFY(hostMatch(peer));
        if (stage == Connected)
            return;
        peer.sendEach(recordMessages(bob).mid(0, 4));
        if (stage == ReceivingRecord)
            return;
        peer.sendEach(recordMessages(bob).mid(4));
        peer.send("0");
        QVERIFY(peer.waitForBytes(4));
        if (stage == SendingRecord)
            return;
        QTRY_VERIFY(host().tmrWait->isActive());
    }

private slots:
    void init() {
        resetAll();
        Vars::OwnChicken = rex;
    }
    void cleanupTestCase() { resetAll(); }

    void layout_data() {
        QTest::addColumn<bool>("lanOnly");
        QTest::addColumn<QSize>("size");
        QTest::newRow("asking the router") << false << QSize(368, 112);
        QTest::newRow("--lan-only: as designed") << true << QSize(368, 47);
    }
    void layout() {
        QFETCH(bool, lanOnly);
        QFETCH(QSize, size);
        Vars::LanOnly = lanOnly;
        Vars::GameMode = 1;
        Ear ear;
        const qint64 shownAt = ear.clock.elapsed();
        Forms::show<frmWinsock1>();
        frmWinsock1& screen = host();
        QCOMPARE(screen.objectName(), "frmWinsock1");
        QCOMPARE(screen.windowTitle(), "Multiplayer - Server");
        QCOMPARE((QList<QSize>{screen.size(), screen.minimumSize(), screen.maximumSize()}),
                 QList<QSize>(3, size));
        QCOMPARE((QList<bool>{screen.PortMapper1 == nullptr, screen.txtInternet == nullptr}),
                 QList<bool>(2, lanOnly));
        QCOMPARE(screen.windowFlags() & (Qt::Tool | Qt::WindowMinimizeButtonHint),
                 Qt::WindowFlags(Qt::Tool));
        QCOMPARE(screen.Image1->geometry(), QRect(8, 8, 32, 32));
        QVERIFY(!screen.Image1->pixmap().isNull());
        QCOMPARE(screen.txt->geometry(), QRect(56, 16, 305, 17));
        QCOMPARE(screen.txt->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(screen.txt->textFormat(), Qt::PlainText);
        QCOMPARE(screen.Winsock1->objectName(), "Winsock1");
        QCOMPARE(status(), "Waiting for connection . . .");
        QCOMPARE((QList<int>{screen.tmrWait->interval(), screen.tmrTransfer->interval()}),
                 (QList<int>{1000, 200}));
        QVERIFY(!screen.tmrWait->isActive() && !screen.tmrTransfer->isActive());
        // The status blinks: 200 ms shown, 200 ms hidden.
        const bool hidden = screen.txt->isHidden();
        QTRY_VERIFY_WITH_TIMEOUT(screen.txt->isHidden() != hidden, 350);
        QTRY_VERIFY_WITH_TIMEOUT(screen.txt->isHidden() == hidden, 350);
        if (lanOnly) {
            // The match is announced from the listen on, once a second, never past
            // the local network's router, until the screen closes.
            QTRY_COMPARE_WITH_TIMEOUT(ear.heard.size(), 3, 3000);
            QCOMPARE(ear.heard, QList<QByteArray>(3, "QUORVEL 1 1425 Rex"));
            QCOMPARE(ear.hops, QList<int>(3, 1));
            QByteArray gaps;
            QVERIFY2(within({ear.at[0] - shownAt}, 0, 200, gaps), gaps.constData());
            QVERIFY2(within({ear.at[1] - ear.at[0], ear.at[2] - ear.at[1]}, 950, 1100, gaps),
                     gaps.constData());
            screen.close();
            QVERIFY(Forms::loaded<frmTitle>());
            QTest::qWait(1200); // past the next announcement's time
            QCOMPARE(ear.heard.size(), 3);
            return;
        }
        // No router answers in the test's network: the line says so, and Copy
        // copies it; with an address, Copy copies the address alone.
        QCOMPARE(screen.txtInternet->geometry(), QRect(8, 48, 288, 56));
        QCOMPARE(screen.cmdCopy->geometry(), QRect(304, 48, 57, 22));
        QCOMPARE(screen.cmdCopy->text(), "&Copy");
        QVERIFY(screen.txtInternet->textInteractionFlags() & Qt::TextSelectableByMouse);
        QCOMPARE(screen.txtInternet->text(),
                 "Asking the router to let friends on the internet in . . .");
        QVERIFY(screen.PortMapper1->active());
        const QString line = "Friends on the internet cannot join: the router does not answer "
                             "(UPnP and NAT-PMP are off or missing). Forward TCP port 1425 on "
                             "the router to this machine by hand.";
        QTRY_COMPARE_WITH_TIMEOUT(screen.txtInternet->text(), line, 5000);
        screen.cmdCopy->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), line);
        reach::Outcome mapped;
        mapped.answer = reach::Outcome::Answer::Mapped;
        mapped.externalAddress = "11.0.1.1";
        mapped.externalPort = 1426;
        screen.PortMapper1_Finished(mapped);
        QCOMPARE(screen.txtInternet->text(), "Friends on the internet join at 11.0.1.1:1426");
        screen.cmdCopy->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), "11.0.1.1:1426");
        // The program's end (main() takes the screens down once the loop is left)
        // ends the asking.
        const QPointer<PortMapper> mapper = screen.PortMapper1;
        platform::EndProgram(0);
        Forms::destroyAll();
        QVERIFY(mapper.isNull());
    }

    void wholeExchange() {
        Ear ear; // the match is announced until the joiner is taken
        Peer peer;
        QVERIFY(hostMatch(peer)); // the ready signal is the first byte on the wire
        QCOMPARE(status(), "Connection Established - Recieving Data . . .");
        // The router is asked only while the host waits: an answer still to come is
        // not shown.
        QVERIFY(!host().PortMapper1->active());
        QCOMPARE(host().txtInternet->text(), "");
        // A second joiner is refused.
        QTcpSocket second;
        second.connectToHost(QHostAddress::LocalHost, Peer::Port);
        QVERIFY(!second.waitForConnected(1000) || second.waitForDisconnected(2000));

        peer.sendEach(recordMessages(bob));
        QTRY_COMPARE(host().game().opponent(), bob);
        QVERIFY(!host().tmrTransfer->isActive());
        QVERIFY(peer.received().isEmpty());

        const qint64 readyAt = peer.nowMs();
        peer.send("0");
        QTRY_COMPARE(status(), "Connection Established - Transmiting data . . .");
        const QList<QByteArray> records = recordMessages(rex);
        QVERIFY(peer.waitForBytes(joined(records).size()));
        QCOMPARE(peer.received(), joined(records));

        QByteArray what;
        QVERIFY2(within({peer.arrivalMs(0) - readyAt}, 150, 450, what), what);
        QVERIFY2(within(gaps(peer, records), 120, 400, what), what);

        const qint64 lastRecordAt = peer.arrivalMs(joined(records).size() - 1);
        QTRY_COMPARE(status(), "Transfer Complete - Starting Game . . .");
        QVERIFY(!host().tmrTransfer->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(Forms::loaded<frmFight>() && Forms::get<frmFight>().isVisible(),
                                 3000);
        // Step 9 comes 200 ms after "I", the fight 1000 ms after that.
        QVERIFY2(within({peer.nowMs() - lastRecordAt}, 1100, 1700, what), what);
        QVERIFY(host().isHidden());
        QVERIFY(!host().tmrWait->isActive());
        QVERIFY(Forms::loaded<frmWinsock1>());
        QCOMPARE(host().game().opponent(), bob);
        QVERIFY(recorded().boxes.isEmpty());
        QCOMPARE(ear.heard.size(), 1); // announced from the listen until the joiner was taken
    }

    // At each stage the keep-alive is answered; then the joiner leaves (the
    // screen stays, no fight), the transfer goes on undisturbed and the player
    // closes the screen, or an early charge loads the fight hidden.
    void answersKeepAliveAtAnyTime_data() {
        QTest::addColumn<int>("stage");
        QTest::addColumn<QByteArray>("then");
        QTest::newRow("connected") << int(Connected) << QByteArray("leaves");
        QTest::newRow("receiving the joiner's record")
            << int(ReceivingRecord) << QByteArray("leaves");
        QTest::newRow("sending the own record") << int(SendingRecord) << QByteArray("leaves");
        QTest::newRow("sending, then the screen closed")
            << int(SendingRecord) << QByteArray("close");
        QTest::newRow("starting") << int(Starting) << QByteArray("leaves");
        QTest::newRow("starting, an early charge") << int(Starting) << QByteArray("J3");
    }
    void answersKeepAliveAtAnyTime() {
        QFETCH(int, stage);
        QFETCH(QByteArray, then);
        Peer peer;
        advance(peer, Stage(stage));
        if (QTest::currentTestFailed())
            return;
        const qsizetype before = peer.received().size();
        peer.send("90");
        QTRY_VERIFY(peer.received().mid(before).contains("91"));
        if (then == "leaves") {
            peer.close();
            QTRY_VERIFY2(status().startsWith("Connection lost: "), qPrintable(status()));
            QVERIFY(!host().tmrTransfer->isActive() && !host().tmrWait->isActive());
            QTest::qWait(stage == Starting ? 1200 : 0); // past the wait's second
            QVERIFY(!Forms::loaded<frmFight>());
            QVERIFY(host().isVisible());
            QVERIFY(recorded().boxes.isEmpty() && !platform::programEnded());
        } else if (then == "close") {
            const QByteArray records = joined(recordMessages(rex));
            QVERIFY(peer.waitForBytes(records.size() + 2));
            QCOMPARE(peer.received().replace("91", ""), records);
            QTRY_VERIFY(host().tmrWait->isActive());
            host().close();
            QVERIFY(!Forms::loaded<frmWinsock1>());
            QVERIFY(Forms::loaded<frmTitle>() && Forms::get<frmTitle>().isVisible());
            QVERIFY(peer.waitForClose());
        } else {
            peer.send(then);
            QTRY_VERIFY(Forms::loaded<frmFight>());
            frmFight& fight = Forms::get<frmFight>();
            QVERIFY(!fight.isVisible());
            QTRY_COMPARE(fight.bar2->value(), 3);
            QVERIFY(fight.tmr1->isActive());
            QTRY_VERIFY_WITH_TIMEOUT(fight.isVisible() && host().isHidden(), 2000);
        }
    }

    void reportsPortInUse() {
        QTcpServer blocker;
        QVERIFY(blocker.listen(QHostAddress::Any, Peer::Port));
        Vars::GameMode = 1;
        Forms::show<frmWinsock1>();
        QVERIFY2(status().startsWith("Could not listen on port 1425: "), qPrintable(status()));
        QVERIFY(host().isVisible());
    }
};

QTEST_MAIN(TestHost)
#include "test_host.moc"
