#pragma once

// Screens are loaded on first use and unloaded when closed. Forms::get<F>()
// gives the loaded screen, loading it (running its Form_Load, not showing it)
// when needed; Forms::show<F>() loads it if needed and shows it.
//
// A screen class F provides: a default constructor, void Form_Load(), and, if
// it has one, void Form_Unload() (run by Forms::unload<F>() before deletion).

#include "screens/Platform.h"

#include <QWidget>

#include <functional>
#include <vector>

namespace Forms {

namespace detail {
template <class F> inline F* instance = nullptr;
// For every screen type ever loaded: drops the loaded screen, deleting it later
// (false) or now (true); for unloadAll() and destroyAll().
std::vector<std::function<void(bool now)>>& registry();
template <class F> void forget(bool now = false) {
    if (F* f = instance<F>) {
        instance<F> = nullptr;
        f->hide();
        if (now)
            delete f;
        else
            f->deleteLater();
    }
}
} // namespace detail

template <class F> bool loaded() {
    return detail::instance<F> != nullptr;
}

template <class F> F& get() {
    if (!detail::instance<F>) {
        static const bool registered = [] {
            detail::registry().push_back([](bool now) { detail::forget<F>(now); });
            return true;
        }();
        (void)registered;
        detail::instance<F> = new F;
        detail::instance<F>->Form_Load();
    }
    return *detail::instance<F>;
}

// Loads (if needed) and shows the screen, unless its load step ended the program.
template <class F> void show() {
    F& f = get<F>();
    if (!platform::programEnded() && detail::instance<F> == &f)
        f.show();
}

template <class F> void unload() {
    if (F* f = detail::instance<F>) {
        detail::forget<F>();
        if constexpr (requires { f->Form_Unload(); })
            f->Form_Unload();
    }
}

// Drops every loaded screen without running unload steps (tests, between cases).
void unloadAll();
// Deletes every loaded screen now, without unload steps: the program's end,
// once the event loop has been left. Each screen's objects undo what they
// started (a router mapping removed, announcements stopped).
void destroyAll();

} // namespace Forms
