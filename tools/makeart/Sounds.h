#pragma once

// The game's sound effects, synthesised from sines, noise and envelopes and
// written as 16-bit mono PCM WAV files at 22050 Hz.

#include <QString>

namespace art {

// Writes 0.wav, 1.wav, 2.wav, 3.wav, 4.wav, 7.wav, 9.wav and 10.wav into
// `folder`; false when a file cannot be written.
bool writeSounds(const QString& folder);

} // namespace art
