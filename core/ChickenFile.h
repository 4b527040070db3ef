#pragma once

#include "core/ChickenRecord.h"

#include <optional>
#include <string>
#include <string_view>

// Reader of the chicken data file written by the single-player game.
//
// The file is 20 comma- or line-delimited fields: StatDivisor, StatOffset, the
// name, then stats stored as (value + StatOffset) * StatDivisor, then CanPeck and
// CanCombo. Any problem at all (missing field, number out of range, division by
// zero, a field that is not a number where one is needed) gives std::nullopt.
namespace chickenfile {

// The fields of the file in their order, counted from 0. The extra values are
// stored and decoded but carry nothing this program uses.
enum FieldIndex : int {
    StatDivisor,
    StatOffset,
    Name,
    KickPower,
    PeckPower,
    Speed,
    Obedience,
    HitPoints,
    Extra1,
    CheatFlag,
    PortraitIndex,
    Extra2,
    Extra3,
    Extra4,
    Extra5,
    Extra6,
    KickSkill,
    PeckSkill,
    CanPeck,
    CanCombo,
    FieldCount
};

// Decodes the file's contents. Never throws; never reads past the 20th field.
std::optional<ChickenRecord> parse(std::string_view bytes);

// Reads and decodes the file at path (missing or unreadable: std::nullopt).
std::optional<ChickenRecord> load(const std::string& path);

// The file's text for `chicken`, which parse() reads back to the same record:
// the name in quotes, every stat stored as (value + statOffset) * statDivisor,
// the extra values 0, CanPeck and CanCombo as #TRUE# or #FALSE#, in CR LF lines
// like the single-player game's files. Nothing when the name holds a double
// quote, statDivisor is 0, or a stored number would not fit in 16 bits.
std::optional<std::string> format(const ChickenRecord& chicken, int16_t statDivisor,
                                  int16_t statOffset);

} // namespace chickenfile
