#include "core/ChickenFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

namespace chickenfile {
namespace {

// One field as it stands in the file. A quoted field's text is what lies
// between the quotes; an unquoted field's text has its surrounding blanks
// removed.
struct RawField {
    std::string_view text;
    bool quoted = false;
};

using Fields = std::array<RawField, FieldCount>;

enum class Scan { Complete, NeedMore, Failed };

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isSeparator(char c) {
    return c == ',' || c == '\r' || c == '\n';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Splits the first 20 fields off `in`. With atEnd false, `in` is only the start
// of the data: whenever the answer depends on bytes not yet seen, the result is
// NeedMore and the caller supplies a longer prefix.
Scan scanFields(std::string_view in, bool atEnd, Fields& out) {
    const std::size_t size = in.size();
    std::size_t pos = 0;
    for (std::size_t k = 0; k < FieldCount; ++k) {
        while (pos < size && isBlank(in[pos])) {
            ++pos;
        }
        if (pos == size) {
            // The data stops where a field should begin: the field is missing.
            return atEnd ? Scan::Failed : Scan::NeedMore;
        }

        std::size_t end = size; // where the field's content stops
        if (in[pos] == '"') {
            const void* close = std::memchr(in.data() + pos + 1, '"', size - pos - 1);
            if (close == nullptr) {
                return atEnd ? Scan::Failed : Scan::NeedMore; // unterminated quote
            }
            const auto closeAt =
                static_cast<std::size_t>(static_cast<const char*>(close) - in.data());
            out[k] = {in.substr(pos + 1, closeAt - pos - 1), true};
            pos = closeAt + 1;
            while (pos < size && isBlank(in[pos])) {
                ++pos;
            }
            end = pos;
            if (pos < size && !isSeparator(in[pos])) {
                return Scan::Failed; // something other than a separator after the closing quote
            }
        } else {
            end = pos;
            while (end < size && !isSeparator(in[end])) {
                ++end;
            }
            out[k] = {trimBlanks(in.substr(pos, end - pos)), false};
        }

        if (end == size) {
            if (!atEnd) {
                return Scan::NeedMore; // the field may go on in bytes not yet seen
            }
            pos = end; // the end of the data ends the field
            continue;
        }
        pos = end + 1;
        // CR LF is one line break; a lone CR is one too. (A CR that ends the
        // data read so far leaves the next field unseen, so more is read.)
        if (in[end] == '\r' && pos < size && in[pos] == '\n') {
            ++pos;
        }
    }
    return Scan::Complete;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a decimal number: optional sign, digits with an optional fraction, an
// optional exponent. Nothing else may surround it. Any length is handled in
// time proportional to the length: the digits are reduced to a bounded form
// before conversion, and values too small for a double read as 0.
std::optional<double> parseNumber(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    const std::size_t intStart = i;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
    }
    const std::string_view intDigits = s.substr(intStart, i - intStart);
    std::string_view fracDigits;
    if (i < s.size() && s[i] == '.') {
        const std::size_t fracStart = ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
        }
        fracDigits = s.substr(fracStart, i - fracStart);
    }
    if (intDigits.empty() && fracDigits.empty()) {
        return std::nullopt;
    }
    // The exponent saturates far beyond any double's range.
    constexpr int64_t ExponentCap = 1'000'000'000;
    int64_t exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            expNegative = s[i] == '-';
            ++i;
        }
        const std::size_t expStart = i;
        while (i < s.size() && isDigit(s[i])) {
            exponent = std::min(ExponentCap, exponent * 10 + (s[i] - '0'));
            ++i;
        }
        if (i == expStart) {
            return std::nullopt;
        }
        if (expNegative) {
            exponent = -exponent;
        }
    }
    if (i != s.size()) {
        return std::nullopt;
    }

    // Significant digits: integer and fraction digits without leading or
    // trailing zeros. The value is 0.<significant> x 10^scale.
    std::string digits;
    int64_t scale = 0;
    bool seenNonZero = false;
    std::size_t lastNonZero = 0;
    constexpr std::size_t KeptDigits = 800; // more than any double needs for correct rounding
    bool dropped = false;
    auto take = [&](std::string_view part, bool integerPart) {
        for (const char c : part) {
            if (!seenNonZero) {
                if (c == '0') {
                    if (!integerPart) {
                        --scale;
                    }
                    continue;
                }
                seenNonZero = true;
            }
            if (integerPart) {
                ++scale;
            }
            if (digits.size() < KeptDigits) {
                digits.push_back(c);
                if (c != '0') {
                    lastNonZero = digits.size();
                }
            } else if (c != '0') {
                dropped = true;
            }
        }
    };
    take(intDigits, true);
    take(fracDigits, false);
    if (!seenNonZero) {
        return negative ? -0.0 : 0.0;
    }
    if (dropped) {
        digits.push_back('1'); // stands for the cut-off digits, so rounding stays correct
    } else {
        digits.resize(lastNonZero);
    }
    scale += exponent;
    if (scale > 400) {
        return std::nullopt; // beyond any double
    }
    if (scale < -400) {
        return negative ? -0.0 : 0.0;
    }

