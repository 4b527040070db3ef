#pragma once

// The bench's own, strict reading of the match's messages, independent of the
// program's codec: control words "0" "10" "90" "91"; "A" and a name; "B".."I" and
// "K" with a 2-byte integer (no "+", no leading zeros, no fraction); "J" with a
// whole charge 0..10. One text read off the connection (or one TCP segment) is
// split into messages by taking, at each point, the longest well-formed message;
// a name runs to the end of the text.

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

// Length of the decimal 2-byte integer at the start of `s`, 0 when there is none.
inline size_t int16Length(std::string_view s) {
    size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
    const size_t digitsStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    const size_t digits = i - digitsStart;
    if (digits == 0 || digits > 5)
        return 0;
    if (s[digitsStart] == '0' && (digits > 1 || digitsStart == 1))
        return 0; // leading zero, or "-0"
    const long value = std::strtol(std::string(s.substr(0, i)).c_str(), nullptr, 10);
    return (value >= -32768 && value <= 32767) ? i : 0;
}

// Length of the well-formed message at the start of `s`, 0 when there is none.
inline size_t messageLength(std::string_view s) {
    if (s.empty())
        return 0;
    const char tag = s[0];
    if (tag == 'A')
        return s.size();
    if ((tag >= 'B' && tag <= 'I') || tag == 'K') {
        const size_t n = int16Length(s.substr(1));
        return n == 0 ? 0 : n + 1;
    }
    if (tag == 'J') {
        if (s.substr(1, 2) == "10")
            return 3;
        return (s.size() > 1 && s[1] >= '0' && s[1] <= '9') ? 2 : 0;
    }
    for (std::string_view word : {"10", "90", "91", "0"}) {
        if (s.substr(0, word.size()) == word)
            return word.size();
    }
    return 0;
}

// The messages of one text, or nothing when it does not split into messages.
inline std::optional<std::vector<std::string>> split(std::string_view s) {
    std::vector<std::string> messages;
    while (!s.empty()) {
        const size_t n = messageLength(s);
        if (n == 0)
            return std::nullopt;
        messages.emplace_back(s.substr(0, n));
        s.remove_prefix(n);
    }
    return messages;
}

} // namespace bench
