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

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Answer = reach::Outcome::Answer;

// How long UPnP discovery listens for a router, and how long NAT-PMP may take
// in all (libnatpmp alone would retry for a minute): together under 3 s.
// The IPv6 search runs beside them.
constexpr int DiscoverMs = 1200;
constexpr auto Igd = "urn:schemas-upnp-org:device:InternetGatewayDevice:1";
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

// upnpDiscoverDevice, which listens for DiscoverMs at least, on a thread of its
// own, so that a search given up need not wait for it: the routers found (null
// when none answered, or when `unwanted()` tells that the search was given up).
template <class Unwanted> UPNPDev* discover(int ipv6, Unwanted unwanted) {
    struct Found {
        std::mutex lock;
        bool done = false;
        bool abandoned = false;
        UPNPDev* devices = nullptr;
    };
    const auto answer = std::make_shared<Found>();
    std::thread([answer, ipv6] {
        int error = 0;
        UPNPDev* devices = upnpDiscoverDevice(Igd, DiscoverMs, nullptr, nullptr,
                                              UPNP_LOCAL_PORT_ANY, ipv6, 2, &error);
        const std::lock_guard hold(answer->lock);
        if (answer->abandoned)
            freeUPNPDevlist(devices);
        else
            answer->devices = devices;
        answer->done = true;
    }).detach();
    for (;;) {
        {
            const std::lock_guard hold(answer->lock);
            answer->abandoned = !answer->done && unwanted();
            if (answer->done || answer->abandoned)
                return answer->devices;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// A pinhole for the match's port in the router's IPv6 firewall. The router opens
// one only for the address the request comes from, so it is asked over IPv6,
// for the address this machine speaks to it from.
class Pinhole {
public:
    ~Pinhole() { close(); }

    // Opens it for `lease` seconds unless `unwanted()` tells, between the steps,
    // that the search was given up. Touches nothing but its own state, so that
    // it may run beside the IPv4 mapping.
    template <class Unwanted> void open(quint16 port, const std::string& lease, Unwanted unwanted) {
        UPNPDev* devices = discover(1, unwanted);
        if (!devices)
            return;
        char own[64] = {};
        // A router with no IPv4 address outside (2) may still open its IPv6 firewall.
        const int found = UPNP_GetValidIGD(devices, &urls, &igd, own, sizeof own);
        freeUPNPDevlist(devices);
        haveUrls = found != 0;
        char id[8] = {};
        if ((found == 1 || found == 2) && urls.controlURL_6FC && *urls.controlURL_6FC &&
            *igd.IPv6FC.servicetype && reach::isGlobalIpv6(own) && !unwanted() &&
            UPNP_AddPinhole(urls.controlURL_6FC, igd.IPv6FC.servicetype, "", "0", own,
                            std::to_string(port).c_str(), "6", lease.c_str(), id) == 0) {
            uniqueId = id;
            at = own;
            return;
        }
        close();
    }

    // False when the router refused to keep it open.
    bool renew(const std::string& lease) {
        return UPNP_UpdatePinhole(urls.controlURL_6FC, igd.IPv6FC.servicetype, uniqueId.c_str(),
                                  lease.c_str()) == 0;
    }

    void close() {
        if (!at.empty())
            UPNP_DeletePinhole(urls.controlURL_6FC, igd.IPv6FC.servicetype, uniqueId.c_str());
        at.clear();
        if (haveUrls)
            FreeUPNPUrls(&urls);
        haveUrls = false;
    }

    // The address open to the internet; empty when none is.
    const std::string& address() const { return at; }

private:
    UPNPUrls urls{};
    IGDdatas igd{};
    bool haveUrls = false;
    std::string uniqueId; // the router's name for the pinhole
    std::string at;
};

} // namespace

int PortMapper::leaseSeconds() {
    static const int seconds = [] {
        bool ok = false;
        const int s = qEnvironmentVariableIntValue("QUORVEL_LEASE_SECONDS", &ok);
        return ok && s >= 2 && s <= LeaseSeconds ? s : LeaseSeconds;
    }();
    return seconds;
}

// One conversation with the router, on the mapper's thread: the mapping and the
// pinhole made, renewed and removed, and what the router was reached through.
class RouterSession : public QObject {
    Q_OBJECT
public:
    ~RouterSession() override { remove(); }

    // The start() the mapper still wants answered; 0 after stop(). A search
    // for another round gives up at its next step. Shared with the IPv6
    // searches, which may outlive the session.
    const std::shared_ptr<std::atomic<int>> wanted = std::make_shared<std::atomic<int>>(0);

    void map(quint16 port, int round) {
        searchRound = round;
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
        const bool global = std::any_of(outcome.ipv6Addresses.begin(), outcome.ipv6Addresses.end(),
                                        reach::isGlobalIpv6);
        // The IPv6 search shares the time of the IPv4 one, on a thread of its
        // own. Given up, it is not waited for: it closes what it opened itself.
        auto hole = std::make_shared<Pinhole>();
        std::promise<void> done;
        std::future<void> opened = done.get_future();
        std::thread([hole, port, global, wanted = wanted, round, done = std::move(done)]() mutable {
            const auto unwanted = [&] { return *wanted != round; };
            if (global)
                hole->open(port, std::to_string(PortMapper::leaseSeconds()), unwanted);
            if (unwanted())
                hole->close();
            done.set_value();
        }).detach();
        searching = true;
        if (!mapUpnp(outcome) && !unwanted())
            mapNatpmp(outcome);
        searching = false;
        while (opened.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready &&
               !unwanted()) {
        }
        if (unwanted()) {
            removeMapping(); // what a search no longer wanted made goes, untold
            return;
        }
        pinhole = hole;
        outcome.pinholeAddress = pinhole->address();
        told = outcome;
        emit mapped(outcome, round);
    }

    // Renews the mapping and the pinhole; where the router refuses, tells the
    // outcome as it now stands.
    void renew() {
        const int seconds = PortMapper::leaseSeconds();
        bool lapsed = false;
        if (via == Via::Upnp && lease != "0")
            lapsed = addUpnp(externalPort) != 0;
        else if (via == Via::Natpmp)
            lapsed = askNatpmp(externalPort, seconds, Clock::now() + NatpmpTime) != 0;
        if (lapsed) {
            removeMapping();
            told.answer = Answer::Lapsed;
        }
        if (!pinhole->address().empty() && !pinhole->renew(std::to_string(seconds))) {
            pinhole->close();
            told.pinholeAddress.clear();
            lapsed = true;
        }
        if (!lapsed)
            return;
        if (reach::joinAddress(told).empty())
            told.answer = Answer::Lapsed;
        emit mapped(told, searchRound);
    }

    void remove() {
        removeMapping();
        pinhole->close();
        told = {};
    }

signals:
    void mapped(const reach::Outcome& outcome, int round);

private:
    bool unwanted() const { return *wanted != searchRound; }

    // Removes the IPv4 mapping, leaving the pinhole.
    void removeMapping() {
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

    // True when a UPnP router answered, whatever it said.
    bool mapUpnp(reach::Outcome& outcome) {
        UPNPDev* devices = discover(0, [this] { return unwanted(); });
        if (!devices)
            return false;
        char lan[64] = {};
        const int found = UPNP_GetValidIGD(devices, &urls, &igd, lan, sizeof lan);
        freeUPNPDevlist(devices);
        haveUrls = found != 0;
        if (found == 2) // also what miniupnpd says with a private or shared outside address
            outcome.answer = Answer::NoAddress;
        if (found != 1 || unwanted()) {
            removeMapping();
            return found == 2;
        }
        lanAddress = lan;
        outcome.localAddress = lanAddress;
        char external[40] = {};
        if (UPNP_GetExternalIPAddress(urls.controlURL, igd.first.servicetype, external) != 0)
            external[0] = '\0';
        lease = std::to_string(PortMapper::leaseSeconds());
        for (int ext = internalPort; ext < internalPort + PortTries && ext <= 65535; ++ext) {
            if (unwanted())
                break;
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
                removeMapping();
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
        removeMapping();
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
            result = askNatpmp(internalPort, PortMapper::leaseSeconds(), deadline, &response);
        }
        if (silent(result) || unwanted()) {
            removeMapping();
            return;
        }
        if (result != 0) {
            // A network failure: the router has no address of its own outside.
            outcome.answer =
                result == NATPMP_ERR_NETWORKFAILURE ? Answer::NoAddress : Answer::Refused;
            outcome.reason = natpmpReason(result);
            removeMapping();
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

    // libnatpmp's answer to the pending request, waiting no later than `deadline`,
    // nor, while searching, once the search is given up.
    int wait(natpmpresp_t& response, Clock::time_point deadline) {
        for (;;) {
            const int result = readnatpmpresponseorretry(&natpmp, &response);
            const auto left = deadline - Clock::now();
            if (result != NATPMP_TRYAGAIN || left <= Clock::duration::zero() ||
                (searching && unwanted()))
                return result;
            timeval timeout{};
            getnatpmprequesttimeout(&natpmp, &timeout);
            const auto retry =
                std::chrono::seconds(timeout.tv_sec) + std::chrono::microseconds(timeout.tv_usec);
            const auto pause = std::chrono::duration_cast<std::chrono::microseconds>(
                std::min<Clock::duration>({left, retry, std::chrono::milliseconds(100)}));
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
    std::shared_ptr<Pinhole> pinhole = std::make_shared<Pinhole>(); // the one open, if any
    int searchRound = 0;    // the start() the latest search answers
    bool searching = false; // the IPv4 search is running
    reach::Outcome told;    // the outcome as last told
};

PortMapper::PortMapper(QObject* parent)
    : QObject(parent), thread(new QThread), session(new RouterSession) {
    thread->setObjectName(QStringLiteral("PortMapper"));
    session->moveToThread(thread);
    connect(session, &RouterSession::mapped, this, &PortMapper::settle);
    renewal.setInterval(leaseSeconds() * 500);
    connect(&renewal, &QTimer::timeout, this, [this] { queue([s = session] { s->renew(); }); });
    thread->start();
}

PortMapper::~PortMapper() {
    // With no event loop to come (the program is ending), the removal of a
    // mapping the router confirmed is waited for, briefly; a router search still
    // running is not (it gives up at its next step and undoes what it made, but
    // a step may take longer). Otherwise the thread goes on alone and the GUI
    // thread is not held up.
    const bool waitForRemoval =
        QThread::currentThread()->loopLevel() == 0 && (holding || !searching);
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
    if (waitForRemoval && thread->wait(QDeadlineTimer(ShutdownMs)))
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
    *session->wanted = ++round;
    queue([s = session, port, r = round] { s->map(port, r); });
}

void PortMapper::stop() {
    if (!running)
        return;
    running = false;
    holding = false;
    searching = false;
    renewal.stop();
    *session->wanted = 0;
    queue([s = session] { s->remove(); });
}

void PortMapper::settle(const reach::Outcome& outcome, int answered) {
    if (!running || answered != round)
        return;
    searching = false;
    holding = outcome.answer == Answer::Mapped || !outcome.pinholeAddress.empty();
    if (!holding)
        renewal.stop();
    else if (!renewal.isActive())
        renewal.start();
    emit finished(outcome);
}

#include "PortMapper.moc"
