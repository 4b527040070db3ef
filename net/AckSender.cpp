#include "net/AckSender.h"

#include <QTimer>

namespace {

// While a message waits for the peer's acknowledgement of what went before, the
// system is asked this often; a healthy peer acknowledges within tens of ms.
constexpr int acknowledgedPollMs = 5;
// An acknowledgement says that the peer's system has the bytes, not that the
// program there has read them. After a resend the acknowledgement comes late, and
// the next message would follow the resent one within a millisecond, to be read
// together with it ("I6" and the ready signal as "I60"). A message that waited for
// an acknowledgement after a resend therefore goes only this long after it was
// seen, so that the peer's program has read what came before. Without a resend it
// goes at once: over a long round trip every step waits for the acknowledgement
// anyway, and a fixed wait on top would only slow the exchange further.
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
    resendsBefore = 0;
    closing = false;
    closed = false;
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
        return writeAcknowledged(data);
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
    if (acknowledgementDue)
        return false;
    return probe.resends() == resendsBefore || !lastAcknowledged ||
           probe.now() - *lastAcknowledged > acknowledgedSpacingMs;
}

bool AckSender::writeAcknowledged(std::string_view data) {
    resendsBefore = probe.resends();
    return write(data);
}

void AckSender::poll() {
    noteAcknowledgement();
    // One message per acknowledgement: each write is due to be acknowledged in turn.
    if (!waiting.empty() && mayWriteAcknowledged()) {
        const std::string bytes = std::move(waiting.front());
        waiting.pop_front();
        if (!writeAcknowledged(bytes)) {
            emit writeFailed();
            return;
        }
    }
    if (closing && !closed && waiting.empty())
        closed = probe.endSending();
    if (waiting.empty() && closing == closed)
        acknowledgedPoll->stop();
    else if (!acknowledgedPoll->isActive())
        acknowledgedPoll->start();
}

bool AckSender::polling() const {
    return acknowledgedPoll->isActive();
}

void AckSender::closeSending() {
    closing = true;
    poll();
}

bool AckSender::write(std::string_view data) {
    // A message that waits its turn after this one asks whether it has been
    // acknowledged; nothing polls while nothing waits.
    acknowledgementDue = true;
    return probe.write(data);
}

void AckSender::finish(int timeoutMs) {
    const qint64 start = probe.now();
    while (probe.settle()) {
        // The poll is not called while this waits: what still waits is written here.
        poll();
        if ((waiting.empty() && probe.unacknowledged() == 0) || probe.now() - start > timeoutMs)
            break;
        probe.pause(finishPauseMs);
    }
    probe.settle();
}
