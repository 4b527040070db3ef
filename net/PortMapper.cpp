#include "net/PortMapper.h"

#include "net/LocalAddress.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QThread>

#include <arpa/inet.h>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>
#include <natpmp.h>
#include <sys/select.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using Answer = reach::Outcome::Answer;

// How long UPnP discovery listens for a router, and how long NAT-PMP may take
// in all (libnatpmp alone would retry for a minute): together under 3 s.
constexpr int DiscoverMs = 1200;
constexpr auto NatpmpTime = std::chrono::milliseconds(1200);
constexpr auto NatpmpRemoveTime = std::chrono::milliseconds(500);
// External ports tried, from the match's own, when another machine holds one.
constexpr int PortTries = 5;
constexpr int UpnpConflict = 718;
constexpr int UpnpOnlyPermanentLeases = 725;

// libnatpmp's answers that mean no router speaks NAT-PMP here.
bool silent(int result) {
    return result == NATPMP_TRYAGAIN || result == NATPMP_ERR_NOGATEWAYSUPPORT ||
           result == NATPMP_ERR_RECVFROM || result == NATPMP_ERR_SENDERR;
}

std::string natpmpReason(int result) {
    switch (result) {
    case NATPMP_ERR_NOTAUTHORIZED:
        return "not authorized";
    case NATPMP_ERR_OUTOFRESOURCES:
        return "it has no room for another mapping";
    default:
        return "NAT-PMP error " + std::to_string(result);
    }
}

} // namespace

// One conversation with the router, on the mapper's thread: the mapping made,
// renewed and removed, and what the router was reached through.
class RouterSession : public QObject {
    Q_OBJECT
public:
    ~RouterSession() override { remove(); }

    std::atomic<bool> cancelled{false};

    void map(quint16 port, int round) {
        reach::Outcome outcome;
        outcome.port = port;
        internalPort = port;
        if (const QString ip = net::localIP(); ip != QStringLiteral("127.0.0.1"))
            outcome.localAddress = ip.toStdString();
        for (QHostAddress a : QNetworkInterface::allAddresses())
            if (a.protocol() == QAbstractSocket::IPv6Protocol) {
                a.setScopeId(QString());
                outcome.ipv6Addresses.push_back(a.toString().toStdString());
            }
        if (!mapUpnp(outcome) && !cancelled)
            mapNatpmp(outcome);
        emit mapped(outcome, round);
    }

    void renew() {
        if (via == Via::Upnp && lease != "0")
            addUpnp(externalPort);
        else if (via == Via::Natpmp)
            askNatpmp(externalPort, PortMapper::LeaseSeconds, Clock::now() + NatpmpTime);
    }

