// Reads a loopback capture (classic pcap, as tcpdump -w writes it) of one match
// and tells, for each side of the connection between the host's port and the
// joiner's port, how many messages it sent and how many of them left as a TCP
// segment of their own: a payload that is exactly one well-formed message.
//
//   bench_segments CAPTURE HOST_PORT PEER_PORT
//
// Prints "host_messages=", "host_own=", "host_bad=" and the same for "peer_";
// a segment that is not one message counts every message in it as not its own
// ("bad" counts segments that do not even split into messages). Retransmitted
// segments are counted once.

#include "catalogue.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Side {
    long messages = 0;
    long own = 0;
    long bad = 0;
    long segments = 0;
    std::set<std::pair<uint32_t, size_t>> seen; // sequence number, length
};

uint16_t be16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
uint32_t be32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// Bytes from the start of a frame to its IP header, by the capture's link type.
long linkHeaderLength(uint32_t linkType, const unsigned char* frame, size_t length) {
    switch (linkType) {
    case 0: // BSD loopback: 4-byte family
        return 4;
    case 1: // Ethernet (Linux lo): skip VLAN tags if any
        return (length >= 14 && be16(frame + 12) == 0x8100) ? 18 : 14;
    case 101: // raw IP
        return 0;
    case 113: // Linux cooked
        return 16;
    case 276: // Linux cooked v2
        return 20;
    default:
        return -1;
    }
}

void count(Side& side, uint32_t sequence, const unsigned char* payload, size_t length) {
    if (!side.seen.insert({sequence, length}).second)
        return;
    ++side.segments;
    const std::string_view text(reinterpret_cast<const char*>(payload), length);
    const auto messages = bench::split(text);
    if (!messages) {
        ++side.bad;
        ++side.messages; // at least one message went wrong here
        return;
    }
    side.messages += static_cast<long>(messages->size());
    if (messages->size() == 1)
        ++side.own;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_segments CAPTURE HOST_PORT PEER_PORT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> data{std::istreambuf_iterator<char>(in), {}};
    const auto hostPort = static_cast<uint16_t>(std::stoi(argv[2]));
    const auto peerPort = static_cast<uint16_t>(std::stoi(argv[3]));
    if (data.size() < 24) {
        std::fprintf(stderr, "bench_segments: no capture in %s\n", argv[1]);
        return 1;
    }
    // The capture is in this machine's byte order (magic a1b2c3d4, or a1b23c4d with
    // nanosecond stamps); a swapped file is not expected from a local tcpdump.
    const auto le32 = [&](size_t at) {
        return static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
               static_cast<uint32_t>(data[at + 2]) << 16 |
               static_cast<uint32_t>(data[at + 3]) << 24;
    };
    const uint32_t magic = le32(0);
    if (magic != 0xa1b2c3d4 && magic != 0xa1b23c4d) {
        std::fprintf(stderr, "bench_segments: not a little-endian pcap file\n");
        return 1;
    }
    const uint32_t linkType = le32(20);

    Side host, peer;
    for (size_t at = 24; at + 16 <= data.size();) {
        const size_t captured = le32(at + 8);
        const size_t original = le32(at + 12);
        at += 16;
        if (at + captured > data.size())
            break;
        const unsigned char* frame = data.data() + at;
        at += captured;
        if (captured != original) {
            std::fprintf(stderr, "bench_segments: a frame was cut short; capture with -s 0\n");
            return 1;
        }
        const long ipAt = linkHeaderLength(linkType, frame, captured);
        if (ipAt < 0) {
            std::fprintf(stderr, "bench_segments: unknown link type %u\n", linkType);
            return 1;
        }
        const unsigned char* ip = frame + ipAt;
        const size_t ipLength = captured - static_cast<size_t>(ipAt);
        size_t tcpAt = 0, ipTotal = 0;
        if (ipLength >= 20 && (ip[0] >> 4) == 4 && ip[9] == 6) {
            tcpAt = static_cast<size_t>(ip[0] & 0x0f) * 4;
            ipTotal = be16(ip + 2);
        } else if (ipLength >= 40 && (ip[0] >> 4) == 6 && ip[6] == 6) {
            tcpAt = 40;
            ipTotal = 40 + static_cast<size_t>(be16(ip + 4));
        } else {
            continue;
        }
        if (ipTotal > ipLength || tcpAt + 20 > ipTotal)
            continue;
        const unsigned char* tcp = ip + tcpAt;
        const uint16_t from = be16(tcp), to = be16(tcp + 2);
        const size_t payloadAt = tcpAt + static_cast<size_t>(tcp[12] >> 4) * 4;
        if (payloadAt >= ipTotal)
            continue; // no payload: handshake, acknowledgement, end
        Side* side = (from == hostPort && to == peerPort)   ? &host
                     : (from == peerPort && to == hostPort) ? &peer
                                                            : nullptr;
        if (side != nullptr)
            count(*side, be32(tcp + 4), ip + payloadAt, ipTotal - payloadAt);
    }
    const std::pair<const char*, const Side*> sides[] = {{"host", &host}, {"peer", &peer}};
    for (const auto& [name, side] : sides) {
        std::printf("%s_segments=%ld\n%s_messages=%ld\n%s_own=%ld\n%s_bad=%ld\n", name,
                    side->segments, name, side->messages, name, side->own, name, side->bad);
    }
    return 0;
}
