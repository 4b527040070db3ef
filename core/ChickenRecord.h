#pragma once

#include <cstdint>
#include <string>

// Everything the program knows about one fighter.
//
// Name holds raw bytes: one byte per character, exactly as read from the data
// file or received from the peer. Screens show it by mapping each byte to one
// Latin-1 character; the wire carries the same bytes back out.
struct ChickenRecord {
    std::string Name;
    int16_t KickPower = 0;
    int16_t PeckPower = 0;
    int16_t Speed = 0;
    int16_t Obedience = 0;
    int16_t HitPoints = 0;
    int16_t PortraitIndex = 0;
    int16_t KickSkill = 0;
    int16_t PeckSkill = 0;

    // Only the local player's chicken carries these; they are never sent.
    int16_t CheatFlag = 0; // only the value 1 counts
    int16_t CanPeck = 0;   // boolean held as -1 (true) or 0 (false)
    int16_t CanCombo = 0;  // likewise

    bool operator==(const ChickenRecord&) const = default;

    // The single-player game flags a cheating chicken with the value 1; such a
    // chicken may not fight.
    bool flaggedAsCheater() const { return CheatFlag == 1; }
};
