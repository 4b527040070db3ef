#pragma once

// The program puts up its splash with nothing but Qt Widgets loaded. The rest of
// the game (the title screen and everything it leads to, the sockets and the
// sound back end) lives in a module beside the program and is loaded while the
// splash is up: the libraries it needs take longer to load than the first window
// takes to appear.
//
// The module announces itself as it loads; a program that links the whole game
// in (the test suites) announces it the same way at start.

#include <QString>

namespace gamemodule {

// The module's file, in the program's own folder.
inline constexpr const char* FileName = "quorvel-game.so";

struct Entry {
    // Shows the title screen.
    void (*showTitle)();
    // Plays a WAV file (asynchronous; a new sound cuts off the one playing).
    void (*playSound)(const QString& path);
};

// Called by the rest of the game when it is loaded or linked in.
void provide(const Entry& entry);

// The rest of the game, loading the module the first time if nothing provided
// it yet. Null when the module cannot be loaded; error() then says why.
const Entry* load();
QString error();

} // namespace gamemodule
