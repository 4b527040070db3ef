#pragma once

// A practice opponent: one side of a match, played without any window. It makes
// the connection as a host or a joiner and plays the same match as the game's
// screens do, with a player who presses the strongest button once it has seen it
// light up, a person's reaction time later. What is its own: its chicken, that choice of attack,
// and telling what happens as commentary and status lines; the connection does the rest.

#include "net/Connection.h" // the chicken record, the match and its view

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

    const ChickenRecord& own() const { return ownChicken; }
    const ChickenRecord& opponent() const { return opponentChicken; }
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

    ChickenRecord ownChicken;
    ChickenRecord opponentChicken;
    const RandomSource random;
    QTimer* charge;   // the own charge's tick
    QTimer* reaction; // from an attack on offer to the press of its button
    Connection* connection = nullptr;
    bool done = false; // finished has been emitted
};