    void remove() {
        const std::string ext = std::to_string(externalPort);
        if (via == Via::Upnp)
            UPNP_DeletePortMapping(urls.controlURL, igd.first.servicetype, ext.c_str(), "TCP",
                                   nullptr);
        else if (via == Via::Natpmp)
            askNatpmp(externalPort, 0, Clock::now() + NatpmpRemoveTime);
        via = Via::None;
        if (haveUrls)
            FreeUPNPUrls(&urls);
        haveUrls = false;
        if (natpmpOpen)
            closenatpmp(&natpmp);
        natpmpOpen = false;
    }

signals:
    void mapped(const reach::Outcome& outcome, int round);

private:
    // True when a UPnP router answered, whatever it said.
    bool mapUpnp(reach::Outcome& outcome) {
        int error = 0;
        UPNPDev* devices =
            upnpDiscoverDevice("urn:schemas-upnp-org:device:InternetGatewayDevice:1", DiscoverMs,
                               nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error);
        if (!devices)
            return false;
        char lan[64] = {};
        const int found = UPNP_GetValidIGD(devices, &urls, &igd, lan, sizeof lan);
        freeUPNPDevlist(devices);
        haveUrls = found != 0;
        if (found == 2) // also what miniupnpd says with a private or shared outside address
            outcome.answer = Answer::NoAddress;
        if (found != 1 || cancelled) {
            remove();
            return found == 2;
        }
        lanAddress = lan;
        outcome.localAddress = lanAddress;
        char external[40] = {};
        if (UPNP_GetExternalIPAddress(urls.controlURL, igd.first.servicetype, external) != 0)
            external[0] = '\0';
        lease = std::to_string(PortMapper::LeaseSeconds);
        for (int ext = internalPort; ext < internalPort + PortTries && ext <= 65535; ++ext) {
            if (heldByAnother(ext))
                continue;
            int result = addUpnp(ext);
            if (result == UpnpOnlyPermanentLeases) {
                lease = "0"; // removed by stop() instead of expiring
                result = addUpnp(ext);
            }
            if (result == UpnpConflict)
                continue;
            if (result != 0) {
                const char* why = strupnperror(result);
                outcome.answer = Answer::Refused;
                outcome.reason = why ? why : "UPnP error " + std::to_string(result);
                remove();
                return true;
            }
            via = Via::Upnp;
            externalPort = quint16(ext);
            outcome.answer = Answer::Mapped;
            outcome.externalAddress = external;
            outcome.externalPort = externalPort;
            return true;
        }
        outcome.answer = Answer::Refused;
        outcome.reason = "ports " + std::to_string(internalPort) + " to " +
                         std::to_string(internalPort + PortTries - 1) +
                         " are forwarded to other machines";
        remove();
        return true;
    }

    // The router already forwards `ext` to some other machine or port.
    bool heldByAnother(int ext) {
        const std::string port = std::to_string(ext);
        char client[64] = {}, inPort[8] = {}, desc[80] = {}, enabled[4] = {}, duration[16] = {};
        return UPNP_GetSpecificPortMappingEntry(urls.controlURL, igd.first.servicetype,
                                                port.c_str(), "TCP", nullptr, client, inPort, desc,
                                                enabled, duration) == 0 &&
               (lanAddress != client || std::to_string(internalPort) != inPort);
    }

    int addUpnp(int ext) {
        return UPNP_AddPortMapping(urls.controlURL, igd.first.servicetype,
                                   std::to_string(ext).c_str(),
                                   std::to_string(internalPort).c_str(), lanAddress.c_str(),
                                   "Quorvel", "TCP", nullptr, lease.c_str());
    }

    void mapNatpmp(reach::Outcome& outcome) {
        if (initnatpmp(&natpmp, 0, 0) != 0)
            return;
        natpmpOpen = true;
        const auto deadline = Clock::now() + NatpmpTime;
        natpmpresp_t response{};
        int result =
            sendpublicaddressrequest(&natpmp) < 0 ? NATPMP_ERR_SENDERR : wait(response, deadline);
        char external[INET_ADDRSTRLEN] = {};
        if (result == 0) {
            inet_ntop(AF_INET, &response.pnu.publicaddress.addr, external, sizeof external);
            result = askNatpmp(internalPort, PortMapper::LeaseSeconds, deadline, &response);
        }
        if (silent(result) || cancelled) {
            remove();
            return;
        }
        if (result != 0) {
            // A network failure: the router has no address of its own outside.
            outcome.answer =
                result == NATPMP_ERR_NETWORKFAILURE ? Answer::NoAddress : Answer::Refused;
            outcome.reason = natpmpReason(result);
            remove();
            return;
        }
        via = Via::Natpmp;
        externalPort = response.pnu.newportmapping.mappedpublicport;
        outcome.answer = Answer::Mapped;
        outcome.externalAddress = external;
        outcome.externalPort = externalPort;
    }

