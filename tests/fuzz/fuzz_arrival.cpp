// Feeds arbitrary bytes to the arrival reader and checks what it gives back:
// never nothing, every message consistent with its kind, and merged readings made
// of well-formed messages only. Which texts read as which messages, merged or
// not, and how sent messages read back, is pinned down row by row in the wire's
// table.

#include "check.h"
#include "core/Wire.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

using Kind = wire::Message::Kind;

// A message consistent with its kind.
bool consistent(const wire::Message& m) {
    ChickenRecord record;
    switch (m.kind) {
    case Kind::Control:
        return m.control == wire::Ready || m.control == wire::Refusal || m.control == wire::Probe ||
               m.control == wire::Answer;
    case Kind::Record:
        return m.tag >= 'A' && m.tag <= 'I' && wire::applyRecord(m, record);
    case Kind::Charge:
        return m.tag == 'J' && m.charge >= wire::ChargeMin && m.charge <= wire::ChargeMax;
    case Kind::Damage:
        return m.tag == 'K';
    case Kind::Failed:
        return m.tag >= 'B' && m.tag <= 'K';
    case Kind::Ignored:
        return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<wire::Message> messages = wire::readArrival(bytes);
    check(!messages.empty());

    if (messages.size() == 1) {
        const wire::Message& m = messages.front();
        check(consistent(m));
        check(m.kind != Kind::Control || bytes == m.control);
        check(m.kind != Kind::Record || m.tag != 'A' || bytes.substr(1) == m.name);
        check(m.kind != Kind::Ignored || bytes.empty() || bytes[0] < 'A' || bytes[0] > 'K');
        return 0;
    }
    // Merged: well-formed messages only, a tagged one among them, a name only
    // last, and the whole arrival not one well-formed message itself.
    bool tagged = false;
    for (size_t i = 0; i < messages.size(); ++i) {
        const wire::Message& m = messages[i];
        check(m.kind != Kind::Ignored && m.kind != Kind::Failed);
        check(m.kind != Kind::Record || m.tag != 'A' || i + 1 == messages.size());
        tagged = tagged || m.kind != Kind::Control;
        check(consistent(m));
    }
    check(tagged && !bytes.empty() && bytes[0] != 'A');
    return 0;
}
