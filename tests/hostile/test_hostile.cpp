// Hostile peers against the real host and join screens over loopback: random
// bytes by the megabyte, a huge name, a name of markup and control characters,
// a storm of charge messages, a peer that says nothing, a peer that leaves at
// every step of the exchange and in the fight, a second joiner and a client
// that opens with garbage. Each case is one row over the same exchange; each
// ends with the test's own timer having kept its time and with the outcome
// the program gives such a peer: the match goes on, or the loss is reported.

#include "harness.h"
#include "common/peer.h"

#include "screens/ConnectionScreen.h"
#include "screens/Forms.h"
#include "screens/Helpers.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"
#include "screens/frmTitle.h"

#include <QHostAddress>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

using namespace screens;
using namespace hostile;

namespace {

enum Action {
    Leave,            // the peer closes the connection
    Silence,          // the peer says nothing for a while
    Flood,            // 10 MB of random bytes in one write
    Pieces,           // 10 MB of random bytes in a thousand writes
    HugeName,         // its record's name is 1 MB long
    MarkupName,       // its record's name is markup and control characters
    Charges,          // 10,000 charge messages as fast as the socket takes them
    SecondJoiner,     // another client tries to connect and speak
    Garbage,          // the joiner opens with garbage, then plays on
    GarbageThenLeave, // the joiner opens with garbage and goes
};

constexpr qsizetype FloodBytes = 10 << 20;
constexpr int FloodPieces = 1000;
constexpr int ChargeStorm = 10000;
constexpr qsizetype ReadSlice = 64 * 1024; // the most the program takes as one arrival

QByteArray randomBytes(QRandomGenerator& random, qsizetype size) {
    QList<quint32> words(size / 4 + 1);
    random.fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.constData()), size);
}

// A name of `size` lower-case letters (never a tag, never a number).
QByteArray randomName(QRandomGenerator& random, qsizetype size) {
    QByteArray name(size, Qt::Uninitialized);
    for (char& letter : name)
        letter = static_cast<char>('a' + random.bounded(26));
    return name;
}

const QByteArray MarkupNameBytes("<b>Bob</b><img src=x onerror=alert(1)>&amp;\x01\x07\x1b[31m\t"
                                 "\r\n\0\x7f\xff%s%n",
                                 47);

// What a stray client might send first: an HTTP request, the start of a TLS
// greeting, markup and raw bytes.
QByteArray garbage() {
    QRandomGenerator random(1425);
    return QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.1:1425\r\n\r\n") +
           QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + "<html>A</html>" +
           randomBytes(random, 4096);
}

} // namespace

class TestHostile : public QObject {
    Q_OBJECT

    const ChickenRecord rex = chicken("Rex", 30, 90, 100);
    const ChickenRecord bob = chicken("Bob", 25, 60, 80);

    // In the fight, the peer's damage still lands and its probe is answered.
    static void matchGoesOn(Peer& peer) {
        const auto hitPoints = Forms::get<frmFight>().game().own().HitPoints;
        peer.send("K2");
        QTRY_COMPARE(Forms::get<frmFight>().game().own().HitPoints, int16_t(hitPoints - 2));
        QCOMPARE(Forms::get<frmFight>().Label1[0]->text(),
                 "HP:   " + QString::number(hitPoints - 2));
        peer.forget();
        peer.send("90");
        QTRY_VERIFY(peer.received().contains("91"));
        QVERIFY(recorded().boxes.isEmpty() && !platform::programEnded());
    }

    // Another client knocks while the joiner is connected: it is refused or
    // dropped, and nothing it says reaches the program.
    static void secondJoinerIsRefused() {
        QTcpSocket second;
        second.connectToHost(QHostAddress::LocalHost, Peer::Port);
        QVERIFY(waitUntil([&] {
            return second.state() == QAbstractSocket::ConnectedState ||
                   second.state() == QAbstractSocket::UnconnectedState;
        }));
        if (second.state() == QAbstractSocket::ConnectedState) {
            second.write("0ARogueB99");
            second.flush();
            QVERIFY(waitUntil([&] { return second.state() == QAbstractSocket::UnconnectedState; }));
        }
    }

    // The host screen that is waiting for a joiner plays a whole exchange with
    // the next one, and the match goes on.
    void playsWithNextJoiner(const Ticker& ticker) {
        Peer joiner;
        Exchange again(joiner, 1, bob);
        QVERIFY2(again.runThrough(again.fightStep()), again.failure());
        matchGoesOn(joiner);
        QCOMPARE(Forms::get<frmFight>().game().opponent(), bob);
        keptTime(ticker);
    }

    static void keptTime(const Ticker& ticker) {
        const qint64 worst = ticker.worstGapMs();
        qInfo("longest stall of the event loop: %lld ms", worst);
        QVERIFY2(worst <= lateLimitMs(), qPrintable(QString::number(worst)));
    }

    // Each message in a write of its own, with `pauseMs` between them; with no
    // pause the event loop still turns every so often, so that the test's own
    // writing does not count as the program holding it up.
    static void sendAll(Peer& peer, const QList<QByteArray>& messages, int pauseMs) {
        for (qsizetype i = 0; i < messages.size(); ++i) {
            peer.send(messages[i]);
            if (pauseMs > 0)
                QTest::qWait(pauseMs);
            else if (i % 256 == 255)
                QCoreApplication::processEvents();
        }
        QVERIFY(waitUntilRead(peer, messages.join()));
    }

private slots:
    void init() {
        resetAll();
        Vars::OwnChicken = rex;
    }
    void cleanupTestCase() { resetAll(); }

