// Feeds arbitrary bytes to the arrival reader and checks what it gives back:
// never nothing, every message consistent with its kind, merged readings made of
// well-formed messages only and equal to a slow reading by trial, and every
// message built from the input reading back as itself.

#include "core/Wire.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Kind = wire::Message::Kind;

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool isControlWord(std::string_view word) {
    return word == wire::Ready || word == wire::Refusal || word == wire::Probe ||
           word == wire::Answer;
}

wire::Message readOne(const std::string& text) {
    const std::vector<wire::Message> messages = wire::readArrival(text);
    check(messages.size() == 1);
    return messages.front();
}

void checkMessage(const wire::Message& m) {
    switch (m.kind) {
    case Kind::Control:
        check(isControlWord(m.control));
        break;
    case Kind::Record:
        check(m.tag >= 'A' && m.tag <= 'I');
        if (m.tag != 'A') {
            // The canonical text of the value reads back as the same message.
            const wire::Message again = readOne(m.tag + std::to_string(m.value));
            check(again.kind == Kind::Record && again.tag == m.tag && again.value == m.value);
        }
        {
            ChickenRecord record;
            check(wire::applyRecord(m, record));
        }
        break;
    case Kind::Charge:
        check(m.tag == 'J' && m.charge >= wire::ChargeMin && m.charge <= wire::ChargeMax);
        break;
    case Kind::Damage: {
        check(m.tag == 'K');
        const wire::Message again = readOne(wire::damageMessage(m.value));
        check(again.kind == Kind::Damage && again.value == m.value);
        break;
    }
    case Kind::Failed:
        check(m.tag >= 'B' && m.tag <= 'K');
        break;
    case Kind::Ignored:
        break;
    }
}

int16_t int16At(std::string_view bytes, size_t at) {
    const auto byte = [&](size_t i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u;
    };
    return static_cast<int16_t>(static_cast<uint16_t>(byte(at) | byte(at + 1) << 8));
}

// A record made from the input transfers field by field and arrives unchanged.
void checkTransfer(std::string_view bytes) {
    ChickenRecord own;
    own.Name = bytes;
    own.KickPower = int16At(bytes, 0);
    own.PeckPower = int16At(bytes, 2);
    own.Speed = int16At(bytes, 4);
    own.Obedience = int16At(bytes, 6);
    own.HitPoints = int16At(bytes, 8);
    own.PortraitIndex = int16At(bytes, 10);
    own.KickSkill = int16At(bytes, 12);
    own.PeckSkill = int16At(bytes, 14);
    ChickenRecord opponent;
    for (int16_t step = 0; step < wire::TransferEndStep; ++step) {
        const std::optional<std::string> message = wire::recordMessage(own, step);
        check(message.has_value());
        check(wire::applyRecord(readOne(*message), opponent));
    }
    check(!wire::recordMessage(own, wire::TransferEndStep));
    check(opponent == own);
}

bool same(const wire::Message& a, const wire::Message& b) {
    return a.kind == b.kind && a.control == b.control && a.tag == b.tag && a.name == b.name &&
           a.value == b.value && a.charge == b.charge;
}

// One well-formed message on its own, read as such.
std::optional<wire::Message> alone(std::string_view text) {
    const std::vector<wire::Message> messages = wire::readArrival(text);
    if (messages.size() != 1 || messages[0].kind == Kind::Ignored ||
        messages[0].kind == Kind::Failed)
        return std::nullopt;
    return messages[0];
}

bool isNumberByte(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-';
}

// The longest text at the start of `rest` that could be one well-formed message
// by its bytes alone: a name takes everything; any other message is a tag or a
// control word's first digit, followed by nothing but digits, points and signs.
size_t longestCandidate(std::string_view rest) {
    const char first = rest[0];
    if (first == 'A')
        return rest.size();
    if (!(first >= 'B' && first <= 'K') && first != '0' && first != '1' && first != '9')
        return 0;
    size_t length = 1;
    while (length < rest.size() && isNumberByte(rest[length]))
        ++length;
    return length;
}

// True when no reading as merged messages can exist: a byte that only a name
// can hold comes before any name has begun.
bool cannotSplit(std::string_view bytes) {
    for (const char c : bytes) {
        if (c == 'A')
            return false;
        if (!isNumberByte(c) && !(c >= 'B' && c <= 'K'))
            return true;
    }
    return false;
}

// The merged reading worked out the slow way, trying every length at every point
// up to the longest candidate (so only for short inputs): the reader's faster
// search must agree with it.
void checkMergedReading(std::string_view bytes, const std::vector<wire::Message>& messages) {
    if (cannotSplit(bytes)) {
        check(messages.size() == 1);
        return;
    }
    std::vector<wire::Message> expected;
    bool tagged = false;
    bool readsThrough = !alone(bytes);
    for (size_t at = 0; readsThrough && at < bytes.size();) {
        size_t length = longestCandidate(bytes.substr(at));
        std::optional<wire::Message> longest;
        while (length > 0 && !(longest = alone(bytes.substr(at, length))))
            --length;
        if (!longest) {
            readsThrough = false;
            break;
        }
        tagged = tagged || longest->kind != Kind::Control;
        expected.push_back(*longest);
        at += length;
    }
    if (readsThrough && expected.size() >= 2 && tagged) {
        check(messages.size() == expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            check(same(messages[i], expected[i]));
    } else {
        check(messages.size() == 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<wire::Message> messages = wire::readArrival(bytes);
    check(!messages.empty());

    if (messages.size() == 1) {
        const wire::Message& m = messages.front();
        checkMessage(m);
        if (m.kind == Kind::Control)
            check(bytes == m.control);
        if (m.kind == Kind::Record && m.tag == 'A')
            check(bytes.substr(1) == m.name);
        if (m.kind == Kind::Ignored)
            check(bytes.empty() || bytes[0] < 'A' || bytes[0] > 'K');
    } else {
        // Merged: well-formed messages only, a tagged one among them, a name
        // only last, and the whole arrival not one well-formed message itself.
        bool tagged = false;
        for (size_t i = 0; i < messages.size(); ++i) {
            const wire::Message& m = messages[i];
            check(m.kind == Kind::Control || m.kind == Kind::Record || m.kind == Kind::Charge ||
                  m.kind == Kind::Damage);
            check(!(m.kind == Kind::Record && m.tag == 'A') || i + 1 == messages.size());
            tagged = tagged || m.kind != Kind::Control;
            checkMessage(m);
        }
        check(tagged);
        check(!bytes.empty() && bytes[0] != 'A');
    }

    if (bytes.size() <= 32)
        checkMergedReading(bytes, messages);
    checkTransfer(bytes);
    return 0;
}
