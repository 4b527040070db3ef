#pragma once

// What the host tells its player about friends on the internet, once it has
// asked its home router to forward the match's port: the address to send a
// friend, or why there is none and what to do instead. It never says that the
// address works: from inside its own network a host cannot try it.

#include <cstdint>
#include <string>
#include <vector>

namespace reach {

// What asking the router came to.
struct Outcome {
    enum class Answer {
        Mapped,    // the router forwards externalPort to this machine
        NoAnswer,  // no router spoke UPnP or NAT-PMP
        NoAddress, // the router has no address of its own on the internet to forward from
        Refused,   // a router answered but forwards nothing
        Lapsed,    // the router forwarded the port but refused to renew it
    };
    Answer answer = Answer::NoAnswer;
    uint16_t port = 1425;        // the match's port on this machine
    std::string externalAddress; // Mapped: the router's address on the internet, as it said
    uint16_t externalPort = 0;   // Mapped: the router's port forwarded to `port`
    std::string reason;          // Refused: the router's reason
    std::string localAddress;    // this machine's address at home; empty when unknown
    // This machine's IPv6 addresses: a pinhole is asked for where one is global.
    // The line shows none of them, only what the router opened.
    std::vector<std::string> ipv6Addresses;
    // The global IPv6 address the router lets friends reach `port` on (a
    // pinhole in its IPv6 firewall); empty when it opened none or stopped.
    std::string pinholeAddress;
};

// Global unicast, 2000::/3: neither link-local (fe80::/10) nor unique-local
// (fc00::/7), loopback or an IPv4 address in IPv6 dress.
bool isGlobalIpv6(const std::string& text);

// The one line the host screen shows beside its status.
std::string hostLine(const Outcome& outcome);
// The address in that line that a friend types to join ("11.0.1.1",
// "11.0.1.1:1426", "[2001:db8::5]"): the IPv4 one where there is one; empty
// when the line gives none.
std::string joinAddress(const Outcome& outcome);

} // namespace reach
