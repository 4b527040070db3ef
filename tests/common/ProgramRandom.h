#pragma once

// A script of wanted results for the program-wide source: every Vars::Random
// (the screens' rolls) draws from it while it lives.

#include "common/ScriptedRandom.h"
#include "screens/Vars.h"

class ProgramRandom : public ScriptedRandom {
public:
    ProgramRandom() { Vars::setRandomSource(source()); }
    ~ProgramRandom() { Vars::setRandomSource({}); }
};
