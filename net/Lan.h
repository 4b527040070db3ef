#pragma once

// Finding each other on the local network: a host announces its match to the
// multicast group once a second (Announcer); the title screen listens there and
// keeps the hosts it has heard lately (HostListener). The datagrams are those of
// link/Announcement.h. Nothing here is needed to play: a program that neither
// announces nor listens still plays with this one by typed address.

#include "core/Announcement.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>

#include <string>
#include <string_view>
#include <vector>

class QTimer;
class QUdpSocket;

class Announcer : public QObject {
    Q_OBJECT
public:
    explicit Announcer(QObject* parent = nullptr);

    // Sends the announcement of a match on `matchPort` hosted by `name` now and
    // then every IntervalMs, until stop(). A datagram that cannot be sent (no
    // network) is let go; the next one is tried a second later.
    void start(uint16_t matchPort, std::string_view name);
    void stop();
    bool active() const;

private:
    void send();

    QUdpSocket* const socket;
    QTimer* const timer;
    QByteArray datagram;
};

class HostListener : public QObject {
    Q_OBJECT
public:
    struct Host {
        QHostAddress address; // where the announcement came from
        announcement::Announcement match;
        qint64 lastHeardMs = 0; // on the listener's clock
    };

    explicit HostListener(QObject* parent = nullptr);

    // Joins the group and listens. False when the port or the group cannot be
    // used (the list then stays empty).
    bool start();
    // Stops listening and forgets every host.
    void stop();
    bool listening() const;

    // The hosts heard within the last ExpiryMs, the newest first: a host keeps
    // its place while it goes on announcing; one heard anew comes first.
    const std::vector<Host>& hosts() const { return heard; }

    // How many datagrams one turn of the event loop reads at most; the rest wait
    // in the socket (whose buffer the kernel bounds) for the next turn, so that a
    // flood cannot hold up the program's other work.
    static constexpr int DatagramsPerTurn = 64;

signals:
    // The list has changed (a host came, went, or changed its name or port).
    // Emitted at most once per turn of the event loop.
    void changed();

private:
    void readPending();
    void hear(const QHostAddress& from, announcement::Announcement match);
    void expire();
    void scheduleExpiry();

    QUdpSocket* const socket;
    QTimer* const expiryTimer;
    QElapsedTimer clock;
    std::vector<Host> heard;
};
