#include "harness.h"

#include "common/Sanitized.h"
#include "common/peer.h"

#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"
#include "screens/frmWinSock2.h"
#include "screens/frmWinsock1.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

namespace hostile {

qint64 lateLimitMs() {
    return sanitizedBuild ? 750 : 250;
}

Ticker::Ticker(int intervalMs) {
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(intervalMs);
    connect(&timer, &QTimer::timeout, this, [this] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    clock.start();
    timer.start();
}

qint64 Ticker::worstGapMs() const {
    return std::max(worst, clock.elapsed() - last);
}

ConnectionScreen* connectionScreen(int mode) {
    if (mode == 1)
        return Forms::loaded<frmWinsock1>() ? &Forms::get<frmWinsock1>() : nullptr;
    return Forms::loaded<frmWinSock2>() ? &Forms::get<frmWinSock2>() : nullptr;
}

namespace {

const QList<QByteArray> RecordNames = {"sent A", "sent B", "sent C", "sent D", "sent E",
                                       "sent F", "sent G", "sent H", "sent I"};

// The program's turn of sending: its nine record messages exactly, then, when
// it joins, its ready signal. Forgotten once checked.
bool receiveRecord(Peer& peer, bool thenReady) {
    QByteArray expected = screens::joined(screens::recordMessages(Vars::OwnChicken));
    if (thenReady)
        expected += "0";
    if (!peer.waitForBytes(expected.size(), 10000) || peer.received() != expected)
        return false;
    peer.forget();
    return true;
}

bool fightShown() {
    return screens::waitUntil(
        [] { return Forms::loaded<frmFight>() && Forms::get<frmFight>().isVisible(); }, 5000);
}

bool waitActive(int mode) {
    return screens::waitUntil([mode] {
        const ConnectionScreen* screen = connectionScreen(mode);
        return screen != nullptr && screen->tmrWait->isActive();
    });
}

// The step names of a role, in order: what the peer has just done.
QList<QByteArray> stepNames(int mode) {
    if (mode == 1)
        return QList<QByteArray>{"connected", "got 0"} + RecordNames +
               QList<QByteArray>{"sent 0", "got record", "fight"};
    return QList<QByteArray>{"accepted", "sent 0", "got record"} + RecordNames +
           QList<QByteArray>{"fight"};
}

} // namespace

Exchange::Exchange(Peer& scriptedPeer, int gameMode, const ChickenRecord& peerChicken)
    : peer(scriptedPeer), mode(gameMode), records(screens::recordMessages(peerChicken)),
      names(stepNames(gameMode)) {
    const auto sendRecords = [this] {
        for (int i = 0; i < records.size(); ++i)
            actions << [this, i] { return sendRecord(i); };
    };
    if (mode == 1) {
        actions << [this] {
            Vars::GameMode = 1;
            Forms::show<frmWinsock1>();
            return peer.connectToProgram();
        };
        actions << [this] {
            if (!peer.waitForBytes(1) || peer.received() != "0")
                return false;
            peer.forget();
            return true;
        };
        sendRecords();
        actions << [this] {
            peer.send("0");
            return true;
        };
        // The program's record, then the one-second wait before its fight.
        actions << [this] { return receiveRecord(peer, false) && waitActive(1); };
    } else {
        actions << [this] { return screens::joinMatch(peer); };
        actions << [this] {
            peer.send("0");
            return true;
        };
        actions << [this] { return receiveRecord(peer, true); };
        sendRecords();
    }
    actions << [this] {
        if (!fightShown())
            return false;
        peer.forget();
        return true;
    };
    Q_ASSERT(actions.size() == names.size());
}

bool Exchange::sendRecord(int index) {
    const QByteArray& message = records[index];
    peer.send(message);
    if (message.size() > 1024) {
        if (!waitUntilRead(peer, message))
            return false;
    } else {
        QTest::qWait(15); // its own arrival, as a real peer's 200 ms pace gives
    }
    // The joiner's wait before the fight starts with the host's last record.
    return mode == 1 || index + 1 < records.size() || waitActive(2);
}

int Exchange::stepNamed(const QByteArray& name) const {
    return static_cast<int>(names.indexOf(name));
}

void Exchange::replaceRecord(char tag, const QByteArray& message) {
    records[tag - 'A'] = message;
}

bool Exchange::runThrough(int last) {
    for (; done <= last && done < names.size(); ++done) {
        if (!actions[done]()) {
            failed = names[done];
            return false;
        }
    }
    return true;
}

void reportsPeerGone(int mode, bool inFight, int timeoutMs) {
    using screens::recorded;
    if (inFight) {
        QTRY_VERIFY_WITH_TIMEOUT(platform::programEnded(), timeoutMs);
        QCOMPARE(recorded().boxes, QStringList{"The other player has left the match."});
        QCOMPARE(platform::endStatus(), 1);
        return;
    }
    ConnectionScreen* screen = connectionScreen(mode);
    QVERIFY(screen != nullptr);
    const QString lost = QStringLiteral("Connection lost: ");
    QTRY_VERIFY2_WITH_TIMEOUT(screen->txt->text().startsWith(lost), qPrintable(screen->txt->text()),
                              timeoutMs);
    // The reason follows.
    QVERIFY2(screen->txt->text().size() > lost.size(), qPrintable(screen->txt->text()));
    QVERIFY(!screen->tmrTransfer->isActive() && !screen->tmrWait->isActive());
    QVERIFY(screen->isVisible());
    QVERIFY(!Forms::loaded<frmFight>());
    QVERIFY(recorded().boxes.isEmpty() && !platform::programEnded());
}

bool waitUntilRead(Peer& peer, const QByteArray& sent, int timeoutMs) {
    return peer.waitForWritten(timeoutMs) &&
           screens::waitUntil(
               [&sent] {
                   const ConnectionScreen* screen =
                       connectionScreen(1) != nullptr ? connectionScreen(1) : connectionScreen(2);
                   if (screen == nullptr)
                       return false;
                   const std::string& last = screen->lastArrival();
                   return !last.empty() && sent.endsWith(QByteArray::fromRawData(
                                               last.data(), qsizetype(last.size())));
               },
               timeoutMs);
}

} // namespace hostile
