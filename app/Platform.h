#pragma once

// The program's few contacts with the desktop that tests need to replace: modal
// boxes, the end of the program and the sound player. Each defaults to the real
// thing; tests install their own through seams().

#include <QString>

#include <functional>

namespace platform {

// The title that boxes without a caption of their own carry.
inline const QString AppTitle = QStringLiteral("Quorvel");

struct Seams {
    // A modal box with one OK button and no icon; returns when it is closed.
    std::function<void(const QString& text, const QString& caption)> messageBox;
    // A modal prompt with OK and Cancel; Cancel gives the empty text.
    std::function<QString(const QString& prompt, const QString& defaultAnswer)> inputBox;
    // Ends the program at once with `status`: no close or unload step runs.
    std::function<void(int status)> endProgram;
    // Starts playing the WAV file at `path` and returns at once; a new sound
    // cuts off the one playing; a missing file plays nothing.
    std::function<void(const QString& path)> playSound;
};

// The seams in force (the real implementations unless a test replaced them).
Seams& seams();
// Puts the real implementations back and forgets that the program ended.
void resetSeams();

void MsgBox(const QString& text, const QString& caption = AppTitle);
QString InputBox(const QString& prompt, const QString& defaultAnswer);
// Ends the program. With the real seam this never returns; under test it
// records the status, and callers return straight after it.
void EndProgram(int status);
// True once EndProgram has been called (only ever seen under test).
bool programEnded();
int endStatus();

} // namespace platform
