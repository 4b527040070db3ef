#include "core/Address.h"

#include <arpa/inet.h>

#include <algorithm>

namespace address {

namespace {

constexpr std::string_view Empty = "Type the host's address, for example 11.0.1.2.";
constexpr std::string_view BadPort = "The port after the colon must be a number from 1 to 65535.";
constexpr std::string_view Brackets =
    "Brackets go around an IPv6 address only, as in [2001:db8::5]:1425.";
constexpr std::string_view Ipv6Port =
    "Put an IPv6 address in brackets to add a port, as in [2001:db8::5]:1426.";
constexpr std::string_view BadIpv6 = "That is not an IPv6 address, such as 2001:db8::5.";
constexpr std::string_view BadZone =
    "After the % comes the name of a network interface, as in fe80::1%eth0.";
constexpr std::string_view ZoneNotIpv6 =
    "Only an IPv6 address takes a % and an interface, as in fe80::1%eth0.";
constexpr std::string_view BadIpv4 =
    "An IPv4 address is four numbers from 0 to 255 with dots between them, as in 11.0.1.2.";
constexpr std::string_view BadName = "That is not an address: a host name has only letters, "
                                     "digits, hyphens and dots, as in quorvel.example.";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isDigit);
}

Reading refused(std::string_view why) {
    return {std::nullopt, std::string(why)};
}

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// 1..65535 in decimal; leading zeros are harmless here.
std::optional<uint16_t> port(std::string_view text) {
    if (!allDigits(text))
        return std::nullopt;
    const size_t first = std::min(text.find_first_not_of('0'), text.size());
    if (text.size() - first > 5)
        return std::nullopt;
    unsigned value = 0;
    for (char c : text.substr(first))
        value = value * 10 + unsigned(c - '0');
    if (value < 1 || value > 65535)
        return std::nullopt;
    return uint16_t(value);
}

// Letters, digits and inner hyphens in labels of 1 to 63 characters, at most
// 253 in all; one final dot is allowed.
bool isHostName(std::string_view name) {
    if (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    if (name.empty() || name.size() > 253)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find('.', start), name.size());
        const std::string_view label = name.substr(start, end - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
            return false;
        for (char c : label)
            if (!isDigit(c) && c != '-' && !((c | 0x20) >= 'a' && (c | 0x20) <= 'z'))
                return false;
        start = end + 1;
    }
    return true;
}

// A host without brackets or port: an IPv4 address or a host name. A name whose
// last label is a number was meant as an IPv4 address (no top-level name is
// numeric), so it must be one.
Reading host(std::string_view text, uint16_t atPort) {
    if (text.empty())
        return refused(Empty);
    std::string_view last = text;
    if (last.back() == '.')
        last.remove_suffix(1);
    last = last.substr(last.rfind('.') + 1);
    if (allDigits(last)) {
        const auto numbers = ipv4(text);
        if (!numbers)
            return refused(BadIpv4);
        std::string dotted;
        for (uint8_t n : *numbers)
            dotted += (dotted.empty() ? "" : ".") + std::to_string(n);
        return {Target{dotted, atPort}, {}};
    }
    if (!isHostName(text))
        return refused(BadName);
    return {Target{std::string(text), atPort}, {}};
}

// An interface's name as the system takes it after an IPv6 address's "%":
// 1 to 15 visible characters, none of them a separator of the typed text.
bool isZone(std::string_view zone) {
    return !zone.empty() && zone.size() <= 15 && std::all_of(zone.begin(), zone.end(), [](char c) {
        return c > ' ' && c < 0x7f && std::string_view("%/:[]").find(c) == std::string_view::npos;
    });
}

// An IPv6 address, with or without "%zone", and no port.
Reading ipv6Host(std::string_view text, uint16_t atPort) {
    const size_t percent = text.find('%');
    if (!ipv6(text.substr(0, percent)))
        return refused(BadIpv6);
    if (percent != std::string_view::npos && !isZone(text.substr(percent + 1)))
        return refused(BadZone);
    return {Target{std::string(text), atPort}, {}};
}

// "[address]" or "[address]:port", the address with or without its zone.
Reading bracketed(std::string_view text) {
    const size_t close = text.find(']');
    if (close == std::string_view::npos ||
        !ipv6(text.substr(1, std::min(close, text.find('%')) - 1)))
        return refused(Brackets);
    const std::string_view rest = text.substr(close + 1);
    uint16_t atPort = DefaultPort;
    if (!rest.empty()) {
        if (rest.front() != ':')
            return refused(Brackets);
        const auto p = port(rest.substr(1));
        if (!p)
            return refused(BadPort);
        atPort = *p;
    }
    return ipv6Host(text.substr(1, close - 1), atPort);
}

} // namespace

std::optional<std::array<uint8_t, 4>> ipv4(std::string_view text) {
    std::array<uint8_t, 4> numbers{};
    for (size_t i = 0; i < numbers.size(); ++i) {
        const size_t dot = i < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos)
            return std::nullopt;
        const std::string_view part = text.substr(0, dot);
        if (!allDigits(part) || part.size() > 3)
            return std::nullopt;
        const int value = std::stoi(std::string(part));
        if (value > 255)
            return std::nullopt;
        numbers[i] = uint8_t(value);
        text.remove_prefix(std::min(dot + 1, text.size()));
    }
    return numbers;
}

std::optional<std::array<uint8_t, 16>> ipv6(std::string_view text) {
    std::array<uint8_t, 16> bytes{};
    if (text.find(':') == std::string_view::npos ||
        inet_pton(AF_INET6, std::string(text).c_str(), bytes.data()) != 1)
        return std::nullopt;
    return bytes;
}

Reading read(std::string_view typed) {
    const std::string_view text = trimmed(typed);
    if (text.empty())
        return refused(Empty);
    if (text.front() == '[')
        return bracketed(text);
    if (text.find_first_of("[]") != std::string_view::npos)
        return refused(Brackets);
    const size_t colon = text.rfind(':');
    if (colon != std::string_view::npos && text.find(':') != colon) {
        // Two colons or more: an IPv6 address, with no room for a port.
        Reading whole = ipv6Host(text, DefaultPort);
        if (whole.target || !port(text.substr(colon + 1)) ||
            !ipv6Host(text.substr(0, colon), DefaultPort).target)
            return whole;
        return refused(Ipv6Port);
    }
    if (text.find('%') != std::string_view::npos)
        return refused(ZoneNotIpv6);
    if (colon == std::string_view::npos)
        return host(text, DefaultPort);
    const auto p = port(text.substr(colon + 1));
    if (!p)
        return refused(BadPort);
    return host(text.substr(0, colon), *p);
}

} // namespace address
