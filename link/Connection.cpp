#include "link/Connection.h"

#include "link/Lan.h"
#include "link/Winsock.h"
#include "link/Wire.h"
#include "match/MatchLog.h"

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
                .receivedStatus = {},
                .waitsAgainAfterStray = true};
    // The joiner sends first and hands the turn to the host.
    return {.acceptedStatus = {},
            .sendingStatus = statuses.sending,
            .sentStatus = statuses.receiving,
            .handsOverTurn = true,
            .receivedStatus = statuses.complete};
}

Connection::Connection(Side side, Statuses statuses, ChickenRecord& own, ChickenRecord& opponent,
                       RandomSource random, match::View& shown, std::optional<Timers> timers,
                       QObject* parent)
    : QObject(parent), socket(new Winsock(this)),
      announcer(side == Side::Host ? new Announcer(this) : nullptr), link(*socket), front(shown),
      texts(std::move(statuses)),
      game(own, opponent, role(side, texts), &link, *this, std::move(random)) {
    if (side == Side::Host)
        socket->LocalPort = wire::MatchPort;
    else
        socket->RemotePort = wire::MatchPort;
    connect(socket, &Winsock::ConnectionLost, this, [this] { game.connectionLost(); });
    connect(socket, &Winsock::ConnectFailed, this, [this](const QString& reason) {
        front.connectionLost("Could not connect: " + reason.toStdString());
    });
    if (timers) {
        transfer = timers->transfer;
        wait = timers->wait;
        return;
    }
    transfer = timer(this, wire::TransferTickMs);
    wait = timer(this, wire::WaitBeforeFightMs);
    charge = new QTimer(this);
    connect(transfer, &QTimer::timeout, this, [this] { game.transferTick(); });
    connect(wait, &QTimer::timeout, this, [this] { game.waitEnded(); });
    connect(charge, &QTimer::timeout, this, [this] { game.chargeTick(); });
    connect(socket, &Winsock::ConnectionRequest, this, &Connection::accept);
    connect(socket, &Winsock::DataArrival, this, &Connection::dataArrival);
}

Connection::~Connection() {
    // The socket goes with this object's children, after the match: nothing it
    // reports may reach the match any more.
    socket->disconnect(this);
}

bool Connection::listen() {
    if (!socket->Listen())
        return false;
    announcer->start(wire::MatchPort, game.own().Name);
    emit waitingForJoiner(true);
    return true;
}

void Connection::host() {
    if (listen())
        front.statusChanged(texts.waiting);
    else
        front.connectionLost("Could not listen on port " + std::to_string(wire::MatchPort) + ": " +
                             socket->ErrorText().toStdString());
}

void Connection::accept(qintptr requestID) {
    announcer->stop();
    emit waitingForJoiner(false);
    if (socket->State() != Winsock::sckClosed)
        socket->Close();
    if (!socket->Accept(requestID)) {
        front.connectionLost("Could not accept the connection: " +
                             socket->ErrorText().toStdString());
        return;
    }
    game.connectionTaken();
}

void Connection::dataArrival() {
    // After the match the arrivals are still read, and dropped, so that the
    // connection ends with a plain close rather than a reset that could take
    // the peer's unread last message with it.
    socket->GetData(received);
    game.arrival(received);
}

void Connection::stop() {
    if (announcer != nullptr) {
        announcer->stop();
        emit waitingForJoiner(false);
    }
    transfer->stop();
    wait->stop();
    if (charge != nullptr)
        charge->stop();
}

void Connection::finishSending(int timeoutMs) {
    socket->FinishSending(timeoutMs);
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
    matchlog::fightOpened(game.own(), game.opponent());
    front.fightOpened();
}

void Connection::chargeBegins(int intervalMs) {
    if (charge == nullptr) {
        front.chargeBegins(intervalMs);
        return;
    }
    charge->setInterval(intervalMs);
    charge->start();
}

void Connection::chargeRunning(bool run) {
    if (charge != nullptr)
        runKeepingBeat(charge, run);
    else
        front.chargeRunning(run);
}

void Connection::chargeShown(int value) {
    front.chargeShown(value);
}

void Connection::refreshed() {
    if (charge != nullptr)
        runKeepingBeat(charge, true);
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
    QTimer::singleShot(boundMs, Qt::PreciseTimer, this, [this] { game.resultBoundPassed(); });
}

void Connection::ended(match::Result result) {
    matchlog::ended(game.own(), game.opponent());
    front.ended(result);
}

void Connection::connectionLost(const std::string& status) {
    front.connectionLost(status);
}

void Connection::opponentLeft() {
    matchlog::ended(game.own(), game.opponent());
    front.opponentLeft();
}

void Connection::waitForNextJoiner() {
    // This one was never a joiner (a port scan, some other program).
    socket->Close();
    host();
}

bool Connection::halted() const {
    return front.halted();
}
