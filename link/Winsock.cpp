#include "link/Winsock.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

namespace {

// Each message is a few bytes; a peer that floods us is read in bounded slices and
// held back by TCP flow control instead of filling memory.
constexpr qint64 readBufferLimit = 64 * 1024;

const QString invalidStateText = QStringLiteral("Invalid operation at current state");

// A listening socket that hands each incoming descriptor to its owner instead of
// wrapping it in a QTcpSocket, so that the owner can decide to accept or refuse it.
class RequestServer : public QTcpServer {
public:
    RequestServer(std::function<void(qintptr)> onRequest, QObject* parent)
        : QTcpServer(parent), request(std::move(onRequest)) {}

protected:
    void incomingConnection(qintptr descriptor) override { request(descriptor); }

private:
    std::function<void(qintptr)> request;
};

void refuse(qintptr descriptor) {
    ::close(static_cast<int>(descriptor));
}

} // namespace

Winsock::Winsock(QObject* parent) : QObject(parent) {
    connectTimer = new QTimer(this);
    connectTimer->setSingleShot(true);
    connect(connectTimer, &QTimer::timeout, this,
            [this] { connectFailed(QStringLiteral("Connection timed out")); });
}

Winsock::~Winsock() {
    announcing = -1;
    refusePending();
    dropSocket();
}

bool Winsock::isListening() const {
    return server != nullptr && server->isListening();
}

int Winsock::State() const {
    if (isListening())
        return sckListening;
    if (socket == nullptr)
        return ended;
    switch (socket->state()) {
    case QAbstractSocket::HostLookupState:
        return sckResolvingHost;
    case QAbstractSocket::ConnectingState:
        return sckConnecting;
    case QAbstractSocket::ConnectedState:
        return sckConnected;
    case QAbstractSocket::ClosingState:
        return sckClosing;
    case QAbstractSocket::BoundState:
    case QAbstractSocket::ListeningState:
        return sckOpen;
    case QAbstractSocket::UnconnectedState:
        break;
    }
    return ended;
}

bool Winsock::readyToOpen() {
    // A connection that has already ended or failed is cleared away first.
    if (State() == sckClosing || State() == sckError)
        Close();
    if (State() == sckClosed)
        return true;
    errorText = invalidStateText;
    return false;
}

bool Winsock::Listen() {
    if (!readyToOpen())
        return false;
    if (server == nullptr)
        server = new RequestServer([this](qintptr descriptor) { queueRequest(descriptor); }, this);
    // Any listens on both IPv4 and IPv6 where the system allows it. QTcpServer marks the
    // socket address-reusable, so a restart right after a Close finds the port free.
    if (!server->listen(QHostAddress::Any, LocalPort)) {
        errorText = server->errorString();
        return false;
    }
    return true;
}

void Winsock::queueRequest(qintptr requestID) {
    // Same limit as QTcpServer's own queue of waiting connections.
    if (pending.size() >= server->maxPendingConnections()) {
        refuse(requestID);
        return;
    }
    pending.append(requestID);
    unannounced.append(requestID);
    // Announced from the event loop, not from inside the server's accept loop, so that
    // the handler may close or even re-listen on this control.
    QMetaObject::invokeMethod(this, &Winsock::announceNextRequest, Qt::QueuedConnection);
}

void Winsock::announceNextRequest() {
    // One call is queued per request; requests refused in the meantime are simply gone.
    if (unannounced.isEmpty())
        return;
    const qintptr requestID = unannounced.takeFirst();
    const QPointer<Winsock> alive(this);
    const qintptr outer = announcing;
    announcing = requestID;
    emit ConnectionRequest(requestID);
    if (!alive)
        return;
    announcing = outer;
    // A request that the handler neither accepted nor can accept later (the control
    // stopped listening) is refused now rather than left open.
    if (!isListening() && pending.removeOne(requestID))
        refuse(requestID);
}

void Winsock::refusePending() {
    // The request whose handler is running stays: the handler may still accept it
    // after closing the control.
    for (const qintptr requestID : std::as_const(pending)) {
        if (requestID != announcing)
            refuse(requestID);
    }
    pending.removeIf([this](qintptr requestID) { return requestID != announcing; });
    unannounced.clear();
}

void Winsock::dropSocket() {
    connectTimer->stop();
    connecting = false;
    if (socket == nullptr)
        return;
    // Our own close is not a lost connection: no signal of the old socket reaches us
    // any more. It is deleted later since we may be inside one of its signals.
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    socket = nullptr;
}

