#pragma once

// Reading the address a player types to join a host: an IPv4 address
// (11.0.1.2), an IPv6 address (2001:db8::5, or with the interface of a
// link-local one, fe80::1%eth0) or a host name (quorvel.example), each
// optionally followed by a port (11.0.1.2:1426, [2001:db8::5]:1426,
// [fe80::1%eth0]:1426, quorvel.example:1426). Anything else is refused with the reason, in words a
// player can act on.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace address {

// The match's port, when the text names none.
inline constexpr uint16_t DefaultPort = 1425;

struct Target {
    std::string host; // IPv4 as dotted decimal, IPv6 without brackets (its zone
                      // kept after a "%"), or a host name
    uint16_t port = DefaultPort;

    bool operator==(const Target&) const = default;
};

struct Reading {
    std::optional<Target> target; // set when the text is an address
    std::string refusal;          // otherwise why not
};

// Reads the typed text; spaces around it are ignored. An IPv4 address comes back
// in plain dotted decimal: as typed, except that zeros padding a number are
// dropped (192.168.001.010 is 192.168.1.10, never read as octal), so the
// prompt's "000.000.000.000" is 0.0.0.0, the address it has always meant.
Reading read(std::string_view typed);

// Four numbers from 0 to 255 in decimal, one to three digits each, joined by dots.
std::optional<std::array<uint8_t, 4>> ipv4(std::string_view text);
// An IPv6 address in any of its written forms, without brackets or zone.
std::optional<std::array<uint8_t, 16>> ipv6(std::string_view text);

} // namespace address
