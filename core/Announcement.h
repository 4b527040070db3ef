#pragma once

// How a host tells the local network about its match: one UDP datagram a second
// to a multicast group, reading exactly
//
//     QUORVEL 1 <port> <name>
//
// the marker, the announcement's version, the match's TCP port in decimal (no
// sign, no leading zero, 1..65535) and the host chicken's name as the rest of the
// datagram: its bytes as they are, at least one; only the first NameMax count.
// Anything else, or more than DatagramMax bytes, is not an announcement. The
// host's address is the datagram's source.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace announcement {

// Where announcements go: a group of the organisation-local scope, sent with a
// time-to-live of 1 so that they never leave the local network.
inline constexpr std::string_view Group = "239.255.14.25";
inline constexpr uint16_t Port = 1425;
inline constexpr int TimeToLive = 1;

inline constexpr std::string_view Marker = "QUORVEL";
inline constexpr std::string_view Version = "1";
// The longest name sent; a longer one is cut.
inline constexpr size_t NameMax = 200;
// The longest datagram read as an announcement.
inline constexpr size_t DatagramMax = 512;

// A host announces once a second; a listener forgets it 4 s after its last one
// and keeps at most HostsMax hosts.
inline constexpr int IntervalMs = 1000;
inline constexpr int ExpiryMs = 4000;
inline constexpr size_t HostsMax = 16;

struct Announcement {
    uint16_t port = 0;
    std::string name; // bytes of the game's 8-bit character set

    bool operator==(const Announcement&) const = default;
};

// The datagram announcing a match on `port` hosted by the chicken `name` (cut to
// NameMax bytes). An empty name or port 0 makes a datagram no listener takes.
std::string build(uint16_t port, std::string_view name);

// The announcement a datagram holds, or nothing when it is not exactly of the
// form above or is longer than DatagramMax.
std::optional<Announcement> parse(std::string_view datagram);

} // namespace announcement