    std::string text = "0." + digits + "e" + std::to_string(scale);
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Overflow or underflow: only underflow is harmless.
        if (scale > 0) {
            return std::nullopt;
        }
        value = 0.0;
    } else if (ec != std::errc() || ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

// Rounds to the nearest integer, an exact half going to the even neighbour,
// and checks the 16-bit range. Infinities and NaN fail.
std::optional<int16_t> roundToInt16(double x) {
    if (!std::isfinite(x)) {
        return std::nullopt;
    }
    double r = std::floor(x);
    const double fraction = x - r;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(r, 2.0) != 0.0)) {
        r += 1.0;
    }
    if (r < std::numeric_limits<int16_t>::min() || r > std::numeric_limits<int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int16_t>(r);
}

// An integer field: a number (quoted or not) read into a 16-bit integer. A
// fraction is rounded like a decoded value.
std::optional<int16_t> readInteger(const RawField& f) {
    const auto number = parseNumber(f.quoted ? trimBlanks(f.text) : f.text);
    if (!number) {
        return std::nullopt;
    }
    return roundToInt16(*number);
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// A general-purpose field as a number: empty is 0, the boolean forms are -1
// and 0, a number or a text holding a number is that number.
std::optional<double> readAnyAsNumber(const RawField& f) {
    if (!f.quoted) {
        if (f.text.empty() || equalsNoCase(f.text, "#FALSE#")) {
            return 0.0;
        }
        if (equalsNoCase(f.text, "#TRUE#")) {
            return -1.0;
        }
        return parseNumber(f.text);
    }
    return parseNumber(trimBlanks(f.text));
}

// A general-purpose field as a boolean held in 16 bits (-1 true, 0 false).
std::optional<int16_t> readBoolean(const RawField& f) {
    const std::string_view text = f.quoted ? trimBlanks(f.text) : f.text;
    if (equalsNoCase(text, "True")) {
        return int16_t{-1};
    }
    if (equalsNoCase(text, "False")) {
        return int16_t{0};
    }
    if (!f.quoted && text.empty()) {
        return int16_t{0};
    }
    const auto number = readAnyAsNumber(f);
    if (!number) {
        return std::nullopt;
    }
    return *number != 0.0 ? int16_t{-1} : int16_t{0};
}

std::optional<ChickenRecord> decode(const Fields& f) {
    // Reading: the integer fields must hold 16-bit numbers, the extra values
    // numbers of any size.
    const auto divisor = readInteger(f[StatDivisor]);
    const auto offset = readInteger(f[StatOffset]);
    if (!divisor || !offset) {
        return std::nullopt;
    }
    std::array<int16_t, FieldCount> stored{};
    for (const int k : {KickPower, PeckPower, Speed, Obedience, HitPoints, CheatFlag, PortraitIndex,
                        KickSkill, PeckSkill}) {
        const auto value = readInteger(f[k]);
        if (!value) {
            return std::nullopt;
        }
        stored[k] = *value;
    }
    std::array<double, FieldCount> extra{};
    for (const int k : {Extra1, Extra2, Extra3, Extra4, Extra5, Extra6}) {
        const auto value = readAnyAsNumber(f[k]);
        if (!value) {
            return std::nullopt;
        }
        extra[k] = *value;
    }

    ChickenRecord chicken;
    chicken.Name = std::string(f[Name].text);
    const auto canPeck = readBoolean(f[CanPeck]);
    const auto canCombo = readBoolean(f[CanCombo]);
    if (!canPeck || !canCombo) {
        return std::nullopt;
    }
    chicken.CanPeck = *canPeck;
    chicken.CanCombo = *canCombo;

    // Decoding, in file order: stored / divisor - offset in double precision.
    // A divisor of 0 gives an infinite or undefined quotient, which fails at
    // the first stat.
    const double div = *divisor;
    const double off = *offset;
    const auto decodeInteger = [&](int k, int16_t& target) {
        const auto value = roundToInt16(stored[k] / div - off);
        if (value) {
            target = *value;
        }
        return value.has_value();
    };
    const auto decodeExtra = [&](int k) { return std::isfinite(extra[k] / div - off); };

    const bool ok =
        decodeInteger(KickPower, chicken.KickPower) &&
        decodeInteger(PeckPower, chicken.PeckPower) && decodeInteger(Speed, chicken.Speed) &&
        decodeInteger(Obedience, chicken.Obedience) &&
        decodeInteger(HitPoints, chicken.HitPoints) && decodeExtra(Extra1) &&
        decodeInteger(CheatFlag, chicken.CheatFlag) &&
        decodeInteger(PortraitIndex, chicken.PortraitIndex) && decodeExtra(Extra2) &&
        decodeExtra(Extra3) && decodeExtra(Extra4) && decodeExtra(Extra5) && decodeExtra(Extra6) &&
        decodeInteger(KickSkill, chicken.KickSkill) && decodeInteger(PeckSkill, chicken.PeckSkill);
    if (!ok) {
        return std::nullopt;
    }
    return chicken;
}

std::optional<ChickenRecord> readFile(const std::string& path) {
    // Only a regular file is read, and never more of it than its size when
    // opened: a device or a file that keeps growing cannot make us read forever.
    std::error_code error;
    const std::filesystem::path file(path);
    if (!std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }

    // The fields are nearly always in the first few bytes, so read a small
    // piece first and more only while the fields run past what has been read.
    // Each read doubles the buffer, keeping the rescans linear in total.
    std::string buffer;
    std::size_t chunk = 64 * 1024;
    Fields fields;
    for (;;) {
        const std::uintmax_t left = size - buffer.size();
        const std::size_t want = static_cast<std::size_t>(std::min<std::uintmax_t>(chunk, left));
        const std::size_t had = buffer.size();
        buffer.resize(had + want);
        in.read(buffer.data() + had, static_cast<std::streamsize>(want));
        const auto got = static_cast<std::size_t>(in.gcount());
        buffer.resize(had + got);
        if (in.bad()) {
            return std::nullopt;
        }
        const bool atEnd = got < want || buffer.size() == size;
        const Scan scan = scanFields(buffer, atEnd, fields);
        if (scan == Scan::Complete) {
            return decode(fields);
        }
        if (scan == Scan::Failed) {
            return std::nullopt;
        }
        chunk = buffer.size();
    }
}

} // namespace

