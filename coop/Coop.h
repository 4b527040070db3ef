#pragma once

// What the Chicken Coop does apart from its window: reading a chicken with the
// reason when that fails, telling its stats in words, and the terminal commands
// --show and --hatch.

#include "chicken/ChickenRecord.h"

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

// The chicken in plain words, one stat a line ("Kick power: 12").
QStringList describe(const ChickenRecord& chicken);

// A random source for hatching and saving, seeded from the system.
std::function<double()> systemRandom();

// Hatches a chicken called `name` with `portrait` (drawn at random when
// negative) and saves it as the player's chicken; prints it. Exit status 0, or 1
// with the reason on `err`.
int hatchCommand(const QString& name, int portrait, QTextStream& out, QTextStream& err);

// Prints the chicken in `path` (the player's own when empty). Exit status 0, or
// 1 with the reason on `err`.
int showCommand(const QString& path, QTextStream& out, QTextStream& err);

} // namespace coop
