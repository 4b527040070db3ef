#include "net/Lan.h"

#include <QTimer>
#include <QUdpSocket>
#include <QVariant>

#include <algorithm>
#include <array>

namespace {

QHostAddress group() {
    return QHostAddress(
        QString::fromLatin1(announcement::Group.data(), qsizetype(announcement::Group.size())));
}

// The host heard from longest ago.
template <class Hosts> auto oldest(Hosts& hosts) {
    return std::min_element(hosts.begin(), hosts.end(), [](const auto& a, const auto& b) {
        return a.lastHeardMs < b.lastHeardMs;
    });
}

} // namespace

Announcer::Announcer(QObject* parent)
    : QObject(parent), socket(new QUdpSocket(this)), timer(new QTimer(this)) {
    timer->setInterval(announcement::IntervalMs);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, &Announcer::send);
}

void Announcer::start(uint16_t matchPort, std::string_view name) {
    datagram = QByteArray::fromStdString(announcement::build(matchPort, name));
    if (socket->state() == QAbstractSocket::UnconnectedState &&
        socket->bind(QHostAddress(QHostAddress::AnyIPv4), 0))
        socket->setSocketOption(QAbstractSocket::MulticastTtlOption,
                                QVariant(announcement::TimeToLive));
    send();
    timer->start();
}

void Announcer::stop() {
    timer->stop();
    socket->close();
}

bool Announcer::active() const {
    return timer->isActive();
}

void Announcer::send() {
    socket->writeDatagram(datagram, group(), announcement::Port);
}

HostListener::HostListener(QObject* parent)
    : QObject(parent), socket(new QUdpSocket(this)), expiryTimer(new QTimer(this)) {
    clock.start();
    expiryTimer->setSingleShot(true);
    connect(expiryTimer, &QTimer::timeout, this, &HostListener::expire);
    connect(socket, &QUdpSocket::readyRead, this, &HostListener::readPending);
}

bool HostListener::start() {
    if (listening())
        return true;
    // Bound to the group's address, the socket takes only what is sent to the
    // group; other programs on this machine may listen there too.
    const auto sharing = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;
    if (!socket->bind(group(), announcement::Port, sharing) &&
        !socket->bind(QHostAddress(QHostAddress::AnyIPv4), announcement::Port, sharing))
        return false;
    if (!socket->joinMulticastGroup(group())) {
        socket->close();
        return false;
    }
    return true;
}

void HostListener::stop() {
    socket->close();
    expiryTimer->stop();
    if (!heard.empty()) {
        heard.clear();
        emit changed();
    }
}

bool HostListener::listening() const {
    return socket->state() == QAbstractSocket::BoundState;
}

void HostListener::readPending() {
    const std::vector<Host> before = heard;
    std::array<char, announcement::DatagramMax + 1> buffer;
    for (int n = 0; n < DatagramsPerTurn && socket->hasPendingDatagrams(); ++n) {
        QHostAddress from;
        const qint64 size = socket->readDatagram(buffer.data(), qint64(buffer.size()), &from);
        if (size < 0)
            break;
        if (auto match = announcement::parse(std::string_view(buffer.data(), size_t(size))))
            hear(from, std::move(*match));
    }
    const auto sameHost = [](const Host& a, const Host& b) {
        return a.address == b.address && a.match == b.match;
    };
    if (!std::equal(before.begin(), before.end(), heard.begin(), heard.end(), sameHost))
        emit changed();
    scheduleExpiry();
}

void HostListener::hear(const QHostAddress& from, announcement::Announcement match) {
    const qint64 now = clock.elapsed();
    const auto known = std::find_if(heard.begin(), heard.end(),
                                    [&](const Host& host) { return host.address == from; });
    if (known != heard.end()) {
        known->match = std::move(match);
        known->lastHeardMs = now;
        return;
    }
    if (heard.size() >= announcement::HostsMax) {
        // Full: the host heard from longest ago makes room.
        heard.erase(oldest(heard));
    }
    heard.insert(heard.begin(), Host{from, std::move(match), now});
}

void HostListener::expire() {
    const qint64 now = clock.elapsed();
    const auto gone = std::remove_if(heard.begin(), heard.end(), [now](const Host& host) {
        return now - host.lastHeardMs >= announcement::ExpiryMs;
    });
    if (gone != heard.end()) {
        heard.erase(gone, heard.end());
        emit changed();
    }
    scheduleExpiry();
}

void HostListener::scheduleExpiry() {
    if (heard.empty()) {
        expiryTimer->stop();
        return;
    }
    const qint64 due = oldest(heard)->lastHeardMs + announcement::ExpiryMs - clock.elapsed();
    expiryTimer->start(int(std::max<qint64>(due, 0)));
}
