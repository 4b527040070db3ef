#pragma once

// A practice opponent: one side of a match, played without any window. It makes
// the connection as a host or a joiner, exchanges the two chickens' records with
// the same pacing as the connection screens, and fights as the fight screen
// does with a player who presses the strongest button the moment it lights up.
// The rules, the messages and the data-file reader are those of the core; this
// class only keeps the order of events and the timers.

#include "chicken/ChickenRecord.h"
#include "link/Wire.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>
#include <string_view>

class QTimer;
class Winsock;

class Sparring : public QObject, private wire::Receiver {
    Q_OBJECT
public:
    static constexpr quint16 MatchPort = wire::MatchPort;

    explicit Sparring(const ChickenRecord& chicken, QObject* parent = nullptr);

    // The chicken that comes with the program (Bruno).
    static ChickenRecord sampleChicken();
    // The chicken in a data file. Empty, with `error` set, when the file cannot
    // be read, is not a chicken data file, or holds a cheating chicken.
    static std::optional<ChickenRecord> loadChicken(const QString& path, QString& error);

    // Listens on MatchPort for one joiner. False, with errorText set, when the
    // port cannot be listened on.
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
    enum class Role { None, Host, Join };

    void connectionRequest(qintptr requestID);
    void dataArrival();
    // The peer's messages, one by one.
    bool ended() const override { return over; }
    void onControl(std::string_view word) override;
    void onRecord(const wire::Message& record) override;
    void onCharge(float charge) override;
    void onDamage(int16_t damage) override;
    void transferTick();
    void waitTick();
    // What loading the fight screen does, once: the start line and the charge.
    void startFight();
    void chargeTick();
    // The charge starts again from 1; nothing is ready any more.
    void refresh();
    void attack(int action);
    void damagePath();
    void noDamagePath();
    void comment(const std::string& line);
    // Sends one message as one write; a failed send ends the program with 1.
    bool send(std::string_view message);
    void connectionLost(const QString& reason);
    void matchEnded();
    void finish(int exitStatus);

    Winsock* const link;
    QTimer* const transferTimer;
    QTimer* const waitTimer;
    QTimer* const chargeTimer;

    ChickenRecord ownChicken;
    ChickenRecord opponentChicken;
    Role role = Role::None;
    int16_t transferStep = 0;
    int16_t lastDamage = 0;
    int charge = 0;
    bool fighting = false;
    bool over = false; // the match has ended, or the connection has gone
    bool done = false; // finished has been emitted
};
