// Feeds arbitrary bytes to the announcement reader. Whatever it takes must be
// exactly the datagram a host builds from what it read (the name whole when it
// fits), and whatever has that canonical form must be taken; a datagram built
// from the input's own port and name reads back as them.

#include "check.h"
#include "core/Announcement.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The canonical datagram for `bytes`, worked out without the reader: the marker
// and version, then whatever number follows, written back in plain decimal, then
// the rest. Equal to `bytes` only when `bytes` is an announcement.
std::optional<uint16_t> canonicalPort(std::string_view bytes, std::string_view& name) {
    const std::string head =
        std::string(announcement::Marker) + " " + std::string(announcement::Version) + " ";
    if (bytes.substr(0, head.size()) != head)
        return std::nullopt;
    const std::string_view rest = bytes.substr(head.size());
    unsigned long port = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), port);
    const size_t digits = size_t(end - rest.data());
    if (error != std::errc() || port < 1 || port > 65535 || digits >= rest.size() ||
        rest.substr(0, digits) != std::to_string(port) || rest[digits] != ' ')
        return std::nullopt;
    name = rest.substr(digits + 1);
    return uint16_t(port);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<announcement::Announcement> read = announcement::parse(bytes);

    std::string_view name;
    const std::optional<uint16_t> port = canonicalPort(bytes, name);
    const bool canonical = port && !name.empty() && bytes.size() <= announcement::DatagramMax;
    check(read.has_value() == canonical);
    if (read) {
        check(read->port == *port && read->name == name.substr(0, announcement::NameMax));
        if (name.size() <= announcement::NameMax)
            check(announcement::build(read->port, read->name) == bytes);
    }

    // The input's first two bytes as a port, the rest as a name.
    if (size >= 2) {
        const auto ownPort = uint16_t(data[0] | data[1] << 8);
        const std::string_view ownName = bytes.substr(2);
        const std::optional<announcement::Announcement> back =
            announcement::parse(announcement::build(ownPort, ownName));
        check(back.has_value() == (ownPort != 0 && !ownName.empty()));
        if (back)
            check(back->port == ownPort && back->name == ownName.substr(0, announcement::NameMax));
    }
    return 0;
}
