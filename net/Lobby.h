#pragma once

// Where the host's new connections wait until they show they are a joiner.
// While the host waits, its port is open to anyone who finds it (with the
// router's mapping, the whole internet): scanners, web requests, floods. Each
// new connection is greeted with the ready signal and judged by its first
// arrival: the one that answers with the first record message is the joiner
// and is handed on; anything else (junk, a close, silence for JudgeMs) is a
// stray, closed quietly, and the host goes on waiting as if it had never come.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <string_view>
#include <vector>

class Lobby : public QObject {
    Q_OBJECT
public:
    // At most this many connections are judged at once; beyond that the oldest
    // of the address that holds the most goes, so that a flood from one place
    // does not push out a friend from another.
    static constexpr int Seats = 8;
    // A connection that has sent nothing by then is a stray.
    static constexpr int JudgeMs = 10000;

    // `greeting` goes to each connection as it comes in; `opens` tells whether
    // a first arrival is a joiner's.
    Lobby(std::string_view greeting, bool (*opens)(std::string_view), QObject* parent = nullptr,
          int judgeMs = JudgeMs);
    // Closes every connection still being judged.
    ~Lobby() override;

    // A new connection, its descriptor now owned by the lobby.
    void admit(qintptr descriptor);
    // Closes every connection being judged.
    void clear();
    int judged() const { return int(guests.size()); }

signals:
    // The first connection whose first arrival was a joiner's: its descriptor
    // is the receiver's from now on, and `firstArrival` is what it sent.
    void joinerFound(qintptr descriptor, const QByteArray& firstArrival);

private:
    struct Guest;

    void read(int descriptor);
    void drop(std::vector<std::unique_ptr<Guest>>::iterator guest, const QString& why);
    void crowdOut();
    void timeOut();
    void armTimer();

    const QByteArray greeting;
    bool (*const opens)(std::string_view);
    const int judging;                          // ms a guest has to show it is a joiner
    std::vector<std::unique_ptr<Guest>> guests; // oldest first
    QElapsedTimer clock;                        // when each guest came
    QTimer deadline;                            // the oldest guest's time is up
};
