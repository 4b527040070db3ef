// Feeds arbitrary bytes to the chicken data file reader: it must neither crash
// nor read out of bounds, give the same answer twice, and hold the two booleans
// as -1 or 0 whenever it accepts a file.

#include "chicken/ChickenFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<ChickenRecord> chicken = chickenfile::parse(bytes);
    if (chicken != chickenfile::parse(bytes))
        std::abort();
    if (chicken) {
        const auto isBoolean = [](int16_t value) { return value == 0 || value == -1; };
        if (!isBoolean(chicken->CanPeck) || !isBoolean(chicken->CanCombo))
            std::abort();
    }
    return 0;
}
