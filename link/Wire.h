#pragma once

// The match's wire format: short texts with no framing, one per send.
//
// Control words are whole texts ("0" ready, "10" refusal, "90" keep-alive probe,
// "91" keep-alive answer). Tagged messages are one upper-case letter and a payload:
// "A" name, "B".."I" the other record fields, "J" charge, "K" damage.

#include "chicken/ChickenRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wire {

inline constexpr std::string_view Ready = "0";
inline constexpr std::string_view Refusal = "10";
inline constexpr std::string_view Probe = "90";
inline constexpr std::string_view Answer = "91";

// The record message that transfer step `step` sends for `own`: steps 0..8 send
// "A".."I"; every other step (9 ends the transfer) sends nothing.
std::optional<std::string> recordMessage(const ChickenRecord& own, int16_t step);

// The step on which the record transfer ends.
inline constexpr int16_t TransferEndStep = 9;

std::string chargeMessage(float charge); // "J" + whole number
std::string damageMessage(int16_t damage); // "K" + damage

// What one message found in an arrival turns out to be.
struct Message {
    enum class Kind {
        Ignored,  // unknown text, unknown tag, empty
        Control,  // whole text is a control word (see `control`)
        Record,   // "A".."I" converted; apply with applyRecord
        Charge,   // "J" converted (see `charge`)
        Damage,   // "K" converted (see `value`)
        Failed,   // a tag whose payload did not convert: abandon the arrival
    };
    Kind kind = Kind::Ignored;
    std::string control; // for Control: "0", "10", "90" or "91"
    char tag = 0;        // for Record, Charge, Damage, Failed
    std::string name;    // for tag "A"
    int16_t value = 0;   // for "B".."I" and "K"
    float charge = 0;    // for "J"
};

// Reads one arrival. An arrival that is one well-formed message gives that
// message; one that reads from start to end as two or more well-formed messages
// (merged on the way) gives them in order; anything else is taken as one text.
std::vector<Message> readArrival(std::string_view bytes);

// Stores a Record message's payload into the field its tag names. Returns false
// for anything that is not a Record message.
bool applyRecord(const Message& message, ChickenRecord& opponent);

} // namespace wire
