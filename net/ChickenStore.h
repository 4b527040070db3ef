#pragma once

// Where chickens live on this machine, reading and saving one: the player's own
// chicken under the user's data location, the sample flock installed with the
// game, which file the game reads, and whether a chicken file can fight.

#include "core/ChickenRecord.h"

#include <QString>

#include <functional>
#include <optional>

namespace chickenstore {

// The player's own chicken: quorvel/chicken.dat under the user's data location
// ($XDG_DATA_HOME, else ~/.local/share).
QString playerChickenPath();

// The file the game reads: `option` (the --chicken file) when given, else the
// player's own chicken when it exists, else chicken.dat in `programFolder`.
QString chosenChickenPath(const QString& option, const QString& programFolder);

// The folder of the sample flock: chickens/ beside the program (in a build, and
// as a link in an installed program folder), else share/quorvel/chickens of the
// tree the program is installed in, else of the system's data folders. Empty
// when there is none.
QString flockFolder(const QString& programFolder);

// A chicken file as read, or why it cannot fight. Each program tells the reason
// in its own words.
enum class LoadFailure {
    None,
    Missing,    // there is no such file
    Unreadable, // it is not a regular file, or it cannot be read
    Damaged,    // not a whole chicken data file
    Cheater,    // flagged as a cheater: the game refuses it
};
struct Loaded {
    std::optional<ChickenRecord> chicken; // also set for a cheater, never for the others
    LoadFailure failure = LoadFailure::None;
};
Loaded load(const QString& path);

// `name` as the file and the wire carry it (one Latin-1 byte per character), or
// why it cannot be a chicken's name.
struct NameCheck {
    std::string bytes;
    QString refusal; // empty when the name is fine
};
NameCheck checkName(const QString& name);

// Writes `chicken` to `path` with a StatDivisor and StatOffset drawn from
// `random`, creating the folder. The new file is written beside the old one and
// renamed over it only once it is whole, so a failed or interrupted save leaves
// the old chicken as it was. Returns why it failed, or an empty text.
QString save(const QString& path, const ChickenRecord& chicken,
             const std::function<double()>& random);

} // namespace chickenstore
