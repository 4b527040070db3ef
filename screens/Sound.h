#pragma once

#include <QString>

namespace sound {

// Starts playing the WAV file at `path` and returns at once. One effect per file,
// loaded on first use and kept, so that a cue starts at once; a new cue stops the
// one playing; a missing file plays nothing.
void play(const QString& path);

} // namespace sound
