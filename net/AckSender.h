#pragma once

// The sending side of a connection that keeps its messages apart on a lossy
// link. TCP resends a lost segment together with whatever was written after
// it, and the peer's program reads each arrival as one message; so a message
// that must arrive on its own is written only once everything written before
// it has been acknowledged and, when a segment had to be resent since the last
// such message, only some time after that acknowledgement was seen. A message given while another
// is held back waits behind it and goes with the same care, so that the two can never merge.
// Everything it needs of the socket goes through a SendProbe, so that the pacing can be driven by a
// fake connection and a fake clock.

#include <QObject>

#include <deque>
#include <optional>
#include <string>
#include <string_view>

class QTimer;

// What the sender needs of the connection.
class SendProbe {
public:
    virtual ~SendProbe() = default;
    // Bytes written that the peer has not acknowledged yet, including those
    // still waiting in the socket's own buffer; 0 when it cannot be told.
    virtual qint64 unacknowledged() const = 0;
    // Segments resent on the connection so far.
    virtual quint32 resends() const = 0;
    // Milliseconds on a steady clock.
    virtual qint64 now() const = 0;
    // One write, straight away. False when it fails.
    virtual bool write(std::string_view bytes) = 0;
    // Ends this side's sending direction. False while bytes still wait in the
    // socket's own buffer: it is asked again later.
    virtual bool endSending() = 0;
    // While finishing: hands what waits in the socket's own buffer to the
    // system and reads and drops what has arrived. False once the connection
    // has gone.
    virtual bool settle() = 0;
    // While finishing: waits at most ms for something to arrive.
    virtual void pause(int ms) = 0;
};

class AckSender : public QObject {
    Q_OBJECT
public:
    explicit AckSender(SendProbe& connection);

    // Written at once, unless a message is held back: then it waits behind it
    // and goes as one given to sendWhenAcknowledged. False when the write fails.
    bool send(std::string_view data);
    // Written once everything written before has been acknowledged (and, when a
    // segment was resent since the last such message, 100 ms after that was
    // seen); until then it waits, in order. False when the write fails at once.
    bool sendWhenAcknowledged(std::string_view data);
    // Messages still waiting to be written.
    qsizetype queued() const { return static_cast<qsizetype>(waiting.size()); }
    // Once everything waiting has been written, the sending direction ends.
    // Nothing may be sent after it.
    void closeSending();
    bool sendingClosed() const { return closing; }
    // Waits, at most timeoutMs, until everything waiting has been written and
    // everything written (the end of sending too) acknowledged, reading and
    // dropping what still arrives.
    void finish(int timeoutMs);
    // A new connection, or none: nothing waits, nothing is due.
    void reset();
    // Writes what may go now; the poll calls it while anything waits.
    void poll();
    // True while the poll runs: only while a message or the end of sending waits.
    bool polling() const;

signals:
    // A waiting message could not be written: the connection has failed.
    void writeFailed();

private:
    bool write(std::string_view data);
    // Once everything written has been acknowledged, notes when that was seen.
    void noteAcknowledgement();
    // Everything written acknowledged and, after a resend, that seen far enough back.
    bool mayWriteAcknowledged();
    bool writeAcknowledged(std::string_view data);

    SendProbe& probe;
    QTimer* acknowledgedPoll; // runs only while a message or the end of sending waits
    std::deque<std::string> waiting;
    bool acknowledgementDue = false;        // written since everything was last seen acknowledged
    std::optional<qint64> lastAcknowledged; // when that was seen
    quint32 resendsBefore = 0; // resends counted at the last write that waited its turn
    bool closing = false;      // the sending direction ends once nothing waits
    bool closed = false;       // it has ended
};
