// The fuzz targets' assertion: a broken property aborts, so libFuzzer keeps the input.
#pragma once

#include <cstdlib>

inline void check(bool condition) {
    if (!condition)
        std::abort();
}