// Running out of memory (a file or a name too big to hold) is one more way to
// fail, not an exception for the caller.

std::optional<ChickenRecord> parse(std::string_view bytes) {
    try {
        Fields fields;
        if (scanFields(bytes, true, fields) != Scan::Complete) {
            return std::nullopt;
        }
        return decode(fields);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<ChickenRecord> load(const std::string& path) {
    try {
        return readFile(path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace chickenfile

namespace chickenfile {

std::optional<std::string> format(const ChickenRecord& chicken, int16_t statDivisor,
                                  int16_t statOffset) {
    if (statDivisor == 0 || chicken.Name.find('"') != std::string::npos)
        return std::nullopt;
    bool fits = true;
    const auto stored = [&](int value) {
        const long product = (static_cast<long>(value) + statOffset) * statDivisor;
        fits = fits && product >= std::numeric_limits<int16_t>::min() &&
               product <= std::numeric_limits<int16_t>::max();
        return std::to_string(product);
    };
    const auto flag = [](int16_t value) { return value != 0 ? "#TRUE#" : "#FALSE#"; };
    const std::string extra = stored(0);
    // Laid out like the single-player game's own files: the scale, the name, then
    // the stats in groups.
    std::string text = std::to_string(statDivisor) + "," + std::to_string(statOffset) + "\r\n";
    text += "\"" + chicken.Name + "\"\r\n";
    text += stored(chicken.KickPower) + "," + stored(chicken.PeckPower) + "," +
            stored(chicken.Speed) + "," + stored(chicken.Obedience) + "," +
            stored(chicken.HitPoints) + "\r\n";
    text += extra + "," + stored(chicken.CheatFlag) + "," + stored(chicken.PortraitIndex) + "\r\n";
    text += extra + "," + extra + "," + extra + "," + extra + "," + extra + "\r\n";
    text += stored(chicken.KickSkill) + "," + stored(chicken.PeckSkill) + "\r\n";
    text += std::string(flag(chicken.CanPeck)) + "," + flag(chicken.CanCombo) + "\r\n";
    if (!fits)
        return std::nullopt;
    return text;
}

} // namespace chickenfile
