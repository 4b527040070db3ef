#include "core/Wire.h"

#include <array>
#include <charconv>
#include <limits>
#include <system_error>
#include <utility>

namespace wire {

namespace {

// The whole-text stage compares in this order.
constexpr std::array<std::string_view, 4> ControlWords{Ready, Probe, Answer, Refusal};

// The record's number fields in the order of their tags "B".."I" (and of the
// transfer steps 1..8).
constexpr std::array<int16_t ChickenRecord::*, 8> NumberFields{
    &ChickenRecord::KickPower, &ChickenRecord::PeckPower, &ChickenRecord::Speed,
    &ChickenRecord::Obedience, &ChickenRecord::HitPoints, &ChickenRecord::PortraitIndex,
    &ChickenRecord::KickSkill, &ChickenRecord::PeckSkill,
};

constexpr char FirstNumberTag = 'B';
constexpr char LastRecordTag = 'I';

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isSign(char c) {
    return c == '-' || c == '+';
}

// The longest start of `text` made only of what a number may hold: an optional
// sign, then digits with at most one point. Every start of that run that holds
// a digit is itself a number.
std::string_view numberRun(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && isSign(text[i]))
        ++i;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && !point)
            point = true;
        else if (!isDigit(text[i]))
            break;
    }
    return text.substr(0, i);
}

// Where the first digit of `run` ends, or 0 when it has none.
size_t firstDigitEnd(std::string_view run) {
    for (size_t i = 0; i < run.size(); ++i)
        if (isDigit(run[i]))
            return i + 1;
    return 0;
}

bool isNumber(std::string_view text) {
    const std::string_view run = numberRun(text);
    return run.size() == text.size() && firstDigitEnd(run) != 0;
}

// The number as a 2-byte integer, rounded to the nearest whole number with halves
// going to the even neighbour. Worked out on the decimal digits themselves, so that
// no binary fraction blurs a half and any length of input costs one pass.
std::optional<int16_t> toShort(std::string_view text) {
    if (!isNumber(text))
        return std::nullopt;
    size_t i = 0;
    const bool negative = text[0] == '-';
    if (isSign(text[0]))
        ++i;
    constexpr int32_t Limit = -int32_t{std::numeric_limits<int16_t>::min()}; // 32768
    int32_t whole = 0;
    for (; i < text.size() && text[i] != '.'; ++i) {
        whole = whole * 10 + (text[i] - '0');
        if (whole > Limit)
            return std::nullopt; // rounding never makes it smaller
    }
    int firstFractionDigit = 0;
    bool restNonZero = false;
    if (i < text.size()) {
        ++i; // the point
        if (i < text.size())
            firstFractionDigit = text[i++] - '0';
        for (; i < text.size() && !restNonZero; ++i)
            restNonZero = text[i] != '0';
    }
    if (firstFractionDigit > 5 || (firstFractionDigit == 5 && (restNonZero || whole % 2 == 1)))
        ++whole;
    const int32_t value = negative ? -whole : whole;
    if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
        return std::nullopt;
    return static_cast<int16_t>(value);
}

// The number as a single-precision value (nearest float to the decimal text).
std::optional<float> toFloat(std::string_view text) {
    if (!isNumber(text))
        return std::nullopt;
    if (text[0] == '+')
        text.remove_prefix(1); // from_chars takes no plus sign
    float value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (stop != end)
        return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // Too small for a float is zero; too large is no number at all.
        const std::string_view whole = text.substr(0, text.find('.'));
        if (whole.find_first_of("123456789") != std::string_view::npos)
            return std::nullopt;
        return text[0] == '-' ? -0.0f : 0.0f;
    }
    if (error != std::errc{})
        return std::nullopt;
    return value;
}

Message controlMessage(std::string_view word) {
    Message message;
    message.kind = Message::Kind::Control;
    message.control = word;
    return message;
}

// The tagged message `tag` + `payload` if it is well-formed, else nothing.
std::optional<Message> taggedMessage(char tag, std::string_view payload) {
    Message message;
    message.tag = tag;
    if (tag == 'A') {
        message.kind = Message::Kind::Record;
        message.name = payload;
        return message;
    }
    if (tag == 'J') {
        const std::optional<float> charge = toFloat(payload);
        if (!charge || !(*charge >= ChargeMin && *charge <= ChargeMax))
            return std::nullopt;
        message.kind = Message::Kind::Charge;
        message.charge = *charge + 0.0f; // "-0" is the bar's 0
        return message;
    }
    if (tag >= FirstNumberTag && tag <= 'K') {
        const std::optional<int16_t> value = toShort(payload);
        if (!value)
            return std::nullopt;
        message.kind = tag == 'K' ? Message::Kind::Damage : Message::Kind::Record;
        message.value = *value;
        return message;
    }
    return std::nullopt;
}

bool isTag(char c) {
    return c >= 'A' && c <= 'K';
}

