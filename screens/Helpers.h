#pragma once

// The helpers every screen uses: the program folder, sound cues, keeping a
// window on top, the fight screen's gradient, and loading the player's chicken.

#include <QString>

class QWidget;

namespace Vars {

// Sets AppPath to the executable's folder with exactly one trailing "/".
void GetAppPath();

// Sound cues: asynchronous, a new cue cuts off the one playing.
void PlaySound(const char* fileName); // a file in the program's folder
void PlayClickSound();                // "0.wav"
void PlayHitSound();                  // one of five hit sounds, equally likely
void PlayDeflectSound();              // "9.wav"

// Keeps `window` above other windows.
void MakeTopmost(QWidget* window);

// Paints 256 horizontal bands from bright blue at the top to black at the bottom
// as the window's background; it stays the background across repaints.
void DrawGradient(QWidget* window);

// Sets ChickenPath to the chicken file to read: ChickenOption when given, else
// the player's own chicken when it exists, else chicken.dat in the program's
// folder (calls GetAppPath).
void ChooseChickenPath();

// Reads ChickenPath's file into OwnChicken, a cheater too (the title screen
// refuses it). On any other failure shows the data-file error and ends the
// program; returns false then (only ever seen under test).
bool LoadChickenData();

// The title screen's load of the player's chicken, and before every further
// match: ChooseChickenPath and LoadChickenData, and a chicken flagged as a
// cheater refused with "Cheater!". False when the program ends instead.
bool LoadPlayableChicken();

// A name's bytes shown as text: one Latin-1 character per byte.
QString displayText(const std::string& bytes);

} // namespace Vars
