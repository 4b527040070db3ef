#pragma once

// Asking the home router to forward the match's TCP port to this machine while
// a host waits, so that a friend on the internet can join: UPnP IGD first,
// NAT-PMP where UPnP finds no router. Every exchange with the router runs on a
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
    // The router forgets a mapping after LeaseSeconds unless it is renewed,
    // which happens every RenewMs while the mapper is active, so a host that
    // vanishes without removing it leaves no open port behind for long.
    static constexpr int LeaseSeconds = 1200;
    static constexpr int RenewMs = 600000;
    // How long the destructor waits for the removal when the program is ending.
    static constexpr int ShutdownMs = 1500;

    explicit PortMapper(QObject* parent = nullptr);
    // Removes the mapping: on the router thread while the event loop runs, else
    // waiting at most ShutdownMs for it.
    ~PortMapper() override;

    // Asks the router to forward TCP `port` (or a near one if another machine
    // holds it) to this machine; finished() tells the outcome within about 3 s.
    // Does nothing while already active.
    void start(quint16 port);
    // Removes the mapping at once (on the router thread; returns immediately)
    // and forgets an outcome still to come. Connections already made stay.
    void stop();
    bool active() const { return running; }

signals:
    // What asking the router came to, for reach::hostLine. Once per start().
    void finished(const reach::Outcome& outcome);

private:
    void settle(const reach::Outcome& outcome, int round);
    // Runs `work` on the router thread, after everything queued before it.
    template <class Work> void queue(Work work);

    QThread* const thread;
    RouterSession* const session; // lives on `thread`
    QTimer renewal;
    bool running = false;
    bool holding = false;   // the router has confirmed a mapping not yet removed
    bool searching = false; // the latest start() has not been answered yet
    int round = 0;          // which start() an outcome answers
};
