#pragma once

// The glue between one match and the network, written once for every front end
// of the match (the host and join screens, the practice opponent): the socket
// control, the host's announcements, the transfer and wait timers, accepting a
// joiner, reading arrivals, the match log and the last sends. The front end
// wires the events to it, shows what the match reports (a match::View), runs
// the charge timer and decides how the program ends.

#include "core/Match.h"
#include "core/Random.h"

#include <QObject>
#include <QString>

#include <string>

class Announcer;
class Lobby;
class QTimer;
class Winsock;

// The match's messages, written on a socket control.
class SocketLink final : public match::Link {
public:
    explicit SocketLink(Winsock& control) : socket(control) {}

    bool send(std::string_view message) override;
    bool sendAfterAcknowledged(std::string_view message) override;
    bool holdsBack() const override;
    void closeSending() override;
    std::string reason() const override;

private:
    Winsock& socket;
};

// Starts `timer` or stops it; a timer already running keeps its beat.
void runKeepingBeat(QTimer* timer, bool run);

class Connection : public QObject, private match::View {
    Q_OBJECT
public:
    enum class Side { Host, Joiner };

    // The status line through the making of the connection and the exchange.
    struct Statuses {
        std::string waiting;   // the host listens for a joiner
        std::string receiving; // the opponent's record is on its way
        std::string sending;   // our own record is
        std::string complete;  // both are here: the fight starts after the wait
    };

    // The match starts from copies of `own` and `opponent`; `shown` must outlive
    // the connection. The
    // connection makes the socket control, the host's announcer and the transfer
    // and wait timers. Every front end wires them the same way: the socket's
    // connection requests to accept(), its arrivals to dataArrival(), the timers'
    // ticks to the match's transferTick() and waitEnded(); and it runs its own
    // charge timer as the match tells it (chargeBegins, chargeRunning, refreshed).
    Connection(Side side, Statuses statuses, const ChickenRecord& own,
               const ChickenRecord& opponent, RandomSource random, match::View& shown,
               QObject* parent = nullptr);
    ~Connection() override;

    // Listens on, or connects to, the match port.
    Winsock* socket() const { return control; }
    // The host's announcer; null for the joiner.
    Announcer* announcer() const { return beacon; }
    QTimer* transferTimer() const { return transfer; }
    QTimer* waitTimer() const { return wait; }
    match::Match& game() { return played; }
    const match::Match& game() const { return played; }

    // Listens for a joiner and announces the match. False, with the socket's
    // ErrorText, when the port cannot be listened on.
    bool listen();
    // The same, telling the front end: the waiting status, or why not.
    void host();
    // A new connection (the host): greeted with the ready signal and judged. The
    // first to answer with its record is the joiner: then, and only then, the
    // announcements and listening stop, every other connection is closed, and
    // the exchange goes on. The rest (junk, a close, silence) are closed
    // quietly while the host goes on waiting.
    void accept(qintptr requestID);
    // Everything waiting on the connection is one arrival.
    void dataArrival();
    const std::string& lastArrival() const { return received; }
    // No more announcements, and the transfer and wait timers stop.
    void stop();
    // Before the program ends: waits, at most timeoutMs, until the peer has
    // everything sent.
    void finishSending(int timeoutMs);

signals:
    // The host starts waiting for a joiner (listening) or stops: a joiner is
    // taken, or the connection stops. Strays come and go without a word. A host screen asks its
    // router to let friends on the internet in for as long as it waits.
    void waitingForJoiner(bool waiting);

private:
    void statusChanged(const std::string& text) override;
    void transferRunning(bool run) override;
    void waitRunning(bool run) override;
    void fightOpened() override;
    void chargeBegins(int intervalMs) override;
    void chargeRunning(bool run) override;
    void chargeShown(int charge) override;
    void refreshed() override;
    void opponentChargeShown(int charge) override;
    void actionsOffered(const std::array<bool, 3>& offered) override;
    void hitPointsShown() override;
    void commented(const std::string& line) override;
    void sound(match::Sound cue) override;
    void resultBoundBegins(int boundMs) override;
    void ended(match::Result result) override;
    void connectionLost(const std::string& status) override;
    void opponentLeft() override;
    bool halted() const override;

    static match::Match::Role role(Side side, const Statuses& statuses);
    void takeJoiner(qintptr descriptor, const QByteArray& firstArrival);

    Winsock* const control;
    Announcer* const beacon;
    Lobby* const lobby; // the host's connections being judged
    QTimer* const transfer;
    QTimer* const wait;
    SocketLink link;
    match::View& front;
    const Statuses texts;
    match::Match played;  // after everything it is handed
    std::string received; // the most recent arrival
};
