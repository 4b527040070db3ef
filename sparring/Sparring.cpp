#include "sparring/Sparring.h"

#include "chicken/ChickenFile.h"
#include "fight/Rules.h"
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
    : QObject(parent), link(new Winsock(this)), transferTimer(timer(this, wire::TransferTickMs)),
      waitTimer(timer(this, wire::WaitBeforeFightMs)), chargeTimer(new QTimer(this)),
      ownChicken(chicken) {
    connect(link, &Winsock::ConnectionRequest, this, &Sparring::connectionRequest);
    connect(link, &Winsock::DataArrival, this, &Sparring::dataArrival);
    connect(link, &Winsock::Connected, this,
            [this] { emit status(QStringLiteral("Connected: waiting for the host . . .")); });
    connect(link, &Winsock::ConnectFailed, this, [this](const QString& reason) {
        connectionLost(QStringLiteral("Could not connect: ") + reason);
    });
    connect(link, &Winsock::ConnectionLost, this,
            [this] { connectionLost(QStringLiteral("Connection lost: ") + link->ErrorText()); });
    connect(transferTimer, &QTimer::timeout, this, &Sparring::transferTick);
    connect(waitTimer, &QTimer::timeout, this, &Sparring::waitTick);
    connect(chargeTimer, &QTimer::timeout, this, &Sparring::chargeTick);
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

bool Sparring::host() {
    role = Role::Host;
    link->LocalPort = MatchPort;
    if (!link->Listen())
        return false;
    emit status(QStringLiteral("Waiting for a connection on port %1 . . .").arg(MatchPort));
    return true;
}

void Sparring::join(const QString& address) {
    role = Role::Join;
    link->RemotePort = MatchPort;
    emit status(QStringLiteral("Connecting to %1 on port %2 . . .").arg(address).arg(MatchPort));
    link->Connect(address);
}

void Sparring::connectionRequest(qintptr requestID) {
    // Closing stops the listening, so no second joiner gets in.
    if (link->State() != Winsock::sckClosed)
        link->Close();
    if (!link->Accept(requestID)) {
        connectionLost(QStringLiteral("Could not accept the connection: ") + link->ErrorText());
        return;
    }
    emit status(QStringLiteral("Connected: receiving the opponent's chicken . . ."));
    send(wire::Ready);
}

void Sparring::dataArrival() {
    const QByteArray arrival = link->GetData();
    // After the match the arrivals are read and dropped, so that the connection
    // ends with a plain close rather than a reset that could take the peer's
    // unread last message with it.
    if (over)
        return;
    receive(std::string_view(arrival.constData(), static_cast<size_t>(arrival.size())));
}

void Sparring::onRecord(const wire::Message& record) {
    wire::applyRecord(record, opponentChicken);
    // The host's last record message ends the exchange on the joiner's side.
    if (record.tag == 'I' && role == Role::Join) {
        emit status(QStringLiteral("Transfer complete: the fight starts in a second . . ."));
        waitTimer->start();
    }
}

void Sparring::onCharge(float) {
    // The peer's charge needs no answer; it only shows that the fight is on.
    startFight();
}

void Sparring::onDamage(int16_t damage) {
    startFight();
    lastDamage = damage;
    if (rules::isHit(lastDamage))
        damagePath();
    else
        noDamagePath();
}

void Sparring::onControl(std::string_view word) {
    if (word == wire::Ready) {
        emit status(QStringLiteral("Sending our chicken . . ."));
        transferTimer->start();
    } else if (word == wire::Probe) {
        send(wire::Answer);
    } else if (word == wire::Refusal) {
        startFight();
        comment(rules::refusalLine(opponentChicken.Name));
    }
}

void Sparring::transferTick() {
    const int16_t step = transferStep;
    if (const auto message = wire::recordMessage(ownChicken, step)) {
        send(*message);
    } else if (step == wire::TransferEndStep) {
        transferTimer->stop();
        if (role == Role::Join) {
            // The joiner sends first and hands the turn to the host.
            emit status(QStringLiteral("Receiving the opponent's chicken . . ."));
            send(wire::Ready);
        } else {
            emit status(QStringLiteral("Transfer complete: the fight starts in a second . . ."));
            waitTimer->start();
        }
    } else {
        transferTimer->stop();
    }
    transferStep = static_cast<int16_t>(step + 1);
}

void Sparring::waitTick() {
    waitTimer->stop();
    startFight();
}

void Sparring::startFight() {
    // The peer's first fight message may come before the wait is over, as it can
    // load the game's fight screen early.
    if (fighting || over)
        return;
    fighting = true;
    charge = 0;
    chargeTimer->setInterval(rules::chargeInterval(ownChicken.Speed));
    chargeTimer->start();
    comment(rules::startLine(ownChicken.Name, opponentChicken.Name));
}

void Sparring::chargeTick() {
    ++charge;
    if (!send(wire::chargeMessage(static_cast<float>(charge))))
        return;
    if (charge != rules::FullCharge)
        return;
    chargeTimer->stop();
    if (rules::rollRefusal(ownChicken)) {
        comment(rules::refusalLine(ownChicken.Name));
        if (send(wire::Refusal))
            refresh();
        return;
    }
    // Ready: the strongest action on offer, at once.
    attack(rules::bestAction(ownChicken, opponentChicken));
}

void Sparring::refresh() {
    charge = 1;
    chargeTimer->start();
}

void Sparring::attack(int action) {
    refresh();
    lastDamage = rules::rollAttack(ownChicken, opponentChicken, action);
    if (!rules::isHit(lastDamage)) {
        comment(rules::rollMissLine(ownChicken.Name));
        return;
    }
    if (!send(wire::damageMessage(lastDamage)))
        return;
    opponentChicken.HitPoints = rules::lowerHitPoints(opponentChicken.HitPoints, lastDamage);
    comment(rules::rollHitLine(ownChicken.Name, opponentChicken.Name, lastDamage));
    if (rules::isDefeated(opponentChicken.HitPoints)) {
        comment(rules::winLine(ownChicken.Name));
        matchEnded();
    }
}

void Sparring::damagePath() {
    ownChicken.HitPoints = rules::lowerHitPoints(ownChicken.HitPoints, lastDamage);
    comment(rules::rollHitLine(opponentChicken.Name, ownChicken.Name, lastDamage));
    if (rules::isDefeated(ownChicken.HitPoints)) {
        comment(rules::winLine(opponentChicken.Name));
        matchEnded();
    }
}

void Sparring::noDamagePath() {
    comment(rules::rollMissLine(opponentChicken.Name));
    refresh();
}

void Sparring::comment(const std::string& line) {
    emit commentary(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
}

bool Sparring::send(std::string_view message) {
    if (link->SendData(message))
        return true;
    connectionLost(QStringLiteral("Connection lost: ") + link->ErrorText());
    return false;
}

void Sparring::connectionLost(const QString& reason) {
    // Once the match is over the peer ends its program, which closes the connection.
    if (over)
        return;
    emit status(reason);
    finish(1);
}

void Sparring::matchEnded() {
    over = true;
    transferTimer->stop();
    waitTimer->stop();
    chargeTimer->stop();
    emit status(QStringLiteral("The match is over."));
    QTimer::singleShot(lingerMs, this, [this] { finish(0); });
}

void Sparring::finish(int exitStatus) {
    if (done)
        return;
    over = true;
    done = true;
    transferTimer->stop();
    waitTimer->stop();
    chargeTimer->stop();
    emit finished(exitStatus);
}
