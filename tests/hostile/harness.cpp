#include "harness.h"

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

ConnectionScreen* connectionScreen(int mode) {
    if (mode == 1)
        return Forms::loaded<frmWinsock1>() ? &Forms::get<frmWinsock1>() : nullptr;
    return Forms::loaded<frmWinSock2>() ? &Forms::get<frmWinSock2>() : nullptr;
}

namespace {

// The program's turn of sending: exactly `expected` (its ready signal, or its
// nine record messages of Vars::OwnChicken and, when it joins, its ready signal
// after them). Forgotten once checked.
bool receive(Peer& peer, const QByteArray& expected) {
    if (!peer.waitForBytes(expected.size(), 10000) || peer.received() != expected)
        return false;
    peer.forget();
    return true;
}

QByteArray ownRecord() {
    return screens::recordMessages(Vars::OwnChicken).join();
}

bool waitActive(int mode) {
    return screens::waitUntil([mode] {
        const ConnectionScreen* screen = connectionScreen(mode);
        return screen != nullptr && screen->tmrWait->isActive();
    });
}

} // namespace

Exchange::Exchange(Peer& scriptedPeer, int gameMode, const ChickenRecord& peerChicken)
    : peer(scriptedPeer), mode(gameMode), records(screens::recordMessages(peerChicken)) {
    // Each step is named for what the peer has just done.
    const auto sendReady = [this] {
        peer.send("0");
        return true;
    };
    const auto sendRecords = [this] {
        for (int i = 0; i < records.size(); ++i)
            steps << Step{"sent " + QByteArray(1, char('A' + i)),
                          [this, i] { return sendRecord(i); }};
    };
    if (mode == 1) {
        steps << Step{"connected", [this] {
                          Vars::GameMode = 1;
                          Forms::show<frmWinsock1>();
                          return peer.connectToProgram();
                      }};
        steps << Step{"got 0", [this] { return receive(peer, "0"); }};
        sendRecords();
        steps << Step{"sent 0", sendReady};
        // The program's record, then the one-second wait before its fight.
        steps << Step{"got record", [this] { return receive(peer, ownRecord()) && waitActive(1); }};
    } else {
        steps << Step{"accepted", [this] { return screens::joinMatch(peer); }};
        steps << Step{"sent 0", sendReady};
        steps << Step{"got record", [this] { return receive(peer, ownRecord() + "0"); }};
        sendRecords();
    }
    steps << Step{"fight", [this] {
                      const bool shown = screens::waitUntil([] {
                          return Forms::loaded<frmFight>() && Forms::get<frmFight>().isVisible();
                      });
                      peer.forget();
                      return shown;
                  }};
}

bool Exchange::sendRecord(int index) {
    const QByteArray& message = records[index];
    peer.send(message);
    if (message.size() <= 1024)
        QTest::qWait(15); // its own arrival, as a real peer's 200 ms pace gives
    else if (!waitUntilRead(peer, message))
        return false;
    // The joiner's wait before the fight starts with the host's last record.
    return mode == 1 || index + 1 < records.size() || waitActive(2);
}

void Exchange::replaceRecord(char tag, const QByteArray& message) {
    records[tag - 'A'] = message;
}

bool Exchange::runThrough(const QByteArray& last) {
    const auto end = std::find_if(steps.begin(), steps.end(),
                                  [&last](const Step& step) { return step.name == last; });
    for (; done <= end - steps.begin() && done < steps.size(); ++done) {
        if (!steps[done].action()) {
            failed = steps[done].name;
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
    QTRY_VERIFY2_WITH_TIMEOUT(screen->txt->text().startsWith(lost) && // the reason follows
                                  screen->txt->text().size() > lost.size(),
                              qPrintable(screen->txt->text()), timeoutMs);
    QVERIFY(!screen->tmrTransfer->isActive() && !screen->tmrWait->isActive());
    QVERIFY(screen->isVisible() && !Forms::loaded<frmFight>());
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