    // A TCP mapping from `ext` for `lifetime` seconds (0 removes it).
    int askNatpmp(quint16 ext, int lifetime, Clock::time_point deadline,
                  natpmpresp_t* answer = nullptr) {
        natpmpresp_t response{};
        // A removal suggests no outside port (RFC 6886).
        if (sendnewportmappingrequest(&natpmp, NATPMP_PROTOCOL_TCP, internalPort,
                                      lifetime == 0 ? 0 : ext, uint32_t(lifetime)) < 0)
            return NATPMP_ERR_SENDERR;
        const int result = wait(response, deadline);
        if (answer)
            *answer = response;
        return result;
    }

    // libnatpmp's answer to the pending request, waiting no later than `deadline`.
    int wait(natpmpresp_t& response, Clock::time_point deadline) {
        for (;;) {
            const int result = readnatpmpresponseorretry(&natpmp, &response);
            const auto left = deadline - Clock::now();
            if (result != NATPMP_TRYAGAIN || left <= Clock::duration::zero())
                return result;
            timeval timeout{};
            getnatpmprequesttimeout(&natpmp, &timeout);
            const auto retry =
                std::chrono::seconds(timeout.tv_sec) + std::chrono::microseconds(timeout.tv_usec);
            const auto pause = std::chrono::duration_cast<std::chrono::microseconds>(
                std::min<Clock::duration>(left, retry));
            timeout.tv_sec = pause.count() / 1000000;
            timeout.tv_usec = pause.count() % 1000000;
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(natpmp.s, &readable);
            select(natpmp.s + 1, &readable, nullptr, nullptr, &timeout);
        }
    }

    enum class Via { None, Upnp, Natpmp };
    Via via = Via::None;
    quint16 internalPort = 0;
    quint16 externalPort = 0;
    UPNPUrls urls{};
    IGDdatas igd{};
    bool haveUrls = false;
    std::string lanAddress; // this machine's address as the router sees it
    std::string lease;      // "0": the router keeps the mapping until it is deleted
    natpmp_t natpmp{};
    bool natpmpOpen = false;
};

PortMapper::PortMapper(QObject* parent)
    : QObject(parent), thread(new QThread), session(new RouterSession) {
    thread->setObjectName(QStringLiteral("PortMapper"));
    session->moveToThread(thread);
    connect(session, &RouterSession::mapped, this, &PortMapper::settle);
    renewal.setInterval(RenewMs);
    connect(&renewal, &QTimer::timeout, this, [this] { queue([s = session] { s->renew(); }); });
    thread->start();
}

PortMapper::~PortMapper() {
    stop();
    // The thread ends once everything queued has run, and takes the session along.
    connect(
        thread, &QThread::finished, thread,
        [s = session, t = thread] {
            delete s;
            t->deleteLater();
        },
        Qt::DirectConnection);
    queue([] { QThread::currentThread()->quit(); });
    // With no event loop to come (the program is ending), the removal of a
    // mapping the router confirmed is waited for, briefly; a router search still
    // running is not (what it maps lapses with its lease). Otherwise the thread
    // goes on alone and the GUI thread is not held up.
    if (QThread::currentThread()->loopLevel() == 0 && (holding || !searching) &&
        thread->wait(QDeadlineTimer(ShutdownMs)))
        delete thread;
}

template <class Work> void PortMapper::queue(Work work) {
    QMetaObject::invokeMethod(session, std::move(work), Qt::QueuedConnection);
}

void PortMapper::start(quint16 port) {
    if (running)
        return;
    running = true;
    searching = true;
    session->cancelled = false;
    queue([s = session, port, r = ++round] { s->map(port, r); });
}

void PortMapper::stop() {
    if (!running)
        return;
    running = false;
    renewal.stop();
    session->cancelled = true;
    queue([s = session] { s->remove(); });
}

void PortMapper::settle(const reach::Outcome& outcome, int answered) {
    if (answered == round)
        searching = false;
    if (!running || answered != round)
        return;
    if (outcome.answer == Answer::Mapped) {
        holding = true;
        renewal.start();
    }
    emit finished(outcome);
}

#include "PortMapper.moc"