// The arrival taken as one text: the whole-text stage, then the tag stage.
Message readWhole(std::string_view text) {
    for (std::string_view word : ControlWords)
        if (text == word)
            return controlMessage(word);
    if (text.empty() || !isTag(text[0]))
        return {};
    if (std::optional<Message> message = taggedMessage(text[0], text.substr(1)))
        return std::move(*message);
    Message failed;
    failed.kind = Message::Kind::Failed;
    failed.tag = text[0];
    return failed;
}

// The longest well-formed message at the start of `text`, with its length.
std::optional<std::pair<Message, size_t>> longestMessageAt(std::string_view text) {
    for (std::string_view word : ControlWords)
        if (text.starts_with(word))
            return std::pair{controlMessage(word), word.size()};
    if (text.empty() || !isTag(text[0]))
        return std::nullopt;
    const char tag = text[0];
    if (tag == 'A')
        return std::pair{*taggedMessage(tag, text.substr(1)), text.size()};

    // Along the number-shaped run after the tag, a longer start never lies nearer
    // to zero than a shorter one, and zero is within every range that counts, so
    // the well-formed starts are all those up to some length: halve towards it.
    const std::string_view run = numberRun(text.substr(1));
    size_t shortest = firstDigitEnd(run);
    if (shortest == 0)
        return std::nullopt;
    std::optional<Message> best = taggedMessage(tag, run.substr(0, shortest));
    if (!best)
        return std::nullopt;
    size_t good = shortest;
    size_t bad = run.size() + 1; // first length known not to be well-formed
    while (bad - good > 1) {
        const size_t middle = good + (bad - good) / 2;
        if (std::optional<Message> candidate = taggedMessage(tag, run.substr(0, middle))) {
            best = std::move(candidate);
            good = middle;
        } else {
            bad = middle;
        }
    }
    return std::pair{std::move(*best), 1 + good};
}

// The arrival read as messages merged on the way, if it reads so.
std::optional<std::vector<Message>> readMerged(std::string_view text) {
    std::vector<Message> messages;
    bool anyTagged = false;
    while (!text.empty()) {
        std::optional<std::pair<Message, size_t>> piece = longestMessageAt(text);
        if (!piece)
            return std::nullopt;
        anyTagged = anyTagged || piece->first.kind != Message::Kind::Control;
        messages.push_back(std::move(piece->first));
        text.remove_prefix(piece->second);
    }
    if (messages.size() < 2 || !anyTagged)
        return std::nullopt;
    return messages;
}

std::string numberMessage(char tag, int16_t value) {
    return tag + std::to_string(value);
}

} // namespace

std::optional<std::string> recordMessage(const ChickenRecord& own, int16_t step) {
    if (step == 0)
        return "A" + own.Name;
    if (step >= 1 && step <= static_cast<int16_t>(NumberFields.size())) {
        const char tag = static_cast<char>('A' + step);
        return numberMessage(tag, own.*NumberFields[static_cast<size_t>(step - 1)]);
    }
    return std::nullopt;
}

std::string chargeMessage(float charge) {
    // Fixed notation with no fraction digits writes the nearest whole number.
    std::array<char, 64> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), charge + 0.0f,
                                      std::chars_format::fixed, 0);
    return "J" + std::string(text.data(), result.ptr);
}

std::string damageMessage(int16_t damage) {
    return numberMessage('K', damage);
}

std::vector<Message> readArrival(std::string_view bytes) {
    Message whole = readWhole(bytes);
    const bool wellFormed =
        whole.kind != Message::Kind::Ignored && whole.kind != Message::Kind::Failed;
    if (!wellFormed) {
        if (std::optional<std::vector<Message>> merged = readMerged(bytes))
            return std::move(*merged);
    }
    std::vector<Message> messages;
    messages.push_back(std::move(whole));
    return messages;
}

bool opensExchange(std::string_view arrival) {
    const Message first = readArrival(arrival).front();
    return first.kind == Message::Kind::Record && first.tag == 'A';
}

bool applyRecord(const Message& message, ChickenRecord& opponent) {
    if (message.kind != Message::Kind::Record)
        return false;
    if (message.tag == 'A') {
        opponent.Name = message.name;
        return true;
    }
    if (message.tag < FirstNumberTag || message.tag > LastRecordTag)
        return false;
    opponent.*NumberFields[static_cast<size_t>(message.tag - FirstNumberTag)] = message.value;
    return true;
}

void Receiver::receive(std::string_view arrival) {
    for (const Message& message : readArrival(arrival)) {
        if (ended())
            return;
        switch (message.kind) {
        case Message::Kind::Ignored:
            break;
        case Message::Kind::Failed:
            return;
        case Message::Kind::Control:
            onControl(message.control);
            break;
        case Message::Kind::Record:
            onRecord(message);
            break;
        case Message::Kind::Charge:
            onCharge(message.charge);
            break;
        case Message::Kind::Damage:
            onDamage(message.value);
            break;
        }
    }
}

} // namespace wire
