#include "net/Winsock.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

namespace {

// What goes over the connection, for finding out why a match stalled:
// QT_LOGGING_RULES="quorvel.link.debug=true".
Q_LOGGING_CATEGORY(lcLink, "quorvel.link", QtWarningMsg)

// Each message is a few bytes; a peer that floods us is read in bounded slices and
// held back by TCP flow control instead of filling memory.
constexpr qint64 readBufferLimit = 64 * 1024;

// A peer that vanishes (its machine sleeps or leaves the network) sends nothing, not
// even a close, so the system is asked to find out: after keepAliveIdleS seconds
// without a word from the peer it probes every keepAliveIntervalS seconds, and once
// anything sent (probe or message) has gone unanswered for userTimeoutMs the
// connection fails. A link that is down for a few seconds and comes back stays.
constexpr int keepAliveIdleS = 2;
constexpr int keepAliveIntervalS = 1;
constexpr int keepAliveCount = 10;
constexpr unsigned userTimeoutMs = 10000;

// When the last packet of the handshake is lost, the listening side has not
// taken the connection, while the side that connected thinks it has. That side
// says nothing until the host's ready signal, so its first keepalive probe finds
// out: the host answers it with a reset. Such a connection, reset before
// anything was exchanged, is made again this many times before it is reported.
constexpr int silentResetRetries = 3;

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
    qCDebug(lcLink) << "refused request" << descriptor;
    ::close(static_cast<int>(descriptor));
}

} // namespace

class Winsock::SocketProbe : public SendProbe {
public:
    explicit SocketProbe(Winsock& control) : owner(control) { clock.start(); }