void Winsock::Close() {
    if (server != nullptr)
        server->close();
    refusePending();
    dropSocket();
    ended = sckClosed;
    ++generation;
}

bool Winsock::Accept(qintptr requestID) {
    if (!pending.removeOne(requestID)) {
        errorText = QStringLiteral("No such connection request");
        return false;
    }
    // The control carries one thing at a time: the accepted connection replaces
    // listening, other requests and any earlier connection.
    Close();

    auto* accepted = new QTcpSocket(this);
    if (!accepted->setSocketDescriptor(requestID)) {
        errorText = accepted->errorString();
        delete accepted;
        refuse(requestID);
        return false;
    }
    adopt(accepted);
    return true;
}

void Winsock::Connect(const QString& host) {
    if (!readyToOpen()) {
        QMetaObject::invokeMethod(
            this, [this] { emit ConnectFailed(invalidStateText); }, Qt::QueuedConnection);
        return;
    }
    connecting = true;
    adopt(new QTcpSocket(this));
    connectTimer->start(ConnectTimeout);
    // Takes dotted IPv4, IPv6 and host names; a lookup, if any, runs in the background.
    socket->connectToHost(host.trimmed(), RemotePort);
}

void Winsock::adopt(QTcpSocket* adopted) {
    socket = adopted;
    socket->setReadBufferSize(readBufferLimit);
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        if (socket != nullptr)
            emit DataArrival(socket->bytesAvailable());
    });
    connect(socket, &QTcpSocket::connected, this, &Winsock::connectSucceeded);
    connect(socket, &QTcpSocket::disconnected, this, &Winsock::connectionGone);
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (socket == nullptr)
            return;
        if (connecting)
            connectFailed(socket->errorString());
        else if (socket->state() == QAbstractSocket::UnconnectedState)
            connectionGone();
    });
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void Winsock::connectSucceeded() {
    if (!connecting)
        return;
    connecting = false;
    connectTimer->stop();
    // Every message leaves as its own segment instead of waiting to be merged.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    emit Connected();
}

void Winsock::connectFailed(const QString& reason) {
    if (!connecting)
        return;
    dropSocket();
    ended = sckError;
    errorText = reason;
    // Some failures (an unreachable literal address) come back inside connectToHost; the
    // report always arrives from the event loop, after Connect has returned.
    const quint32 attempt = generation;
    QMetaObject::invokeMethod(
        this,
        [this, attempt, reason] {
            if (attempt == generation)
                emit ConnectFailed(reason);
        },
        Qt::QueuedConnection);
}

void Winsock::connectionGone() {
    // Reported once, and only for a connection that was established. The socket is
    // kept so that what arrived before the end can still be read.
    if (socket == nullptr || connecting || ended != sckClosed)
        return;
    ended = socket->error() == QAbstractSocket::RemoteHostClosedError ? sckClosing : sckError;
    errorText = socket->errorString();
    emit ConnectionLost();
}

bool Winsock::SendData(std::string_view data) {
    if (socket == nullptr || socket->state() != QAbstractSocket::ConnectedState) {
        errorText = QStringLiteral("Not connected");
        return false;
    }
    const char* bytes = data.data();
    auto left = static_cast<qint64>(data.size());
    // With nothing waiting in the socket's own buffer, the bytes go straight to the
    // system: one call, no copy into the buffer and no flush of it. Whatever the
    // system does not take at once (its buffer is full, or the connection has
    // failed, which the socket then finds and reports) goes the socket's way.
    if (socket->bytesToWrite() == 0) {
        const ssize_t sent = ::send(static_cast<int>(socket->socketDescriptor()), bytes,
                                    static_cast<size_t>(left), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent == left)
            return true;
        if (sent > 0) {
            bytes += sent;
            left -= sent;
        }
    }
    if (socket->write(bytes, left) != left) {
        errorText = socket->errorString();
        return false;
    }
    // Hand the bytes to the system now, as one write, rather than on the next event loop pass.
    socket->flush();
    return true;
}

QByteArray Winsock::GetData() {
    if (socket == nullptr)
        return {};
    return socket->readAll();
}

void Winsock::GetData(std::string& into) {
    const qint64 available = socket != nullptr ? socket->bytesAvailable() : 0;
    into.resize(static_cast<size_t>(available));
    if (available > 0)
        into.resize(static_cast<size_t>(std::max<qint64>(socket->read(into.data(), available), 0)));
}

QString Winsock::LocalIP() {
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& netInterface : interfaces) {
        const auto flags = netInterface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::IsRunning) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = netInterface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            const QHostAddress address = entry.ip();
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
                return address.toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}
