#pragma once

// A practice opponent: one side of a match, played without any window. It makes
// the connection as a host or a joiner and plays the same match as the game's
// screens do, with a player who presses the strongest button the moment it
// lights up. This class only makes the connection, runs the match's timers and
// tells what happens as commentary and status lines.

#include "chicken/ChickenRecord.h"
#include "fight/Match.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>

class Announcer;
class QTimer;
class Winsock;

class Sparring : public QObject, private match::View {
    Q_OBJECT
public:
    static constexpr quint16 MatchPort = wire::MatchPort;

    explicit Sparring(const ChickenRecord& chicken, QObject* parent = nullptr);

    // The chicken that comes with the program (Bruno).
    static ChickenRecord sampleChicken();
    // The chicken in a data file. Empty, with `error` set, when the file cannot
    // be read, is not a chicken data file, or holds a cheating chicken.
    static std::optional<ChickenRecord> loadChicken(const QString& path, QString& error);

    // Listens on MatchPort for one joiner and announces the match to the local
    // network until one connects. False, with errorText set, when the port
    // cannot be listened on.
    bool host();
    // Connects to `address` (IPv4, IPv6 or a host name) on MatchPort. A failure
    // is reported through status and finished(1).
    void join(const QString& address);

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
    void connectionRequest(qintptr requestID);
    void dataArrival();
    void connectionFailed(const QString& reason);
    void finish(int exitStatus);

    // What the match shows, here as commentary, status lines and timers.
    match::View& view() { return *this; }
    void statusChanged(const std::string& text) override;
    void transferRunning(bool run) override;
    void waitRunning(bool run) override;
    void fightOpened() override;
    void chargeBegins(int intervalMs) override;
    void chargeRunning(bool run) override;
    void refreshed() override;
    void actionsOffered(const std::array<bool, 3>& offered) override;
    void commented(const std::string& line) override;
    void resultBoundBegins(int boundMs) override;
    void ended(match::Result result) override;
    void connectionLost(const std::string& status) override;
    void opponentLeft() override;
    void waitForNextJoiner() override;

    Winsock* const link;
    Announcer* const announcer;
    QTimer* const transferTimer;
    QTimer* const waitTimer;
    QTimer* const chargeTimer;

    ChickenRecord ownChicken;
    ChickenRecord opponentChicken;
    std::unique_ptr<match::Match> game;
    std::string received; // the most recent arrival
    bool done = false;    // finished has been emitted
};
