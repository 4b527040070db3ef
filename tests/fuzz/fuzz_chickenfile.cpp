// Feeds arbitrary bytes to the chicken data file reader: it must neither crash
// nor read out of bounds, give the same answer twice, and hold the two booleans
// as -1 or 0 whenever it accepts a file. A chicken it accepts, written out again
// as a plain file (divisor 1, offset 0, its name quoted), reads back the same,
// with its fields on one line or one to a line.

#include "check.h"
#include "core/ChickenFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// The chicken as the single-player game would store it with divisor 1 and
// offset 0, fields separated by `separator`.
std::string written(const ChickenRecord& c, const std::string& separator) {
    std::string file = "1" + separator + "0" + separator + "\"" + c.Name + "\"" + separator;
    for (const int16_t value : {c.KickPower, c.PeckPower, c.Speed, c.Obedience, c.HitPoints,
                                int16_t(0), c.CheatFlag, c.PortraitIndex, int16_t(0), int16_t(0),
                                int16_t(0), int16_t(0), int16_t(0), c.KickSkill, c.PeckSkill})
        file += std::to_string(value) + separator;
    for (const int16_t flag : {c.CanPeck, c.CanCombo})
        file += (flag != 0 ? "#TRUE#" : "#FALSE#") + separator;
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<ChickenRecord> chicken = chickenfile::parse(bytes);
    check(chicken == chickenfile::parse(bytes));
    if (!chicken)
        return 0;
    const auto isBoolean = [](int16_t value) { return value == 0 || value == -1; };
    check(isBoolean(chicken->CanPeck) && isBoolean(chicken->CanCombo));

    // A quoted name cannot hold a quote; one that holds a line break cannot
    // stand one field to a line.
    if (chicken->Name.find('"') != std::string::npos)
        return 0;
    check(chickenfile::parse(written(*chicken, ",")) == chicken);
    if (chicken->Name.find_first_of("\r\n") == std::string::npos)
        check(chickenfile::parse(written(*chicken, "\r\n")) == chicken);
    return 0;
}
