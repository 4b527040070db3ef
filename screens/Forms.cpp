#include "screens/Forms.h"

namespace Forms {

std::vector<std::function<void()>>& detail::registry() {
    static std::vector<std::function<void()>> unloaders;
    return unloaders;
}

void unloadAll() {
    for (const auto& unload : detail::registry())
        unload();
}

} // namespace Forms
