#pragma once

// Reading the command line before any window exists: help, version and
// mistakes are answered in the terminal, even where there is no display.

#include <QCommandLineParser>

namespace commandline {

// Parses `argv` with `parser` (after adding --help and --version). Qt's own
// window-system options (-platform NAME, -reverse, ...) pass through to the
// application, hidden from the help. Returns the exit status when the program
// is to end here: 0 after printing the help or the version, 2 after printing a
// mistake (an unknown option, a missing value, an unexpected argument when
// `positionalAllowed` is false) to standard error. Returns -1 to go on.
int parse(QCommandLineParser& parser, int argc, char* argv[], bool positionalAllowed);

} // namespace commandline
