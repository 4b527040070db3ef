// Announces the rest of the game to the start-up part of the program: built into
// the game's module, where it runs as the module loads, and into programs that
// link the whole game in.

#include "app/Forms.h"
#include "app/GameModule.h"
#include "app/Sound.h"
#include "app/frmTitle.h"

namespace {

const bool provided = [] {
    gamemodule::provide({[] { Forms::show<frmTitle>(); }, sound::play});
    return true;
}();

} // namespace
