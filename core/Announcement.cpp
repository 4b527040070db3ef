#include "core/Announcement.h"

namespace announcement {

namespace {

// Removes `prefix` and the space after it from the front of `text`.
bool take(std::string_view& text, std::string_view prefix) {
    if (text.size() <= prefix.size() || text.substr(0, prefix.size()) != prefix ||
        text[prefix.size()] != ' ')
        return false;
    text.remove_prefix(prefix.size() + 1);
    return true;
}

// A port in plain decimal, 1..65535, followed by a space; removed from `text`.
std::optional<uint16_t> takePort(std::string_view& text) {
    constexpr size_t DigitsMax = 5;
    uint32_t value = 0;
    size_t i = 0;
    for (; i < text.size() && i <= DigitsMax && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + uint32_t(text[i] - '0');
    if (i == 0 || i > DigitsMax || text[0] == '0' || value > 65535 || i >= text.size() ||
        text[i] != ' ')
        return std::nullopt;
    text.remove_prefix(i + 1);
    return uint16_t(value);
}

} // namespace

std::string build(uint16_t port, std::string_view name) {
    std::string datagram;
    datagram.reserve(Marker.size() + Version.size() + 8 + NameMax);
    datagram.append(Marker).append(" ").append(Version).append(" ");
    datagram.append(std::to_string(port)).append(" ");
    datagram.append(name.substr(0, NameMax));
    return datagram;
}

std::optional<Announcement> parse(std::string_view datagram) {
    if (datagram.size() > DatagramMax || !take(datagram, Marker) || !take(datagram, Version))
        return std::nullopt;
    const std::optional<uint16_t> port = takePort(datagram);
    if (!port || datagram.empty())
        return std::nullopt;
    return Announcement{*port, std::string(datagram.substr(0, NameMax))};
}

} // namespace announcement
