#include "core/Match.h"

#include "core/Rules.h"

#include <cmath>
#include <utility>

namespace match {

Match::Match(const ChickenRecord& own, const ChickenRecord& opponent, Role sides, Link* connection,
             View& shown, RandomSource draws)
    : ownRecord(own), opponentRecord(opponent), role(std::move(sides)), link(connection),
      view(shown), random(std::move(draws)) {}

bool Match::ended() const {
    return finished || view.halted();
}

bool Match::send(std::string_view message, bool afterAcknowledged) {
    // After the own finishing blow, and after the end, nothing more goes out.
    if (awaiting || finished)
        return false;
    const bool sent = link != nullptr && (afterAcknowledged ? link->sendAfterAcknowledged(message)
                                                            : link->send(message));
    if (!sent)
        connectionLost();
    return sent;
}

// The exchange

void Match::joinerTaken(std::string_view firstArrival) {
    view.statusChanged(role.acceptedStatus);
    receive(firstArrival);
}

void Match::arrival(std::string_view bytes) {
    receive(bytes);
}

void Match::transferTick() {
    // On a lossy link the last record message may still wait for the peer's
    // acknowledgement. The exchange then waits with it: a step goes on only once
    // the message before has been written, so the turn passes and the wait before
    // the fight starts only after the last record has really gone out.
    if (link != nullptr && link->holdsBack())
        return;
    const int16_t current = step;
    step = static_cast<int16_t>(current + 1);
    if (const auto message = wire::recordMessage(ownRecord, current)) {
        send(*message, true);
    } else if (current == wire::TransferEndStep) {
        view.statusChanged(role.sentStatus);
        view.transferRunning(false);
        if (role.handsOverTurn)
            send(wire::Ready, true);
        else
            view.waitRunning(true);
    } else {
        // A ready signal after the exchange has nothing left to send; counting on
        // would only bring the step round to 0 again hours later.
        view.transferRunning(false);
    }
}

void Match::waitEnded() {
    view.waitRunning(false);
    openFight();
}

void Match::onControl(std::string_view word) {
    if (word == wire::Ready) {
        view.statusChanged(role.sendingStatus);
        view.transferRunning(true);
    } else if (word == wire::Probe) {
        send(wire::Answer);
    } else if (word == wire::Refusal) {
        openFight();
        view.commented(rules::refusalLine(opponentRecord.Name));
    }
}

void Match::onRecord(const wire::Message& record) {
    wire::applyRecord(record, opponentRecord);
    if (record.tag == 'I' && !role.receivedStatus.empty()) {
        view.statusChanged(role.receivedStatus);
        view.waitRunning(true);
    }
}

// The fight

void Match::openFight() {
    if (opened || finished)
        return;
    opened = true;
    view.fightOpened();
    charge = 0;
    view.chargeBegins(rules::chargeInterval(ownRecord.Speed));
    view.commented(rules::startLine(ownRecord.Name, opponentRecord.Name));
}

void Match::chargeTick() {
    ++charge;
    view.chargeShown(charge);
    if (!send(wire::chargeMessage(static_cast<float>(charge))))
        return;
    if (charge != rules::FullCharge)
        return;
    if (rules::rollRefusal(ownRecord, random)) {
        // The charge runs on through a refusal, so the next one keeps the beat
        // instead of starting one interval after this tick.
        view.commented(rules::refusalLine(ownRecord.Name));
        if (send(wire::Refusal))
            refresh();
        return;
    }
    view.chargeRunning(false);
    std::array<bool, 3> offered{};
    for (int action : {rules::Kick, rules::Peck, rules::Combo})
        offered[static_cast<size_t>(action)] = rules::actionAvailable(ownRecord, action);
    view.actionsOffered(offered);
}

void Match::refresh() {
    charge = 1;
    view.refreshed();
}

void Match::action(int index) {
    // A click already on its way when the match was decided counts for nothing.
    if (awaiting || ended())
        return;
    refresh();
    if (index < rules::Kick || index > rules::Combo)
        return;
    damage = rules::rollAttack(ownRecord, opponentRecord, index, random);
    if (rules::isHit(damage))
        hit();
    else
        miss();
}

void Match::hit() {
    if (!send(wire::damageMessage(damage)))
        return;
    opponentRecord.HitPoints = rules::lowerHitPoints(opponentRecord.HitPoints, damage);
    view.commented(rules::rollHitLine(ownRecord.Name, opponentRecord.Name, damage, random));
    refresh();
    view.sound(Sound::Hit);
    if (rules::isDefeated(opponentRecord.HitPoints))
        awaitResult();
}

void Match::miss() {
    view.sound(Sound::Deflect);
    view.commented(rules::rollMissLine(ownRecord.Name, random));
    refresh();
}

void Match::onCharge(float value) {
    openFight();
    // readArrival gives only values the bar takes (0 to 10).
    view.opponentChargeShown(static_cast<int>(std::lround(value)));
}

void Match::onDamage(int16_t value) {
    openFight();
    damage = value;
    if (rules::isHit(damage))
        hitReceived();
    else
        missReceived();
}

void Match::hitReceived() {
    ownRecord.HitPoints = rules::lowerHitPoints(ownRecord.HitPoints, damage);
    view.commented(rules::rollHitLine(opponentRecord.Name, ownRecord.Name, damage, random));
    view.hitPointsShown();
    view.sound(Sound::Hit);
    // A finishing blow that arrives after ours crossed it: the peer sent it
    // before it read ours, and settles the match the same way.
    if (rules::isDefeated(ownRecord.HitPoints))
        finish(awaiting ? Result::Draw : Result::Lost);
}

void Match::missReceived() {
    view.sound(Sound::Deflect);
    view.commented(rules::rollMissLine(opponentRecord.Name, random));
    if (!awaiting)
        refresh();
}

// The ends

void Match::awaitResult() {
    // The peer either reads this blow and sends nothing more, or sent its own
    // finishing blow before it could: both ends of that are seen here, on one
    // connection, before its stream ends.
    awaiting = true;
    view.chargeRunning(false);
    view.actionsOffered({});
    if (link != nullptr)
        link->closeSending();
    view.resultBoundBegins(ResultBoundMs);
}

void Match::resultBoundPassed() {
    if (awaiting && !ended())
        finish(Result::Won);
}

void Match::finish(Result result) {
    // From here on the peer's going away is the normal end of the match.
    finished = true;
    if (!awaiting && link != nullptr)
        link->closeSending();
    awaiting = false;
    view.chargeRunning(false);
    if (result != Result::Draw)
        view.commented(
            rules::winLine(result == Result::Won ? ownRecord.Name : opponentRecord.Name));
    view.ended(result);
}

void Match::connectionLost() {
    if (ended())
        return;
    if (awaiting) {
        // The peer's stream ended after our finishing blow: nothing crossed it.
        finish(Result::Won);
        return;
    }
    if (opened) {
        leave();
        return;
    }
    view.transferRunning(false);
    view.waitRunning(false);
    view.connectionLost("Connection lost: " + (link != nullptr ? link->reason() : std::string()));
}

void Match::leave() {
    finished = true;
    view.chargeRunning(false);
    view.actionsOffered({});
    view.opponentLeft();
}

void Match::quit() {
    if (finished)
        return;
    finished = true;
    view.chargeRunning(false);
}

} // namespace match
