#include "net/Lobby.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <utility>

namespace {

// Who came and how each was judged: QT_LOGGING_RULES="quorvel.lobby.info=true".
Q_LOGGING_CATEGORY(lcLobby, "quorvel.lobby", QtWarningMsg)

// The most a first arrival is read as, the same slice the socket control reads.
constexpr qsizetype FirstArrivalLimit = 64 * 1024;

// The peer's address as a player writes it (an IPv4 peer of the dual-stack
// listening socket without its IPv6 dress).
QString peerOf(int descriptor) {
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &size) != 0)
        return QStringLiteral("?");
    QHostAddress address(reinterpret_cast<const sockaddr*>(&peer));
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(v4).toString() : address.toString();
}

} // namespace

struct Lobby::Guest {
    Guest(int fd, QString address, qint64 now, QObject* parent)
        : descriptor(fd), admitted(now), peer(std::move(address)),
          notifier(new QSocketNotifier(fd, QSocketNotifier::Read, parent)) {}
    ~Guest() {
        // It may be the notifier whose signal is being handled.
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    Guest(const Guest&) = delete;
    Guest& operator=(const Guest&) = delete;

    const int descriptor;
    const qint64 admitted;
    const QString peer;
    QSocketNotifier* const notifier;
};

Lobby::Lobby(std::string_view greet, bool (*opensExchange)(std::string_view), QObject* parent,
             int judgeMs)
    : QObject(parent), greeting(greet.data(), qsizetype(greet.size())), opens(opensExchange),
      judging(judgeMs) {
    clock.start();
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer); // a coarse timer fires up to 5% late
    connect(&deadline, &QTimer::timeout, this, &Lobby::timeOut);
}

Lobby::~Lobby() {
    clear();
}

void Lobby::admit(qintptr descriptor) {
    const int fd = int(descriptor);
    // Its address before anything is sent: one that has already gone has none after.
    const QString peer = peerOf(fd);
    if (::send(fd, greeting.constData(), size_t(greeting.size()), MSG_NOSIGNAL | MSG_DONTWAIT) !=
        greeting.size()) {
        qCInfo(lcLobby).noquote() << "lobby: dropped" << peer + ": closed";
        ::close(fd);
        return;
    }
    guests.push_back(std::make_unique<Guest>(fd, peer, clock.elapsed(), this));
    connect(guests.back()->notifier, &QSocketNotifier::activated, this, [this, fd] { read(fd); });
    if (judged() > Seats)
        crowdOut();
    qCInfo(lcLobby).noquote()
        << QStringLiteral("lobby: judging %1 (%2 judged)").arg(guests.back()->peer).arg(judged());
    armTimer();
}

void Lobby::clear() {
    while (!guests.empty())
        drop(guests.begin(), QStringLiteral("another joined"));
    deadline.stop();
}

void Lobby::read(int descriptor) {
    const auto guest = std::find_if(guests.begin(), guests.end(), [descriptor](const auto& g) {
        return g->descriptor == descriptor;
    });
    if (guest == guests.end())
        return;
    QByteArray first(FirstArrivalLimit, Qt::Uninitialized);
    const ssize_t got = ::recv(descriptor, first.data(), size_t(first.size()), MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (got <= 0) {
        drop(guest, QStringLiteral("closed"));
        return;
    }
    first.resize(got);
    if (!opens(std::string_view(first.constData(), size_t(first.size())))) {
        drop(guest, QStringLiteral("junk"));
        return;
    }
    qCInfo(lcLobby).noquote() << "lobby: joiner" << (*guest)->peer;
    guests.erase(guest); // the descriptor stays open: it is the receiver's
    armTimer();
    emit joinerFound(descriptor, first);
}

void Lobby::drop(std::vector<std::unique_ptr<Guest>>::iterator guest, const QString& why) {
    qCInfo(lcLobby).noquote() << "lobby: dropped" << (*guest)->peer + ":" << why;
    const int descriptor = (*guest)->descriptor;
    guests.erase(guest); // its notifier off before the descriptor is closed
    ::close(descriptor);
}

void Lobby::crowdOut() {
    std::map<QString, int> seats;
    for (const auto& guest : guests)
        ++seats[guest->peer];
    const int most = std::max_element(seats.begin(), seats.end(), [](const auto& a, const auto& b) {
                         return a.second < b.second;
                     })->second;
    drop(std::find_if(guests.begin(), guests.end(),
                      [&](const auto& guest) { return seats[guest->peer] == most; }),
         QStringLiteral("crowded out"));
}

void Lobby::timeOut() {
    const qint64 now = clock.elapsed();
    while (!guests.empty() && now - guests.front()->admitted >= judging)
        drop(guests.begin(), QStringLiteral("silent for %1 s").arg(judging / 1000.0));
    armTimer();
}

void Lobby::armTimer() {
    if (guests.empty()) {
        deadline.stop();
        return;
    }
    deadline.start(int(std::max<qint64>(0, guests.front()->admitted + judging - clock.elapsed())));
}
