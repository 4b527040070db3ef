#include "sparring/Sparring.h"

#include "core/ChickenFile.h"
#include "core/Rules.h"
#include "net/Winsock.h"

#include <QFile>
#include <QTimer>

namespace {

// How long the practice opponent takes to press a button that has lit up: as a
// person would, and never in the same turn of the event loop as the charge
// message before it, which a peer would otherwise read joined to the blow.
constexpr int reactionFromMs = 150;
constexpr int reactionSpanMs = 251; // up to 400 ms

} // namespace

Sparring::Sparring(const ChickenRecord& chicken, RandomSource draws, QObject* parent)
    : QObject(parent), ownChicken(chicken), random(std::move(draws)), charge(new QTimer(this)),
      reaction(new QTimer(this)) {
    reaction->setSingleShot(true);
    reaction->setTimerType(Qt::PreciseTimer);
    connect(charge, &QTimer::timeout, this, [this] { connection->game().chargeTick(); });
    connect(reaction, &QTimer::timeout, this,
            [this] { connection->game().action(rules::bestAction(own(), opponent())); });
}

ChickenRecord Sparring::sampleChicken() {
    QFile file(QStringLiteral(":/sparring/bruno.dat"));
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    // Built in and tested: it always reads.
    return *chickenfile::parse(
        std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

const ChickenRecord& Sparring::own() const {
    return connection != nullptr ? connection->game().own() : ownChicken;
}

const ChickenRecord& Sparring::opponent() const {
    static const ChickenRecord none;
    return connection != nullptr ? connection->game().opponent() : none;
}

QString Sparring::errorText() const {
    return connection != nullptr ? connection->socket()->ErrorText() : QString();
}

static const std::string Waiting =
    "Waiting for a connection on port " + std::to_string(Sparring::MatchPort) + " . . .";

void Sparring::play(Connection::Side side, const char* receiving) {
    connection =
        new Connection(side,
                       {.waiting = Waiting,
                        .receiving = receiving,
                        .sending = "Sending our chicken . . .",
                        .complete = "Transfer complete: the fight starts in a second . . ."},
                       ownChicken, ChickenRecord{}, random, *this, this);
    connect(connection->socket(), &Winsock::ConnectionRequest, connection, &Connection::accept);
    connect(connection->socket(), &Winsock::DataArrival, connection, &Connection::dataArrival);
    connect(connection->transferTimer(), &QTimer::timeout, this,
            [this] { connection->game().transferTick(); });
    connect(connection->waitTimer(), &QTimer::timeout, this,
            [this] { connection->game().waitEnded(); });
}

bool Sparring::host() {
    play(Connection::Side::Host, "Connected: receiving the opponent's chicken . . .");
    if (!connection->listen())
        return false;
    statusChanged(Waiting);
    return true;
}

void Sparring::join(const QString& host, quint16 port) {
    // The joiner sends first: the opponent's chicken comes after ours.
    play(Connection::Side::Joiner, "Receiving the opponent's chicken . . .");
    connect(connection->socket(), &Winsock::Connected, this, [this] {
        madeConnection = true;
        emit status(QStringLiteral("Connected: waiting for the host . . ."));
    });
    emit status(QStringLiteral("Connecting to %1 on port %2 . . .").arg(host).arg(port));
    connection->socket()->RemotePort = port;
    connection->socket()->Connect(host);
}

void Sparring::statusChanged(const std::string& text) {
    emit status(QString::fromStdString(text));
}

void Sparring::chargeBegins(int intervalMs) {
    charge->setInterval(intervalMs);
    charge->start();
}

void Sparring::chargeRunning(bool run) {
    runKeepingBeat(charge, run);
}

void Sparring::refreshed() {
    // The offer is withdrawn (a blow of no damage came in): nothing to press.
    reaction->stop();
    runKeepingBeat(charge, true);
}

void Sparring::actionsOffered(const std::array<bool, 3>& offered) {
    // Ready: the strongest action on offer, once seen.
    if (offered[rules::Kick])
        reaction->start(randomness::roll(random, reactionFromMs, reactionSpanMs));
    else
        reaction->stop();
}

void Sparring::commented(const std::string& line) {
    emit commentary(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
}

void Sparring::ended(match::Result result) {
    // A win or a loss has its commentary line; a draw, the game's box.
    if (result == match::Result::Draw)
        commented("Draw!");
    connection->stop();
    charge->stop();
    reaction->stop();
    // Once the peer's stream has ended it has read all it will: no need to linger.
    connect(connection->socket(), &Winsock::ConnectionLost, this, [this] { finish(0); });
    if (connection->socket()->State() != Winsock::sckConnected) {
        finish(0);
        return;
    }
    emit status(QStringLiteral("The match is over."));
    QTimer::singleShot(lingerMs, this, [this] { finish(0); });
}

void Sparring::connectionLost(const std::string& text) {
    if (done)
        return;
    statusChanged(text);
    finish(1);
}

void Sparring::opponentLeft() {
    connectionLost("Connection lost: " + errorText().toStdString());
}

void Sparring::finish(int exitStatus) {
    if (done)
        return;
    done = true;
    if (exitStatus == 0)
        connection->finishSending(lingerMs);
    connection->stop();
    charge->stop();
    emit finished(exitStatus);
}

SparringPartner::SparringPartner(const ChickenRecord& own, RandomSource draws, QObject* parent)
    : QObject(parent), chicken(own), random(std::move(draws)) {}

bool SparringPartner::host() {
    hosting = true;
    if (begin()->host())
        return true;
    emit status(QStringLiteral("cannot listen on port %1: %2")
                    .arg(Sparring::MatchPort)
                    .arg(match->errorText()));
    return false;
}

void SparringPartner::join(const QString& host, quint16 port) {
    hosting = false;
    joinHost = host;
    joinPort = port;
    begin()->join(joinHost, joinPort);
}

Sparring* SparringPartner::begin() {
    if (match != nullptr)
        match->deleteLater(); // it may be the one reporting its end
    match = new Sparring(chicken, random, this);
    match->lingerMs = lingerMs;
    connect(match, &Sparring::commentary, this, &SparringPartner::commentary);
    connect(match, &Sparring::status, this, [this, attempt = match](const QString& text) {
        // The attempts that find no host say nothing: one line said it waits.
        if (!rejoining || attempt->connected())
            emit status(text);
    });
    connect(match, &Sparring::finished, this, &SparringPartner::matchFinished);
    return match;
}

void SparringPartner::next() {
    if (!hosting)
        join(joinHost, joinPort);
    else if (!host())
        emit finished(1);
}

void SparringPartner::matchFinished(int exitStatus) {
    if (exitStatus == 0 && !once) {
        sinceMatch.start();
        rejoining = !hosting;
        if (rejoining)
            emit status(QStringLiteral("Joining %1 on port %2 again when it hosts the next match "
                                       "(for up to %3 s) . . .")
                            .arg(joinHost)
                            .arg(joinPort)
                            .arg(retryForMs / 1000));
        next();
        return;
    }
    if (exitStatus != 0 && rejoining && !match->connected()) {
        if (sinceMatch.elapsed() + retryEveryMs <= retryForMs) {
            QTimer::singleShot(retryEveryMs, this, &SparringPartner::next);
            return;
        }
        emit status(
            QStringLiteral("No match hosted at %1 on port %2 for %3 s: the practice is over.")
                .arg(joinHost)
                .arg(joinPort)
                .arg(retryForMs / 1000));
        exitStatus = 0; // the last match was played to its end
    }
    emit finished(exitStatus);
}
