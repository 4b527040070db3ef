#pragma once

// The other side of a match, scripted by a test: a plain TCP socket on the match
// port that sends exact bytes and records every byte it receives with the time
// it arrived. Plus the set-up every screen suite shares.

#include "common/fixtures.h"
#include "core/ChickenRecord.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTcpSocket>
#include <QTest>

#include <functional>
#include <utility>

class QTcpServer;

class Peer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 Port = 1425;

    Peer() { clock.start(); }
    ~Peer() override { close(); }

    // As the joiner: connects to the program listening on the loopback address.
    bool connectToProgram();
    // As the host: listens for the program; waitForProgram takes its connection.
    bool listen(quint16 port = Port);
    bool waitForProgram();

    // One write, handed to the system at once.
    void send(const QByteArray& message) {
        socket->write(message);
        socket->flush();
    }
    // Waits until everything written so far has been handed to the system (a
    // large write leaves in pieces as the program reads).
    bool waitForWritten(int timeoutMs = 10000) {
        return QTest::qWaitFor([this] { return socket == nullptr || socket->bytesToWrite() == 0; },
                               timeoutMs);
    }
    // Each message as its own arrival (a short pause after each).
    void sendEach(const QList<QByteArray>& messages);
    void close();

    // Everything received since the connection or the last forget(), as one stream.
    QByteArray received() const { return stream; }
    void forget() {
        stream.clear();
        arrivals.clear();
    }
    // Waits until at least `count` bytes have been received.
    bool waitForBytes(qsizetype count, int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return stream.size() >= count; }, timeoutMs);
    }
    // Milliseconds on the peer's clock at which the byte at `offset` arrived.
    qint64 arrivalMs(qsizetype offset) const;
    qint64 nowMs() const { return clock.elapsed(); }
    bool waitForClose(int timeoutMs = 5000) {
        return QTest::qWaitFor([this] { return closed; }, timeoutMs);
    }

signals:
    // Bytes have been added to received().
    void arrived();

private:
    void adopt(QTcpSocket* connection);

    QTcpServer* server = nullptr;
    QTcpSocket* socket = nullptr;
    QElapsedTimer clock;
    QByteArray stream;
    QList<std::pair<qsizetype, qint64>> arrivals; // first offset of each read, its time
    bool closed = false;
};

namespace screens {

// What the program showed and did through its seams during a test.
struct Recorded {
    QStringList boxes;      // texts of message boxes
    QStringList captions;   // their captions
    QStringList sounds;     // file names of the sounds played
    bool playAgain = false; // what the boxes at the end of a match choose
};
Recorded& recorded();

// Puts everything back between cases: screens, globals, seams and the random
// source, the user's config folder. Boxes, the end of the program and sounds are
// recorded, not done.
void resetAll();

// A table of plain structs, each with a `name`, as the rows of a data function;
// row() gives the current case's struct.
template <typename Row, size_t N> void addRows(const Row (&rows)[N]) {
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < N; ++i)
        QTest::newRow(rows[i].name) << int(i);
}
template <typename Row, size_t N> const Row& row(const Row (&rows)[N]) {
    return rows[*static_cast<const int*>(QTest::qData("row", qMetaTypeId<int>()))];
}

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// A fighter with kick 12, peck 8, portrait 4 and skills 5 and 6, the rest given.
inline ChickenRecord chicken(const char* name, int16_t hitPoints, int16_t speed = 100,
                             int16_t obedience = 100) {
    return fixture::chicken(name, {12, 8, speed, obedience, hitPoints, 4, 5, 6});
}
using fixture::recordMessages;
inline QByteArray joined(const QList<QByteArray>& messages) {
    return messages.join();
}

// The program hosts (GameMode 1) and `peer` joins; returns once the ready
// signal has reached the peer (then forgotten) and the name record it answered
// with has made it the joiner.
bool hostMatch(Peer& peer);
// The program joins (GameMode 2) `peer`, which hosts.
bool joinMatch(Peer& peer);
// Either, by role: 1 hosts, 2 joins.
inline bool startMatch(Peer& peer, int gameMode) {
    return gameMode == 1 ? hostMatch(peer) : joinMatch(peer);
}

// The gaps in ms between the arrivals of consecutive messages, which the peer
// received in this order starting at offset `from` of its stream.
QList<qint64> gaps(const Peer& peer, const QList<QByteArray>& messages, qsizetype from = 0);
// True when every gap lies within [low, high]; the gaps are put in `what`.
bool within(const QList<qint64>& gaps, qint64 low, qint64 high, QByteArray& what);

} // namespace screens
