#include "sparring/Sparring.h"

#include "chicken/ChickenFile.h"
#include "fight/Rules.h"
#include "link/Lan.h"
#include "link/MatchLog.h"
#include "link/Winsock.h"
#include "link/Wire.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

QTimer* timer(QObject* parent, int interval) {
    auto* t = new QTimer(parent);
    t->setInterval(interval);
    return t;
}

} // namespace

Sparring::Sparring(const ChickenRecord& chicken, QObject* parent)
    : QObject(parent), link(new Winsock(this)), announcer(new Announcer(this)),
      transferTimer(timer(this, wire::TransferTickMs)),
      waitTimer(timer(this, wire::WaitBeforeFightMs)), chargeTimer(new QTimer(this)),
      ownChicken(chicken) {
    connect(link, &Winsock::ConnectionRequest, this, &Sparring::connectionRequest);
    connect(link, &Winsock::DataArrival, this, &Sparring::dataArrival);
    connect(link, &Winsock::Connected, this,
            [this] { emit status(QStringLiteral("Connected: waiting for the host . . .")); });
    connect(link, &Winsock::ConnectFailed, this, [this](const QString& reason) {
        connectionFailed(QStringLiteral("Could not connect: ") + reason);
    });
    connect(link, &Winsock::ConnectionLost, this, [this] { game->connectionLost(); });
    connect(transferTimer, &QTimer::timeout, this, [this] { game->transferTick(); });
    connect(waitTimer, &QTimer::timeout, this, [this] { game->waitEnded(); });
    connect(chargeTimer, &QTimer::timeout, this, [this] { game->chargeTick(); });
}

ChickenRecord Sparring::sampleChicken() {
    QFile file(QStringLiteral(":/sparring/bruno.dat"));
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    // Built in and tested: it always reads.
    return *chickenfile::parse(
        std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

std::optional<ChickenRecord> Sparring::loadChicken(const QString& path, QString& error) {
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        error = path + QStringLiteral(": no such file, or it cannot be read");
        return std::nullopt;
    }
    auto chicken = chickenfile::load(QFile::encodeName(path).toStdString());
    if (!chicken) {
        error = path + QStringLiteral(": not a chicken data file, or a damaged one");
        return std::nullopt;
    }
    // The game refuses such a chicken at its title screen; so does its opponent.
    if (chicken->flaggedAsCheater()) {
        error = path + QStringLiteral(": Cheater!");
        return std::nullopt;
    }
    return chicken;
}

QString Sparring::errorText() const {
    return link->ErrorText();
}

namespace {
const char* const Sending = "Sending our chicken . . .";
const char* const Receiving = "Receiving the opponent's chicken . . .";
const char* const Complete = "Transfer complete: the fight starts in a second . . .";
} // namespace

bool Sparring::host() {
    game = std::make_unique<match::Match>(
        ownChicken, opponentChicken,
        match::Match::Role{.acceptedStatus = "Connected: receiving the opponent's chicken . . .",
                           .sendingStatus = Sending,
                           .sentStatus = Complete,
                           .handsOverTurn = false,
                           .receivedStatus = {},
                           .waitsAgainAfterStray = true},
        link, view());
    link->LocalPort = MatchPort;
    if (!link->Listen())
        return false;
    announcer->start(MatchPort, ownChicken.Name);
    emit status(QStringLiteral("Waiting for a connection on port %1 . . .").arg(MatchPort));
    return true;
}

void Sparring::join(const QString& address) {
    // The joiner sends first and hands the turn to the host.
    game = std::make_unique<match::Match>(ownChicken, opponentChicken,
                                          match::Match::Role{.acceptedStatus = {},
                                                             .sendingStatus = Sending,
                                                             .sentStatus = Receiving,
                                                             .handsOverTurn = true,
                                                             .receivedStatus = Complete},
                                          link, view());
    link->RemotePort = MatchPort;
    emit status(QStringLiteral("Connecting to %1 on port %2 . . .").arg(address).arg(MatchPort));
    link->Connect(address);
}

void Sparring::connectionRequest(qintptr requestID) {
    // Closing stops the listening, so no second joiner gets in, and the match is
    // no longer offered.
    announcer->stop();
    if (link->State() != Winsock::sckClosed)
        link->Close();
    if (!link->Accept(requestID)) {
        connectionFailed(QStringLiteral("Could not accept the connection: ") + link->ErrorText());
        return;
    }
    game->connectionTaken();
}

void Sparring::dataArrival() {
    // After the match the arrivals are still read, and dropped, so that the
    // connection ends with a plain close rather than a reset that could take
    // the peer's unread last message with it.
    link->GetData(received);
    game->arrival(received);
}

void Sparring::statusChanged(const std::string& text) {
    emit status(QString::fromStdString(text));
}

void Sparring::transferRunning(bool run) {
    run ? transferTimer->start() : transferTimer->stop();
}

void Sparring::waitRunning(bool run) {
    run ? waitTimer->start() : waitTimer->stop();
}

void Sparring::fightOpened() {
    matchlog::fightOpened(ownChicken, opponentChicken);
}

void Sparring::chargeBegins(int intervalMs) {
    chargeTimer->setInterval(intervalMs);
    chargeTimer->start();
}

void Sparring::chargeRunning(bool run) {
    if (!run)
        chargeTimer->stop();
    else if (!chargeTimer->isActive())
        chargeTimer->start();
}

void Sparring::refreshed() {
    chargeRunning(true);
}

void Sparring::actionsOffered(const std::array<bool, 3>& offered) {
    // Ready: the strongest action on offer, at once.
    if (offered[rules::Kick])
        game->action(rules::bestAction(ownChicken, opponentChicken));
}

void Sparring::commented(const std::string& line) {
    emit commentary(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
}

void Sparring::resultBoundBegins(int boundMs) {
    QTimer::singleShot(boundMs, Qt::PreciseTimer, this, [this] { game->resultBoundPassed(); });
}

void Sparring::ended(match::Result) {
    matchlog::ended(ownChicken, opponentChicken);
    transferTimer->stop();
    waitTimer->stop();
    chargeTimer->stop();
    emit status(QStringLiteral("The match is over."));
    QTimer::singleShot(lingerMs, this, [this] { finish(0); });
}

void Sparring::connectionLost(const std::string& text) {
    connectionFailed(QString::fromStdString(text));
}

void Sparring::waitForNextJoiner() {
    // Hosting again makes a new match, so not from inside the one that asks.
    QTimer::singleShot(0, this, [this] {
        link->Close();
        if (!host())
            connectionFailed(QStringLiteral("Could not listen on port %1: %2")
                                 .arg(MatchPort)
                                 .arg(link->ErrorText()));
    });
}

void Sparring::opponentLeft() {
    matchlog::ended(ownChicken, opponentChicken);
    connectionFailed(QStringLiteral("Connection lost: ") + link->ErrorText());
}

void Sparring::connectionFailed(const QString& reason) {
    if (done)
        return;
    emit status(reason);
    finish(1);
}

void Sparring::finish(int exitStatus) {
    if (done)
        return;
    done = true;
    if (exitStatus == 0)
        link->FinishSending(lingerMs);
    announcer->stop();
    transferTimer->stop();
    waitTimer->stop();
    chargeTimer->stop();
    emit finished(exitStatus);
}
