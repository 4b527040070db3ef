#include "core/Reach.h"

#include "core/Address.h"

namespace reach {

namespace {

// An address on the internet: not a private network's (10/8, 172.16/12,
// 192.168/16) nor a provider's shared space (100.64/10), where the router
// itself sits behind another, and none of the addresses that reach no one
// (unset, loopback, link-local, multicast, reserved).
bool isPublicIpv4(const std::string& text) {
    const auto a = address::ipv4(text);
    if (!a)
        return false;
    const int b0 = (*a)[0], b1 = (*a)[1];
    return !(b0 == 10 || (b0 == 172 && b1 >= 16 && b1 <= 31) || (b0 == 192 && b1 == 168) ||
             (b0 == 100 && b1 >= 64 && b1 <= 127) || b0 == 0 || b0 == 127 ||
             (b0 == 169 && b1 == 254) || b0 >= 224);
}

// An IPv6 address always in brackets, so that it reads as one in a line.
std::string joinAt(const std::string& host, uint16_t port) {
    const bool v6 = host.find(':') != std::string::npos;
    const std::string shown = v6 ? "[" + host + "]" : host;
    return port == address::DefaultPort ? shown : shown + ":" + std::to_string(port);
}

std::string byHand(const Outcome& outcome) {
    return " Forward TCP port " + std::to_string(outcome.port) + " on the router to " +
           (outcome.localAddress.empty() ? std::string("this machine") : outcome.localAddress) +
           " by hand.";
}

// The router forwards a port from an address on the internet.
bool mappedOutside(const Outcome& outcome) {
    return outcome.answer == Outcome::Answer::Mapped && isPublicIpv4(outcome.externalAddress);
}

// The router lets friends reach this machine's global IPv6 address.
bool pinholed(const Outcome& outcome) {
    return isGlobalIpv6(outcome.pinholeAddress);
}

} // namespace

bool isGlobalIpv6(const std::string& text) {
    const auto a = address::ipv6(text);
    return a && ((*a)[0] & 0xe0) == 0x20;
}

std::string joinAddress(const Outcome& outcome) {
    if (mappedOutside(outcome))
        return joinAt(outcome.externalAddress, outcome.externalPort);
    return pinholed(outcome) ? joinAt(outcome.pinholeAddress, outcome.port) : std::string();
}

std::string hostLine(const Outcome& outcome) {
    const std::string join = "Friends on the internet join at ";
    const std::string cannot = "Friends on the internet cannot join: ";
    if (mappedOutside(outcome))
        return join + joinAddress(outcome) +
               (pinholed(outcome)
                    ? ", or at " + joinAt(outcome.pinholeAddress, outcome.port) + " over IPv6"
                    : std::string());
    if (pinholed(outcome))
        return join + joinAddress(outcome) + " (over IPv6: your friend needs IPv6 too)";
    switch (outcome.answer) {
    case Outcome::Answer::NoAnswer:
        return cannot + "the router does not answer (UPnP and NAT-PMP are off or missing)." +
               byHand(outcome);
    case Outcome::Answer::Refused:
        return cannot + "the router refused to forward port " + std::to_string(outcome.port) +
               " (" + outcome.reason + ")." + byHand(outcome);
    case Outcome::Answer::Lapsed:
        return "Friends on the internet cannot join any more: the router stopped forwarding "
               "port " +
               std::to_string(outcome.port) + ".";
    case Outcome::Answer::Mapped:
    case Outcome::Answer::NoAddress:
        break;
    }
    return cannot +
           "your router has no internet address of its own (the provider shares one among many "
           "homes, or a second router stands in the way). Let your friend host instead.";
}

} // namespace reach
