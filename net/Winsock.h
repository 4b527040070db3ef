#pragma once

// A TCP socket control in the shape the screens were designed around: one object
// that can listen, hand an incoming request to the caller, accept it on itself,
// connect, send whole texts and read everything that has arrived. Events are
// signals delivered on the GUI thread.

#include "net/AckSender.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QTcpServer;
class QTcpSocket;
class QTimer;

class Winsock : public QObject {
    Q_OBJECT
public:
    enum StateValue {
        sckClosed = 0,
        sckOpen = 1,
        sckListening = 2,
        sckConnectionPending = 3,
        sckResolvingHost = 4,
        sckHostResolved = 5,
        sckConnecting = 6,
        sckConnected = 7,
        sckClosing = 8,
        sckError = 9,
    };

    explicit Winsock(QObject* parent = nullptr);
    ~Winsock() override;

    quint16 LocalPort = 0;
    quint16 RemotePort = 0;
    // How long Connect may take (host lookup included) before it gives up, in ms.
    int ConnectTimeout = 10000;

    // Starts listening on LocalPort (all addresses). False, with ErrorText set,
    // when the port cannot be listened on.
    bool Listen();
    int State() const;
    // Stops listening and drops any connection; requests not accepted are refused.
    void Close();
    // Takes the request into this control, which then carries the connection.
    bool Accept(qintptr requestID);
    // Hands the request's connection to the caller, who owns its descriptor
    // from now on. False when there is no such request.
    bool Release(qintptr requestID);
    // Carries a connection accepted elsewhere (the descriptor becomes the
    // control's): replaces listening, other requests and any earlier connection.
    bool Carry(qintptr descriptor);
    // Starts connecting to host (dotted IPv4, IPv6 or a host name) on RemotePort;
    // returns at once. Failure is reported by ConnectFailed.
    void Connect(const QString& host);
    // Sends the bytes at once, as one write. False when there is no connection
    // or the write fails. While a message waits in SendWhenAcknowledged's queue
    // it waits behind it and goes as SendWhenAcknowledged would send it, so
    // that the two never merge.
    bool SendData(std::string_view data);
    // Sends the bytes as one write once everything written before has been
    // acknowledged by the peer, so that a lost segment resent by TCP cannot carry
    // them joined to what went before; when a segment had to be resent since the
    // last such message, also 100 ms after that acknowledgement was seen, so that
    // the peer's program reads it on its own. Until then they wait in order,
    // none lost. False when there is no connection or the write fails at once.
    bool SendWhenAcknowledged(std::string_view data);
    // Once every message waiting has been written, ends this side's sending
    // direction (a TCP half-close, not a message), so that the peer learns at
    // once that nothing more comes. Arrivals are still read until the peer ends
    // its side, which is reported as any close by the peer. Sending fails from
    // now on. False when there is no connection.
    bool CloseSending();
    // Messages still waiting to be written.
    qsizetype Queued() const { return sender->queued(); }
    // Everything that has arrived, removed from the socket.
    QByteArray GetData();
    // The same into a buffer the caller keeps, which it replaces.
    void GetData(std::string& into);

    QString ErrorText() const { return errorText; }

    // Before the program ends: waits, at most timeoutMs, until every message
    // waiting has been written and the peer has acknowledged everything written
    // (the end of sending too), reading and dropping what still arrives.
    void FinishSending(int timeoutMs);

signals:
    void ConnectionRequest(qintptr requestID);
    void Connected();
    void DataArrival(qint64 bytesTotal);
    void ConnectFailed(const QString& reason);
    // The established connection has gone (peer closed, reset, network error).
    void ConnectionLost();

private:
    void adopt(QTcpSocket* socket);
    void refusePending();
    void queueRequest(qintptr requestID);
    void announceNextRequest();
    void dropSocket();
    void connectSucceeded();
    void connectFailed(const QString& reason);
    void connectionGone();
    bool isListening() const;
    bool readyToOpen();
    // Keepalive, the user timeout and no delay for small writes, on a connected socket.
    void tuneConnection();
    // A new attempt at connectHost, replacing any socket.
    void connectAgain();
    // Emits from the event loop, unless the control was closed in between.
    void reportLater(std::function<void()> report);
    // How the established connection ended: closed by the peer, or failed.
    StateValue endedState() const;
    // True when connected; else false with errorText set.
    bool canSend();
    // One write, straight away.
    bool write(std::string_view data);

    // What the sender sees of the socket.
    class SocketProbe;

    QTcpServer* server = nullptr;
    QTcpSocket* socket = nullptr;
    QTimer* connectTimer = nullptr;
    QList<qintptr> pending;       // requests taken off the listening socket, not accepted yet
    QList<qintptr> unannounced;   // the part of pending whose ConnectionRequest is still queued
    qintptr announcing = -1;      // the request whose ConnectionRequest handler is running
    StateValue ended = sckClosed; // what State reports once the socket has no connection
    QString errorText;
    quint32 generation = 0; // bumped by Close and Accept so stale queued reports are dropped
    bool connecting = false;
    bool peerHeard = false;       // anything has arrived on this connection
    bool anythingWritten = false; // anything has been written on it
    QString connectHost;          // what Connect was given; empty on the accepting side
    int resetsLeft = 0;           // silent resets still to be answered by connecting again
    // While connecting again after a silent reset: how that connection ended.
    std::optional<std::pair<StateValue, QString>> lostBeforeRetry;
    std::unique_ptr<SocketProbe> probe;
    std::unique_ptr<AckSender> sender; // uses the probe, so is destroyed first
};
