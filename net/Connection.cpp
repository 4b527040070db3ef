#include "net/Connection.h"

#include "core/Wire.h"
#include "net/Lan.h"
#include "net/Lobby.h"
#include "net/MatchLog.h"
#include "net/Winsock.h"

#include <QTimer>

#include <utility>

bool SocketLink::send(std::string_view message) {
    return socket.SendData(message);
}

bool SocketLink::sendAfterAcknowledged(std::string_view message) {
    return socket.SendWhenAcknowledged(message);
}

bool SocketLink::holdsBack() const {
    return socket.Queued() > 0;
}

void SocketLink::closeSending() {
    // A half-close once what waits has been written: the peer reads the end of
    // our stream at once, and we go on reading its stream to its end.
    socket.CloseSending();
}

std::string SocketLink::reason() const {
    return socket.ErrorText().toStdString();
}

void runKeepingBeat(QTimer* timer, bool run) {
    if (!run)
        timer->stop();
    else if (!timer->isActive())
        timer->start();
}

namespace {

QTimer* timer(QObject* parent, int interval) {
    auto* t = new QTimer(parent);
    t->setInterval(interval);
    // Coarse timers may fire 5% early; the one-second wait before the fight
    // keeps the time it was given.
    t->setTimerType(Qt::PreciseTimer);
    return t;
}

// Starts `timer` afresh, or stops it.
void restart(QTimer* timer, bool run) {
    if (run)
        timer->start();
    else
        timer->stop();
}

} // namespace

match::Match::Role Connection::role(Side side, const Statuses& statuses) {
    if (side == Side::Host)
        return {.acceptedStatus = statuses.receiving,
                .sendingStatus = statuses.sending,
                .sentStatus = statuses.complete,
                .handsOverTurn = false,
                .receivedStatus = {}};
    // The joiner sends first and hands the turn to the host.
    return {.acceptedStatus = {},
            .sendingStatus = statuses.sending,
            .sentStatus = statuses.receiving,
            .handsOverTurn = true,
            .receivedStatus = statuses.complete};
}

Connection::Connection(Side side, Statuses statuses, const ChickenRecord& own,
                       const ChickenRecord& opponent, RandomSource random, match::View& shown,
                       QObject* parent)
    : QObject(parent), control(new Winsock(this)),
      beacon(side == Side::Host ? new Announcer(this) : nullptr),
      lobby(side == Side::Host ? new Lobby(wire::Ready, wire::opensExchange, this) : nullptr),
      transfer(timer(this, wire::TransferTickMs)), wait(timer(this, wire::WaitBeforeFightMs)),
      link(*control), front(shown), texts(std::move(statuses)),
      played(own, opponent, role(side, texts), &link, *this, std::move(random)) {
    if (side == Side::Host) {
        control->LocalPort = wire::MatchPort;
        connect(lobby, &Lobby::joinerFound, this, &Connection::takeJoiner);
    } else
        control->RemotePort = wire::MatchPort;
    connect(control, &Winsock::ConnectionLost, this, [this] { played.connectionLost(); });
    connect(control, &Winsock::ConnectFailed, this, [this](const QString& reason) {
        front.connectionLost("Could not connect: " + reason.toStdString());
    });
}

Connection::~Connection() {
    // The socket goes with this object's children, after the match: nothing it
    // reports may reach the match any more.
    control->disconnect(this);
}

bool Connection::listen() {
    if (!control->Listen())
        return false;
    beacon->start(wire::MatchPort, played.own().Name);
    emit waitingForJoiner(true);
    return true;
}

void Connection::host() {
    if (listen())
        front.statusChanged(texts.waiting);
    else
        front.connectionLost("Could not listen on port " + std::to_string(wire::MatchPort) + ": " +
                             control->ErrorText().toStdString());
}

void Connection::accept(qintptr requestID) {
    if (lobby != nullptr && control->Release(requestID))
        lobby->admit(requestID);
}

void Connection::takeJoiner(qintptr descriptor, const QByteArray& firstArrival) {
    beacon->stop();
    emit waitingForJoiner(false);
    lobby->clear();
    if (!control->Carry(descriptor)) {
        front.connectionLost("Could not accept the connection: " +
                             control->ErrorText().toStdString());
        return;
    }
    received.assign(firstArrival.constData(), size_t(firstArrival.size()));
    played.joinerTaken(received);
}

void Connection::dataArrival() {
    // After the match the arrivals are still read, and dropped, so that the
    // connection ends with a plain close rather than a reset that could take
    // the peer's unread last message with it.
    control->GetData(received);
    played.arrival(received);
}

void Connection::stop() {
    if (beacon != nullptr) {
        beacon->stop();
        lobby->clear();
        emit waitingForJoiner(false);
    }
    transfer->stop();
    wait->stop();
}

void Connection::finishSending(int timeoutMs) {
    control->FinishSending(timeoutMs);
}

// What the match reports: the timers and the match log here, the rest shown by
// the front end.

void Connection::statusChanged(const std::string& text) {
    front.statusChanged(text);
}

void Connection::transferRunning(bool run) {
    restart(transfer, run);
}

void Connection::waitRunning(bool run) {
    restart(wait, run);
}

void Connection::fightOpened() {
    matchlog::fightOpened(played.own(), played.opponent());
    front.fightOpened();
}

void Connection::chargeBegins(int intervalMs) {
    front.chargeBegins(intervalMs);
}

void Connection::chargeRunning(bool run) {
    front.chargeRunning(run);
}

void Connection::chargeShown(int value) {
    front.chargeShown(value);
}

void Connection::refreshed() {
    front.refreshed();
}

void Connection::opponentChargeShown(int value) {
    front.opponentChargeShown(value);
}

void Connection::actionsOffered(const std::array<bool, 3>& offered) {
    front.actionsOffered(offered);
}

void Connection::hitPointsShown() {
    front.hitPointsShown();
}

void Connection::commented(const std::string& line) {
    front.commented(line);
}

void Connection::sound(match::Sound cue) {
    front.sound(cue);
}

void Connection::resultBoundBegins(int boundMs) {
    // Tied to this object: it never fires once the connection, and its match, are gone.
    QTimer::singleShot(boundMs, Qt::PreciseTimer, this, [this] { played.resultBoundPassed(); });
}

void Connection::ended(match::Result result) {
    matchlog::ended(played.own(), played.opponent());
    front.ended(result);
}

void Connection::connectionLost(const std::string& status) {
    front.connectionLost(status);
}

void Connection::opponentLeft() {
    matchlog::ended(played.own(), played.opponent());
    front.opponentLeft();
}

bool Connection::halted() const {
    return front.halted();
}