    void hostilePeer_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("after"); // the step of the exchange
        QTest::addColumn<int>("action");
        const auto row = [](int mode, const QByteArray& after, Action action, const char* what) {
            QTest::addRow("%s %s after %s", mode == 1 ? "host:" : "join:", what, after.constData())
                << mode << after << int(action);
        };
        for (int mode : {1, 2})
            for (const QByteArray& step : Exchange::stepNames(mode))
                row(mode, step, Leave, "peer leaves");
        row(1, "got 0", Silence, "peer says nothing");
        row(2, "accepted", Silence, "peer says nothing");
        row(1, "got 0", Flood, "10 MB at once");
        row(2, "accepted", Flood, "10 MB at once");
        row(1, "fight", Flood, "10 MB at once");
        row(1, "got 0", Pieces, "10 MB in 1000 pieces");
        row(2, "fight", Pieces, "10 MB in 1000 pieces");
        row(1, "fight", HugeName, "name of 1 MB");
        row(2, "fight", HugeName, "name of 1 MB");
        row(1, "fight", MarkupName, "markup name");
        row(2, "fight", MarkupName, "markup name");
        row(1, "fight", Charges, "10,000 charges");
        row(2, "fight", Charges, "10,000 charges");
        row(1, "got 0", SecondJoiner, "second joiner");
        row(1, "sent E", SecondJoiner, "second joiner");
        row(1, "fight", SecondJoiner, "second joiner");
        row(1, "connected", Garbage, "garbage before 0");
        row(1, "connected", GarbageThenLeave, "garbage, then gone,");
    }
    void hostilePeer() {
        QFETCH(int, mode);
        QFETCH(QByteArray, after);
        QFETCH(int, action);
        Ticker ticker;
        Peer peer;
        Exchange exchange(peer, mode, bob);
        ChickenRecord opponent = bob; // what the program should end up holding
        QRandomGenerator random(quint32(mode * 100 + exchange.stepNamed(after)));
        const QByteArray hugeName = randomName(random, 1 << 20);
        if (action == HugeName)
            exchange.replaceRecord('A', "A" + hugeName);
        if (action == MarkupName) {
            exchange.replaceRecord('A', "A" + MarkupNameBytes);
            opponent.Name = MarkupNameBytes.toStdString();
        }
        const int step = exchange.stepNamed(after);
        QVERIFY(step >= 0);
        QVERIFY2(exchange.runThrough(step), exchange.failure());
        const bool inFight = step == exchange.fightStep();
        QString status = connectionScreen(mode)->txt->text();

        if (mode == 1 && step < exchange.stepNamed("sent A") && action != Silence) {
            // Until its first record a connection is only judged: going, or
            // anything else it says first, makes it a stray that the host
            // closes while it waits on, as if it had never come.
            if (action != Leave)
                peer.send(action == Flood || action == Pieces ? randomBytes(random, FloodBytes)
                                                              : garbage());
            if (action == Leave || action == GarbageThenLeave)
                peer.close();
            else
                QVERIFY(peer.waitForClose());
            QCOMPARE(connectionScreen(1)->txt->text(),
                     QStringLiteral("Waiting for connection . . ."));
            playsWithNextJoiner(ticker);
            return;
        }
        switch (Action(action)) {
        case Leave:
            peer.close();
            reportsPeerGone(mode, inFight);
            keptTime(ticker);
            return;
        case Silence:
            QTest::qWait(2000);
            break;
        case Flood: {
            const QByteArray flood = randomBytes(random, FloodBytes);
            peer.send(flood);
            QVERIFY(waitUntilRead(peer, flood));
            break;
        }
        case Pieces: {
            QList<QByteArray> pieces;
            for (int i = 0; i < FloodPieces; ++i)
                pieces << randomBytes(random,
                                      1 + random.bounded(int(2 * FloodBytes / FloodPieces)));
            sendAll(peer, pieces, 1);
            break;
        }
        case Charges: {
            QList<QByteArray> charges;
            for (int i = 0; i < ChargeStorm; ++i)
                charges << "J" + QByteArray::number(i % 11);
            sendAll(peer, charges, 0);
            peer.send("J7");
            QTRY_COMPARE(Forms::get<frmFight>().bar2->value(), 7);
            break;
        }
        case SecondJoiner:
            secondJoinerIsRefused();
            break;
        case Garbage: // only before the first record, a stray
        case GarbageThenLeave:
        case HugeName:
        case MarkupName:
            break;
        }
        if (QTest::currentTestFailed())
            return;
        if (!inFight) { // nothing of it moved the exchange on
            QCOMPARE(connectionScreen(mode)->txt->text(), status);
            QVERIFY(!Forms::loaded<frmFight>());
        }

        QVERIFY2(exchange.runThrough(exchange.fightStep()), exchange.failure());
        matchGoesOn(peer);
        if (QTest::currentTestFailed())
            return;
        const frmFight& fight = Forms::get<frmFight>();
        if (action == HugeName) {
            // Read in bounded slices: the first one is the name, the rest is ignored.
            const std::string& name = Forms::get<frmFight>().game().opponent().Name;
            QVERIFY(!name.empty() && qsizetype(name.size()) < ReadSlice);
            QVERIFY(hugeName.startsWith(QByteArray::fromStdString(name)));
            QVERIFY(fight.Label1[5]->text().startsWith("Name: " + hugeName.left(100)));
            opponent.Name = name;
        }
        if (action == MarkupName) {
            QCOMPARE(fight.Label1[5]->text(), "Name: " + Vars::displayText(opponent.Name));
            QCOMPARE(fight.Label1[5]->textFormat(), Qt::PlainText);
        }
        if (!((action == Flood || action == Pieces) && inFight)) // bytes there may rename it
            QCOMPARE(Forms::get<frmFight>().game().opponent(), opponent);
        keptTime(ticker);
    }
};

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
