#pragma once

// A practice opponent: one side of a match, played without any window. It makes
// the connection as a host or a joiner and plays the same match as the game's
// screens do, with a player who presses the strongest button once it has seen it
// light up, a person's reaction time later. What is its own: its chicken, that choice of attack,
// and telling what happens as commentary and status lines; the connection does the rest.

#include "net/Connection.h" // the chicken record, the match and its view

#include <QElapsedTimer>

#include <optional>

class Sparring : public QObject, private match::View {
    Q_OBJECT
public:
    static constexpr quint16 MatchPort = wire::MatchPort;

    // Every roll, and every reaction time, draws from `random`.
    Sparring(const ChickenRecord& chicken, RandomSource random, QObject* parent = nullptr);

    // The chicken that comes with the program (Bruno).
    static ChickenRecord sampleChicken();

    // Listens on MatchPort for one joiner and announces the match to the local
    // network until one connects. False, with errorText set, when the port
    // cannot be listened on.
    bool host();
    // Connects to `host` (IPv4, IPv6 or a host name) on `port`. A failure is
    // reported through status and finished(1).
    void join(const QString& host, quint16 port = MatchPort);
    // The joiner's connection was made (whether or not it lasted).
    bool connected() const { return madeConnection; }

    // The two chickens as the match has them (before it: ours, and no opponent).
    const ChickenRecord& own() const;
    const ChickenRecord& opponent() const;
    QString errorText() const;
    // How long the program stays after the match before finished(0), so that
    // the last message is read by the peer before the connection goes.
    int lingerMs = 1000;

signals:
    // One line of commentary, bytes as the rules build them (names are raw bytes).
    void commentary(const QByteArray& line);
    // How the connection and the exchange are getting on, for the person watching.
    void status(const QString& text);
    // 0 when the match has been played to its end, 1 when the connection could
    // not be made or was lost. Emitted once.
    void finished(int exitStatus);

private:
    // The connection for `side`, with the status shown while the opponent's
    // chicken comes in.
    void play(Connection::Side side, const char* receiving);
    void finish(int exitStatus);

    // What the match shows, here as commentary and status lines.
    void statusChanged(const std::string& text) override;
    void chargeBegins(int intervalMs) override;
    void chargeRunning(bool run) override;
    void refreshed() override;
    void actionsOffered(const std::array<bool, 3>& offered) override;
    void commented(const std::string& line) override;
    void ended(match::Result result) override;
    void connectionLost(const std::string& status) override;
    void opponentLeft() override;

    const ChickenRecord ownChicken;
    const RandomSource random;
    QTimer* charge;   // the own charge's tick
    QTimer* reaction; // from an attack on offer to the press of its button
    Connection* connection = nullptr;
    bool done = false; // finished has been emitted
    bool madeConnection = false;
};

// The practice opponent as its program runs it: one match after another, each
// a Sparring of its own with the chicken as it was given, on a connection of
// its own made as the first was. After a match played to its end the host
// listens and announces again for the next joiner, and the joiner connects
// again to the same address and port, every second while that fails (the game
// is not hosting yet), for up to a minute after the match.
class SparringPartner : public QObject {
    Q_OBJECT
public:
    SparringPartner(const ChickenRecord& chicken, RandomSource random, QObject* parent = nullptr);

    // One match, then finished, as a single Sparring does.
    bool once = false;
    // Each match's, as Sparring's.
    int lingerMs = 1000;
    // The joiner's attempts at the next match: how often, and for how long
    // after the last match ended.
    int retryEveryMs = 1000;
    int retryForMs = 60000;

    // As Sparring's host() and join(), for the first match. host() says why
    // it cannot listen in a status line.
    bool host();
    void join(const QString& host, quint16 port);

signals:
    // Each match's, as Sparring's.
    void commentary(const QByteArray& line);
    void status(const QString& text);
    // No more matches. 0 when the last one was played to its end (and the joiner
    // found no host again in time), 1 when a connection could not be made (the
    // first one) or was lost, or the host cannot listen again.
    void finished(int exitStatus);

private:
    // A new match, the one in play from now on.
    Sparring* begin();
    // The next match, in the same role.
    void next();
    void matchFinished(int exitStatus);

    const ChickenRecord chicken;
    const RandomSource random;
    Sparring* match = nullptr;
    bool hosting = true;
    QString joinHost;
    quint16 joinPort = Sparring::MatchPort;
    bool rejoining = false; // the joiner is trying to reach the host after a match
    QElapsedTimer sinceMatch;
};
