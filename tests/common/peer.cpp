#include "peer.h"

#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"
#include "screens/frmWinSock2.h"
#include "screens/frmWinsock1.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QLabel>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

void Peer::adopt(QTcpSocket* connection) {
    socket = connection;
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        const QByteArray bytes = socket->readAll();
        if (bytes.isEmpty())
            return;
        arrivals.append({stream.size(), clock.elapsed()});
        stream += bytes;
        emit arrived();
    });
    connect(socket, &QTcpSocket::disconnected, this, [this] { closed = true; });
}

bool Peer::connectToProgram() {
    auto* connection = new QTcpSocket(this);
    connection->connectToHost(QHostAddress::LocalHost, Port);
    if (!connection->waitForConnected(3000))
        return false;
    adopt(connection);
    return true;
}

bool Peer::listen(quint16 port) {
    server = new QTcpServer(this);
    return server->listen(QHostAddress::Any, port);
}

bool Peer::waitForProgram() {
    if (!screens::waitUntil([this] { return server->hasPendingConnections(); }))
        return false;
    adopt(server->nextPendingConnection());
    server->close();
    return true;
}

void Peer::sendEach(const QList<QByteArray>& messages) {
    for (const QByteArray& message : messages) {
        send(message);
        QTest::qWait(15);
    }
}

void Peer::close() {
    if (socket != nullptr) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        socket = nullptr;
    }
    if (server != nullptr)
        server->close();
}

qint64 Peer::arrivalMs(qsizetype offset) const {
    qint64 time = -1;
    for (const auto& [first, ms] : arrivals) {
        if (first > offset)
            break;
        time = ms;
    }
    return time;
}

namespace screens {

Recorded& recorded() {
    static Recorded seen;
    return seen;
}

void resetAll() {
    // As closing a connection screen does, the fight's charge stops before the
    // screens go, so that a screen awaiting deletion drives no match.
    if (Forms::loaded<frmFight>())
        Forms::get<frmFight>().tmr1->stop();
    Forms::unloadAll();
    // Runs the deferred deletions, so the screens' sockets are closed now.
    QTest::qWait(20);
    // Another program on this machine (a second test run, a real match) may hold
    // the match port for a while; wait for it rather than fail on it.
    waitUntil(
        [] {
            QTcpServer probe;
            return probe.listen(QHostAddress::Any, Peer::Port);
        },
        30000);
    Vars::reset();
    Vars::setRandomSource({});
    // The user's config folder (the addresses joined before), empty for each case.
    static std::optional<QTemporaryDir> config;
    config.emplace();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config->path());
    platform::resetSeams();
    recorded() = {};
    auto& seams = platform::seams();
    seams.messageBox = [](const QString& text, const QString& caption) {
        recorded().boxes << text;
        recorded().captions << caption;
    };
    seams.resultBox = [](const QString& text) {
        recorded().boxes << text;
        recorded().captions << platform::AppTitle;
        return recorded().playAgain;
    };
    seams.endProgram = [](int) {};
    seams.playSound = [](const QString& path) { recorded().sounds << QFileInfo(path).fileName(); };
}

bool hostMatch(Peer& peer) {
    Vars::GameMode = 1;
    Forms::show<frmWinsock1>();
    if (!peer.connectToProgram() || !peer.waitForBytes(1) || peer.received() != "0")
        return false;
    peer.forget();
    // A connection is the joiner once its first arrival is the name record; the
    // name the host already holds keeps the tests' opponent as it was.
    frmWinsock1& host = Forms::get<frmWinsock1>();
    peer.send("A" + QByteArray::fromStdString(host.game().opponent().Name));
    return waitUntil([&] { return host.txt->text().startsWith("Connection Established"); });
}

bool joinMatch(Peer& peer) {
    Vars::GameMode = 2;
    Vars::HostAddress = "127.0.0.1";
    if (!peer.listen())
        return false;
    Forms::show<frmWinSock2>();
    return peer.waitForProgram();
}

QList<qint64> gaps(const Peer& peer, const QList<QByteArray>& messages, qsizetype from) {
    QList<qint64> result;
    qsizetype offset = from;
    qint64 previous = -1;
    for (const QByteArray& message : messages) {
        const qint64 at = peer.arrivalMs(offset);
        if (previous >= 0)
            result << at - previous;
        previous = at;
        offset += message.size();
    }
    return result;
}

bool within(const QList<qint64>& gaps, qint64 low, qint64 high, QByteArray& what) {
    what = "gaps:";
    bool ok = true;
    for (qint64 gap : gaps) {
        what += " " + QByteArray::number(gap);
        ok = ok && gap >= low && gap <= high;
    }
    return ok;
}

} // namespace screens
