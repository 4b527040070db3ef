#pragma once

// A TCP socket control in the shape the screens were designed around: one object
// that can listen, hand an incoming request to the caller, accept it on itself,
// connect, send whole texts and read everything that has arrived. Events are
// signals delivered on the GUI thread.

#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

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

    // Starts listening on LocalPort (all addresses). False, with ErrorText set,
    // when the port cannot be listened on.
    bool Listen();
    int State() const;
    // Stops listening and drops any connection; requests not accepted are refused.
    void Close();
    // Takes the request into this control, which then carries the connection.
    bool Accept(qintptr requestID);
    // Starts connecting to host (dotted IPv4, IPv6 or a host name) on RemotePort;
    // returns at once. Failure is reported by ConnectFailed.
    void Connect(const QString& host);
    // Sends the bytes at once, as one write. False when there is no connection
    // or the write fails.
    bool SendData(const QByteArray& data);
    // Everything that has arrived, removed from the socket.
    QByteArray GetData();
    // This machine's first non-loopback IPv4 address on an interface that is up,
    // else "127.0.0.1".
    static QString LocalIP();

    QString ErrorText() const { return errorText; }

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

    QTcpServer* server = nullptr;
    QTcpSocket* socket = nullptr;
    QList<qintptr> pending;
    QString errorText;
    bool connecting = false;
};
