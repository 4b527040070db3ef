#pragma once

// Asking the home router to forward the match's TCP port to this machine while
// a host waits, so that a friend on the internet can join: UPnP IGD first,
// NAT-PMP where UPnP finds no router; beside it, where this machine has a
// global IPv6 address, a pinhole for the port in the router's IPv6 firewall
// (UPnP WANIPv6FirewallControl). Every exchange with the router runs on a
// thread of its own; the GUI thread only queues requests and receives the
// outcome, so announcements, a joiner and the screens go on meanwhile.

#include "core/Reach.h"

#include <QObject>
#include <QTimer>

class QThread;
class RouterSession;

class PortMapper : public QObject {
    Q_OBJECT
public:
    // The router forgets a mapping or pinhole after LeaseSeconds unless it is
    // renewed, which happens at half that while the mapper is active, so a host
    // that vanishes without removing it leaves no open port behind for long.
    // A test hook: the environment variable QUORVEL_LEASE_SECONDS (2 to 1200),
    // read once, shortens the lease so that a test can see it renewed.
    static constexpr int LeaseSeconds = 1200;
    static int leaseSeconds();
    // How long the destructor waits for the removal when the program is ending.
    static constexpr int ShutdownMs = 1500;

    explicit PortMapper(QObject* parent = nullptr);
    // Removes the mapping: on the router thread while the event loop runs, else
    // waiting at most ShutdownMs for it.
    ~PortMapper() override;

    // Asks the router to forward TCP `port` (or a near one if another machine
    // holds it) to this machine and to open it over IPv6; finished() tells the
    // outcome within about 3 s. Does nothing while already active.
    void start(quint16 port);
    // Removes the mapping and pinhole at once (on the router thread; returns
    // immediately). A search still running gives up at its next step, undoes
    // what it made and tells nothing. Connections already made stay.
    void stop();
    bool active() const { return running; }

signals:
    // What asking the router came to, for reach::hostLine: once per start(),
    // and again as it then stands when the router refuses a renewal.
    void finished(const reach::Outcome& outcome);

private:
    void settle(const reach::Outcome& outcome, int round);
    // Runs `work` on the router thread, after everything queued before it.
    template <class Work> void queue(Work work);

    QThread* const thread;
    RouterSession* const session; // lives on `thread`
    QTimer renewal;
    bool running = false;
    bool holding = false;   // the router has confirmed a mapping or pinhole not yet removed
    bool searching = false; // the latest start() has not been answered yet
    int round = 0;          // which start() an outcome answers
};
