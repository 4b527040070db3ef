#pragma once

// What the Chicken Coop does apart from its window: reading a chicken with the
// reason when that fails, telling its stats in words, and the terminal commands
// --show and --hatch.

#include "core/ChickenRecord.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QTextStream;

namespace coop {

// A chicken file as read, or why it cannot fight.
struct Reading {
    std::optional<ChickenRecord> chicken;
    QString problem; // empty when the chicken is fine
};
Reading read(const QString& path);

// The chicken the game fights with when it is given none: the player's own, or
// without one the sample beside the game in `programFolder`.
struct GameChicken {
    QString path;
    bool sample = false; // the sample beside the game, not the player's own
    Reading reading;
};
GameChicken gameChicken(const QString& programFolder);

// What the coop says under the sample.
inline const QString SampleNote =
    QStringLiteral("This is the sample chicken beside the game: the game fights with it while "
                   "you have no chicken of your own. Hatch one and save it to make it yours.");

// The chicken in plain words, one stat a line ("Kick power: 12").
QStringList describe(const ChickenRecord& chicken);

// Hatches a chicken called `name` with `portrait` (drawn at random when
// negative) and saves it as the player's chicken; prints it. Exit status 0, or 1
// with the reason on `err`.
int hatchCommand(const QString& name, int portrait, QTextStream& out, QTextStream& err);

// Prints the chicken in `path`; when empty, the one the game fights with (the
// player's own, else the sample beside the game in `programFolder`). Exit status
// 0, or 1 with the reason on `err`.
int showCommand(const QString& path, const QString& programFolder, QTextStream& out,
                QTextStream& err);

} // namespace coop