    qint64 unacknowledged() const override {
        // What the system holds for the connection, sent or not, until the peer has
        // acknowledged it. Should it not answer, the write goes ahead and finds out.
        int held = 0;
        if (owner.socket == nullptr || ::ioctl(descriptor(), SIOCOUTQ, &held) != 0)
            return 0;
        return held + owner.socket->bytesToWrite();
    }
    quint32 resends() const override {
        tcp_info info{};
        auto size = static_cast<socklen_t>(sizeof info);
        if (owner.socket == nullptr ||
            ::getsockopt(descriptor(), IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
            return 0;
        return info.tcpi_total_retrans;
    }
    qint64 now() const override { return clock.elapsed(); }
    bool write(std::string_view bytes) override { return owner.write(bytes); }
    bool endSending() override {
        // What the socket still buffers could not be written after the end.
        owner.socket->flush();
        if (owner.socket->bytesToWrite() > 0)
            return false;
        qCDebug(lcLink) << "end of sending";
        ::shutdown(descriptor(), SHUT_WR);
        return true;
    }
    bool settle() override {
        if (owner.socket == nullptr)
            return false;
        owner.socket->flush();
        // Bytes left unread when the connection closes make the close a reset,
        // which throws away whatever the peer has not acknowledged yet: the
        // winning blow, on a lossy link. What still arrives is read and dropped.
        owner.socket->readAll();
        return owner.socket->state() == QAbstractSocket::ConnectedState;
    }
    void pause(int ms) override {
        if (owner.socket == nullptr || !owner.socket->waitForReadyRead(ms))
            QThread::msleep(static_cast<unsigned long>(ms));
    }

private:
    int descriptor() const { return static_cast<int>(owner.socket->socketDescriptor()); }

    Winsock& owner;
    QElapsedTimer clock;
};

Winsock::Winsock(QObject* parent)
    : QObject(parent), probe(std::make_unique<SocketProbe>(*this)),
      sender(std::make_unique<AckSender>(*probe)) {
    connectTimer = new QTimer(this);
    connectTimer->setSingleShot(true);
    connect(connectTimer, &QTimer::timeout, this,
            [this] { connectFailed(QStringLiteral("Connection timed out")); });
    connect(sender.get(), &AckSender::writeFailed, this, &Winsock::connectionGone);
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
        qCDebug(lcLink) << "cannot listen:" << errorText;
        return false;
    }
    qCDebug(lcLink) << "listening on port" << LocalPort;
    return true;
}

void Winsock::queueRequest(qintptr requestID) {
    qCDebug(lcLink) << "connection request" << requestID;
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
    sender->reset();
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
    if (socket != nullptr || isListening())
        qCDebug(lcLink) << "closing";
    if (server != nullptr)
        server->close();
    refusePending();
    dropSocket();
    ended = sckClosed;
    ++generation;
}

bool Winsock::Accept(qintptr requestID) {
    return Release(requestID) && Carry(requestID);
}

bool Winsock::Release(qintptr requestID) {
    if (!pending.removeOne(requestID)) {
        errorText = QStringLiteral("No such connection request");
        return false;
    }
    unannounced.removeOne(requestID);
    return true;
}

bool Winsock::Carry(qintptr descriptor) {
    // The control carries one thing at a time: the accepted connection replaces
    // listening, other requests and any earlier connection.
    Close();
    connectHost.clear();

    auto* accepted = new QTcpSocket(this);
    if (!accepted->setSocketDescriptor(descriptor)) {
        errorText = accepted->errorString();
        delete accepted;
        refuse(descriptor);
        return false;
    }
    adopt(accepted);
    qCDebug(lcLink) << "accepted request" << descriptor;
    return true;
}

void Winsock::Connect(const QString& host) {
    if (!readyToOpen()) {
        QMetaObject::invokeMethod(
            this, [this] { emit ConnectFailed(invalidStateText); }, Qt::QueuedConnection);
        return;
    }
    connectHost = host.trimmed();
    resetsLeft = silentResetRetries;
    lostBeforeRetry.reset();
    connectAgain();
}

void Winsock::connectAgain() {
    dropSocket();
    connecting = true;
    adopt(new QTcpSocket(this));
    connectTimer->start(ConnectTimeout);
    // Takes dotted IPv4, IPv6 and host names; a lookup, if any, runs in the background.
    socket->connectToHost(connectHost, RemotePort);
}

void Winsock::adopt(QTcpSocket* adopted) {
    socket = adopted;
    peerHeard = false;
    anythingWritten = false;
    socket->setReadBufferSize(readBufferLimit);
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        if (socket == nullptr)
            return;
        peerHeard = true;
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
        tuneConnection();
}

void Winsock::tuneConnection() {
    // Every message leaves as its own segment instead of waiting to be merged.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const int descriptor = static_cast<int>(socket->socketDescriptor());
    const auto set = [descriptor](int option, auto value) {
        ::setsockopt(descriptor, IPPROTO_TCP, option, &value, sizeof value);
    };
    set(TCP_KEEPIDLE, keepAliveIdleS);
    set(TCP_KEEPINTVL, keepAliveIntervalS);
    set(TCP_KEEPCNT, keepAliveCount);
    set(TCP_USER_TIMEOUT, userTimeoutMs);
}

void Winsock::connectSucceeded() {
    if (!connecting)
        return;
    connecting = false;
    connectTimer->stop();
    lostBeforeRetry.reset();
    tuneConnection();
    emit Connected();
}

void Winsock::connectFailed(const QString& reason) {
    if (!connecting)
        return;
    dropSocket();
    if (lostBeforeRetry) {
        // Connecting again after a silent reset failed: the host has gone, and the
        // connection it had is reported lost, as it would have been without the retry.
        ended = lostBeforeRetry->first;
        errorText = lostBeforeRetry->second;
        lostBeforeRetry.reset();
        qCDebug(lcLink) << "connection lost:" << errorText;
        reportLater([this] { emit ConnectionLost(); });
        return;
    }
    ended = sckError;
    errorText = reason;
    // Some failures (an unreachable literal address) come back inside connectToHost; the
    // report always arrives from the event loop, after Connect has returned.
    reportLater([this, reason] { emit ConnectFailed(reason); });
}

void Winsock::reportLater(std::function<void()> report) {
    // Dropped if the control has been closed or has accepted since.
    const quint32 attempt = generation;
    QMetaObject::invokeMethod(
        this,
        [this, attempt, report = std::move(report)] {
            if (attempt == generation)
                report();
        },
        Qt::QueuedConnection);
}

Winsock::StateValue Winsock::endedState() const {
    return socket->error() == QAbstractSocket::RemoteHostClosedError ? sckClosing : sckError;
}

void Winsock::connectionGone() {
    // Reported once, and only for a connection that was established. The socket is
    // kept so that what arrived before the end can still be read.
    if (socket == nullptr || connecting || ended != sckClosed)
        return;
    if (!connectHost.isEmpty() && !peerHeard && !anythingWritten && resetsLeft > 0) {
        --resetsLeft;
        qCDebug(lcLink) << "reset before anything was exchanged; connecting again";
        // Should the host turn out to have gone, this loss is what gets reported.
        lostBeforeRetry = {endedState(), socket->errorString()};
        connectAgain();
        return;
    }
    ended = endedState();
    errorText = socket->errorString();
    qCDebug(lcLink) << "connection lost:" << errorText;
    sender->reset();
    emit ConnectionLost();
}

bool Winsock::canSend() {
    if (socket == nullptr || socket->state() != QAbstractSocket::ConnectedState) {
        errorText = QStringLiteral("Not connected");
        return false;
    }
    if (sender->sendingClosed()) {
        errorText = invalidStateText;
        return false;
    }
    return true;
}

bool Winsock::SendData(std::string_view data) {
    return canSend() && sender->send(data);
}

bool Winsock::SendWhenAcknowledged(std::string_view data) {
    return canSend() && sender->sendWhenAcknowledged(data);
}

bool Winsock::CloseSending() {
    if (!canSend())
        return false;
    sender->closeSending();
    return true;
}

bool Winsock::write(std::string_view data) {
    qCDebug(lcLink) << "send" << QByteArray::fromRawData(data.data(), qsizetype(data.size()));
    anythingWritten = true;
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

void Winsock::FinishSending(int timeoutMs) {
    sender->finish(timeoutMs);
}

QByteArray Winsock::GetData() {
    if (socket == nullptr)
        return {};
    QByteArray data = socket->readAll();
    qCDebug(lcLink) << "arrival" << data;
    return data;
}

void Winsock::GetData(std::string& into) {
    const qint64 available = socket != nullptr ? socket->bytesAvailable() : 0;
    into.resize(static_cast<size_t>(available));
    if (available > 0)
        into.resize(static_cast<size_t>(std::max<qint64>(socket->read(into.data(), available), 0)));
    qCDebug(lcLink) << "arrival" << QByteArray::fromRawData(into.data(), qsizetype(into.size()));
}
