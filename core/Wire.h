#pragma once

// The match's wire format: short texts with no framing, one per send.
//
// Control words are whole texts ("0" ready, "10" refusal, "90" keep-alive probe,
// "91" keep-alive answer). Tagged messages are one upper-case letter and a payload:
// "A" name, "B".."I" the other record fields, "J" charge, "K" damage.
//
// Numbers in payloads are read as: an optional "-" or "+", then decimal digits
// with at most one decimal point, at least one digit in all. Nothing else: no
// spaces, no exponent, no hexadecimal.

#include "core/ChickenRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wire {

// The match's TCP port: the host listens on it, the joiner connects to it.
inline constexpr uint16_t MatchPort = 1425;
// Pacing of the record exchange: one record message per tick, and the wait
// between the end of the exchange and the fight.
inline constexpr int TransferTickMs = 200;
inline constexpr int WaitBeforeFightMs = 1000;

inline constexpr std::string_view Ready = "0";
inline constexpr std::string_view Refusal = "10";
inline constexpr std::string_view Probe = "90";
inline constexpr std::string_view Answer = "91";

// The record message that transfer step `step` sends for `own`: steps 0..8 send
// "A".."I"; every other step (9 ends the transfer) sends nothing.
std::optional<std::string> recordMessage(const ChickenRecord& own, int16_t step);

// The step on which the record transfer ends.
inline constexpr int16_t TransferEndStep = 9;

// The charge bar's range; a "J" payload outside it is not applied.
inline constexpr float ChargeMin = 0;
inline constexpr float ChargeMax = 10;

// "J" + the charge as a whole number: the nearest whole number, without a point,
// a fraction or a sign on zero ("J0", "J2", "J10").
std::string chargeMessage(float charge);
std::string damageMessage(int16_t damage); // "K" + damage, e.g. "K4", "K-3"

// What one message found in an arrival turns out to be.
struct Message {
    enum class Kind {
        Ignored, // unknown text, unknown tag, empty: nothing to do
        Control, // whole text is a control word (see `control`)
        Record,  // "A".."I" converted; apply with applyRecord
        Charge,  // "J" converted and within ChargeMin..ChargeMax (see `charge`)
        Damage,  // "K" converted (see `value`)
        Failed,  // a tag whose payload did not convert, or a "J" value the bar
                 // does not take: abandon the arrival, change nothing for it
    };
    Kind kind = Kind::Ignored;
    std::string control; // for Control: "0", "10", "90" or "91"
    char tag = 0;        // for Record, Charge, Damage, Failed
    std::string name;    // for tag "A"
    int16_t value = 0;   // for "B".."I" and "K"
    float charge = 0;    // for "J"
};

// Reads one arrival; never gives an empty list.
//
// An arrival that is one well-formed message gives that message, and so does any
// text that does not split as below (then exactly one element: Control, Record,
// Charge, Damage, Failed or Ignored).
//
// Messages merged on the way are recovered: a text that is not one well-formed
// message, but reads from start to end as two or more well-formed messages, at
// least one of them tagged, taking at each point the longest well-formed message,
// gives those messages in order ("B5C7", "J1010" -> "J10" "10", "K3J4").
// Well-formed: a control word; "A" with anything after it (so only last);
// "B".."I" and "K" with a number that converts to a 2-byte integer; "J" with a
// number within the charge bar's range. Runs of control words alone ("00") are
// not taken apart: the peer never sends two of them back to back, while the tail
// of a number split over two arrivals can look like that.
std::vector<Message> readArrival(std::string_view bytes);

// True when `arrival`, the first thing a new connection sent after the host's
// ready signal, is how a joiner answers it: the name record ("A" and the name)
// first. Anything else (a web request, a banner, noise) comes from no joiner.
bool opensExchange(std::string_view arrival);

// Stores a Record message's payload into the field its tag names. Returns false
// (and changes nothing) for anything that is not a Record message.
bool applyRecord(const Message& message, ChickenRecord& opponent);

// The receiving side of a match: an arrival's messages, routed one by one.
class Receiver {
public:
    virtual ~Receiver() = default;

    // Reads one arrival and hands its messages to the handlers in order. Stops
    // at a message whose payload did not convert (the rest of the arrival is
    // abandoned) or as soon as ended() says nothing more may be handled.
    void receive(std::string_view arrival);

protected:
    virtual bool ended() const { return false; }
    virtual void onControl(std::string_view word) = 0;
    virtual void onRecord(const Message& record) = 0;
    virtual void onCharge(float charge) = 0;
    virtual void onDamage(int16_t damage) = 0;
};

} // namespace wire
