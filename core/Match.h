#pragma once

// One side of a live match, from the connection to its end: the exchange of the
// two records, the wait before the fight, the own charge and refusals, attacks
// both ways, hit points and the end. It knows nothing of windows, timers or
// sockets: events come in as calls, and what follows goes out through a Link
// (the messages) and a View (everything the player sees and hears, and which
// timers run). The game's screens and the practice opponent are its front ends.
//
// Every rule and every message comes from the core (rules::, wire::); every roll
// draws from the random source handed in.

#include "core/ChickenRecord.h"
#include "core/Random.h"
#include "core/Wire.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace match {

// The connection the match sends on.
class Link {
public:
    virtual ~Link() = default;
    // One message, as one write, at once. False when it cannot be sent.
    virtual bool send(std::string_view message) = 0;
    // One message of the record exchange: written once everything written before
    // it has reached the peer, so that it can never merge with its neighbours.
    virtual bool sendAfterAcknowledged(std::string_view message) { return send(message); }
    // True while a message given to sendAfterAcknowledged still waits to be written.
    virtual bool holdsBack() const { return false; }
    // Why the connection failed or went, for the status line.
    virtual std::string reason() const = 0;
    // Nothing more will be sent: the peer may read the end of our stream while
    // the connection stays open for reading what it still sends.
    virtual void closeSending() {}
};

enum class Sound { Hit, Deflect };

// How the match ended on this side. Draw: both finishing blows crossed on the way.
enum class Result { Won, Lost, Draw };

// What the match reports. Every call has a default that does nothing, so a
// front end implements only what it shows.
class View {
public:
    virtual ~View() = default;

    // The connection screen's status line.
    virtual void statusChanged(const std::string& /*text*/) {}
    // The record transfer's tick: true starts it (again, from now), false stops it.
    virtual void transferRunning(bool /*run*/) {}
    // The wait before the fight: true starts it, false stops it.
    virtual void waitRunning(bool /*run*/) {}
    // The fight begins on this side: before the wait is over when the peer's
    // first fight message comes early.
    virtual void fightOpened() {}
    // The own charge starts from nothing with this tick interval.
    virtual void chargeBegins(int /*intervalMs*/) {}
    // True: the charge ticks (a tick already running keeps its beat); false: it stops.
    virtual void chargeRunning(bool /*run*/) {}
    virtual void chargeShown(int /*charge*/) {}
    // The charge is back at 1 and ticking (a tick already running keeps its
    // beat), nothing is on offer, and both hit points are shown again.
    virtual void refreshed() {}
    virtual void opponentChargeShown(int /*charge*/) {}
    // Which of Kick, Peck and Combo are on offer (all false: none).
    virtual void actionsOffered(const std::array<bool, 3>& /*offered*/) {}
    virtual void hitPointsShown() {}
    // A line of commentary: bytes, names as they came.
    virtual void commented(const std::string& /*line*/) {}
    virtual void sound(Sound /*cue*/) {}
    // The own finishing blow has gone; the result waits for the peer's stream to
    // end, and for at most boundMs, after which Match::resultBoundPassed is due.
    virtual void resultBoundBegins(int /*boundMs*/) {}
    // The match has been played to its end on this side.
    virtual void ended(Result /*result*/) {}
    // The connection went before the fight; the status says why.
    virtual void connectionLost(const std::string& /*status*/) {}
    // The connection went during the fight.
    virtual void opponentLeft() {}
    // True once nothing more may be handled (the program is ending).
    virtual bool halted() const { return false; }
};

class Match : private wire::Receiver {
public:
    // Where the host's and the joiner's sides of the exchange differ.
    struct Role {
        // Status once the joiner's connection has been taken (the host).
        std::string acceptedStatus;
        // Status once the peer's ready signal hands us the turn of sending.
        std::string sendingStatus;
        // Status after the own last record message.
        std::string sentStatus;
        // True: the end of the own records hands the turn to the peer with the
        // ready signal (the joiner sends first). False: it starts the wait.
        bool handsOverTurn = false;
        // Non-empty: the peer's last record message ends the exchange on this
        // side, shows this status and starts the wait (the joiner).
        std::string receivedStatus;
    };

    // The match plays with copies of `own` and `opponent`: it fills in the
    // opponent's from the record messages and lowers both hit points, and the
    // records it was given stay as they are. `link` may be null: nothing can be
    // sent then. Every roll draws from `random`.
    Match(const ChickenRecord& own, const ChickenRecord& opponent, Role role, Link* link,
          View& view, RandomSource random);

    // How long a side that has sent its finishing blow waits for the peer's
    // stream to end, or for a finishing blow that crossed its own, before it wins.
    static constexpr int ResultBoundMs = 1800;

    // The host has taken the joiner's connection: the one that answered its
    // ready signal with the first record message, `firstArrival` (see
    // wire::opensExchange).
    void joinerTaken(std::string_view firstArrival);
    // Everything that arrived on the connection at once.
    void arrival(std::string_view bytes);
    void transferTick();
    void waitEnded();
    // The fight begins on this side; the second and later calls change nothing.
    void openFight();
    void chargeTick();
    // The player chose Kick, Peck or Combo (any other number only refreshes).
    void action(int index);
    // The connection went, or the peer's stream ended.
    void connectionLost();
    // Nothing has come since the own finishing blow: the match is won.
    void resultBoundPassed();
    // The player leaves in the middle of the match.
    void quit();

    bool fighting() const { return opened; }
    bool over() const { return finished; }
    // The own finishing blow has gone; the result waits for the peer's stream.
    bool awaitingResult() const { return awaiting; }
    int16_t lastDamage() const { return damage; }
    int16_t transferStep() const { return step; }
    const ChickenRecord& own() const { return ownRecord; }
    const ChickenRecord& opponent() const { return opponentRecord; }

private:
    bool ended() const override;
    void onControl(std::string_view word) override;
    void onRecord(const wire::Message& record) override;
    void onCharge(float charge) override;
    void onDamage(int16_t value) override;

    // One message; the record exchange's wait for the peer's acknowledgement
    // first. A failed send counts as a lost connection.
    bool send(std::string_view message, bool afterAcknowledged = false);
    // The charge starts again from 1, nothing is on offer, hit points are shown.
    void refresh();
    void hit();
    void miss();
    void hitReceived();
    void missReceived();
    // The own finishing blow has gone: nothing more is sent, and the result
    // waits until nothing more can arrive.
    void awaitResult();
    void finish(Result result);
    void leave();

    ChickenRecord ownRecord;
    ChickenRecord opponentRecord;
    const Role role;
    Link* const link;
    View& view;
    const RandomSource random;

    int16_t step = 0;   // the record transfer's step
    int charge = 0;     // the own charge
    int16_t damage = 0; // the last attack's result, sent or received
    bool opened = false;
    bool finished = false;
    bool awaiting = false; // the own finishing blow has gone; the result is still open
};

} // namespace match
