#include "link/AckSender.h"

#include <QTimer>

namespace {

// While a message waits for the peer's acknowledgement of what went before, the
// system is asked this often; a healthy peer acknowledges within tens of ms.
constexpr int acknowledgedPollMs = 5;
// An acknowledgement says that the peer's system has the bytes, not that the
// program there has read them: on a fast link it comes back within microseconds,
// and after a resend the next message would follow the resent one within a
// millisecond, to be read together with it. A message that waits for the
// acknowledgement therefore goes only this long after it was seen, so that the
// peer's program has read what came before, as it would on a healthy link. On a
// healthy link the acknowledgement comes long before the next 200 ms step.
constexpr qint64 acknowledgedSpacingMs = 100;
// While finishing, how long to wait for arrivals between two looks.
constexpr int finishPauseMs = 5;

} // namespace

AckSender::AckSender(SendProbe& connection)
    : probe(connection), acknowledgedPoll(new QTimer(this)) {
    acknowledgedPoll->setInterval(acknowledgedPollMs);
    acknowledgedPoll->setTimerType(Qt::PreciseTimer);
    connect(acknowledgedPoll, &QTimer::timeout, this, &AckSender::poll);
}

void AckSender::reset() {
    waiting.clear();
    acknowledgedPoll->stop();
    acknowledgementDue = false;
    lastAcknowledged.reset();
}

bool AckSender::send(std::string_view data) {
    if (waiting.empty())
        return write(data);
    // Written right behind the held-back message, it would be resent with it
    // should that be lost, and read with it as one.
    waiting.emplace_back(data);
    return true;
}

bool AckSender::sendWhenAcknowledged(std::string_view data) {
    if (waiting.empty() && mayWriteAcknowledged())
        return write(data);
    waiting.emplace_back(data);
    acknowledgedPoll->start();
    return true;
}

void AckSender::noteAcknowledgement() {
    if (acknowledgementDue && probe.unacknowledged() == 0) {
        acknowledgementDue = false;
        lastAcknowledged = probe.now();
    }
}

bool AckSender::mayWriteAcknowledged() {
    noteAcknowledgement();
    return !acknowledgementDue &&
           (!lastAcknowledged || probe.now() - *lastAcknowledged > acknowledgedSpacingMs);
}

void AckSender::poll() {
    noteAcknowledgement();
    // One message per acknowledgement: each write is due to be acknowledged in turn.
    if (!waiting.empty() && mayWriteAcknowledged()) {
        const std::string bytes = std::move(waiting.front());
        waiting.pop_front();
        if (!write(bytes)) {
            emit writeFailed();
            return;
        }
    }
    if (waiting.empty() && !acknowledgementDue)
        acknowledgedPoll->stop();
}

bool AckSender::write(std::string_view data) {
    // The poll watches for the acknowledgement of this write, whatever kind of
    // message it is, so that a message after it knows when it came.
    acknowledgementDue = true;
    acknowledgedPoll->start();
    return probe.write(data);
}

void AckSender::finish(int timeoutMs) {
    const qint64 start = probe.now();
    while (probe.settle()) {
        if (probe.unacknowledged() == 0 || probe.now() - start > timeoutMs)
            break;
        probe.pause(finishPauseMs);
    }
    probe.settle();
}
