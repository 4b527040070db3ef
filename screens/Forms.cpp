#include "screens/Forms.h"

namespace Forms {

std::vector<std::function<void(bool now)>>& detail::registry() {
    static std::vector<std::function<void(bool now)>> droppers;
    return droppers;
}

void unloadAll() {
    for (const auto& drop : detail::registry())
        drop(false);
}

void destroyAll() {
    for (const auto& drop : detail::registry())
        drop(true);
}

} // namespace Forms
