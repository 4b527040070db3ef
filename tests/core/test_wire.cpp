// The wire codec: the texts each message is sent as, and what an arrival reads as,
// including messages that were merged into one arrival on the way.

#include "common/fixtures.h"
#include "core/Wire.h"

#include <QByteArray>
#include <QtTest>

#include <string>

using fixture::row;
using fixture::rows;

namespace {

// Name, kick power, peck power, speed, obedience, hit points, portrait, kick skill,
// peck skill.
const ChickenRecord sample =
    fixture::chicken("Red \xe9gg, \"B5\"", {10, -8, 50, 90, 32767, 0, -32768, 6});

// One short text per message, so that a whole arrival compares as one string.
QByteArray arrival(const QByteArray& bytes) {
    using enum wire::Message::Kind;
    QByteArrayList parts;
    for (const wire::Message& m : wire::readArrival(bytes.toStdString())) {
        const QByteArray tag(1, m.tag), value = QByteArray::number(m.value);
        parts << (m.kind == Ignored   ? "ignored"
                  : m.kind == Control ? "control " + QByteArray::fromStdString(m.control)
                  : m.kind == Charge  ? "charge " + QByteArray::number(double(m.charge), 'g', 9)
                  : m.kind == Damage  ? "damage " + value
                  : m.kind == Failed  ? "failed " + tag
                  : m.tag == 'A'      ? "A '" + QByteArray::fromStdString(m.name) + "'"
                                      : tag + " " + value);
    }
    return parts.join(" | ");
}

// A record after arrivals, each applied the way the receive handler does (in
// order, stopping at a failure), and how many record messages applied.
QByteArray applied(const QByteArrayList& arrivals, ChickenRecord record = {}) {
    int count = 0;
    for (const QByteArray& arrival : arrivals) {
        for (const wire::Message& m : wire::readArrival(arrival.toStdString())) {
            if (m.kind == wire::Message::Kind::Failed)
                break;
            count += wire::applyRecord(m, record);
        }
    }
    return fixture::text(record) + " (" + QByteArray::number(count) + " applied)";
}

// The nine record messages of a transfer of the sample chicken, as sent.
QByteArrayList transfer(ChickenRecord own) {
    own.CheatFlag = 1; // never sent
    own.CanPeck = -1;
    QByteArrayList messages;
    for (int16_t step = 0; step < 9; ++step)
        messages << QByteArray::fromStdString(*wire::recordMessage(own, step));
    return messages;
}

// A Record message with a tag beyond "I": whether it applies, and the record after.
QByteArray recordBeyondI() {
    wire::Message odd;
    odd.kind = wire::Message::Kind::Record;
    odd.tag = 'K';
    ChickenRecord record;
    return QByteArray::number(wire::applyRecord(odd, record)) + " " + fixture::text(record);
}

// The messages sent for each value, between bars: for the transfer steps, what
// each step sends for the sample chicken (for some, nothing).
template <typename Value, typename Message>
QByteArray sent(Message message, std::initializer_list<Value> values) {
    QByteArrayList texts;
    for (Value value : values)
        texts << QByteArray::fromStdString(message(value));
    return texts.join('|');
}
QByteArray sent(std::initializer_list<int16_t> steps) {
    return sent<int16_t>(
        [](int16_t step) { return wire::recordMessage(sample, step).value_or(""); }, steps);
}

// Each charge from 0 to 10 sent, then read back.
QByteArray chargesReadBack() {
    QByteArrayList charges;
    for (int charge = 0; charge <= 10; ++charge)
        charges << arrival(QByteArray::fromStdString(wire::chargeMessage(float(charge)))).mid(7);
    return charges.join(' ');
}

const QByteArray megabyte(1 << 20, '7'), zeros(1 << 20, '0');

} // namespace

class TestWire : public QObject {
    Q_OBJECT

private slots:
    void table_data() {
        fixture::columns();
        row("steps 0 to 8", sent({0, 1, 2, 3, 4, 5, 6, 7, 8}),
            "ARed \xe9gg, \"B5\"|B10|C-8|D50|E90|F32767|G0|H-32768|I6");
        row("step 9 ends, others send nothing", sent({9, 10, -1, 32767, -32768}), "||||");
        row("charges sent", sent<float>(wire::chargeMessage, {0, 2, 10, -0.0f}), "J0|J2|J10|J0");
        row("damage sent", sent<int16_t>(wire::damageMessage, {4, -3, -32768}), "K4|K-3|K-32768");
        row("sent charges read back", chargesReadBack(), "0 1 2 3 4 5 6 7 8 9 10");
        row("ready", arrival("0"), "control 0");
        row("refusal", arrival("10"), "control 10");
        row("probe", arrival("90"), "control 90");
        row("answer", arrival("91"), "control 91");
        rows("arrival", arrival, "ignored", {"0 ", "a12", "L3", "00", "1010", "010", "L3B5"});
        row("empty", arrival(QByteArray()), "ignored");
        row("name alone", arrival("A"), "A ''");
        row("name swallows the rest", arrival("ARedB5"), "A 'RedB5'");
        row("name of digits", arrival("A10"), "A '10'");
        row("name with a null byte", arrival(QByteArray("Ab\0c", 4)), QByteArray("A 'b\0c'", 7));
        row("half rounds to even, up", arrival("B7.5"), "B 8");
        row("half rounds to even, down", arrival("B6.5"), "B 6");
        row("negative half", arrival("B-2.5"), "B -2");
        row("negative half, odd", arrival("B-3.5"), "B -4");
        row("just above a half", arrival("C2.50000000000000000001"), "C 3");
        row("a half with zeros", arrival("C2.5000"), "C 2");
        row("below a half", arrival("C2.4999999999999999999"), "C 2");
        row("leading zeros", arrival("D007"), "D 7");
        row("plus sign", arrival("D+5"), "D 5");
        row("minus zero", arrival("D-0"), "D 0");
        row("point first", arrival("E.5"), "E 0");
        row("point last", arrival("E5."), "E 5");
        row("largest", arrival("G32767"), "G 32767");
        row("smallest", arrival("H-32768"), "H -32768");
        row("smallest, half", arrival("H-32768.5"), "H -32768");
        rows("arrival", arrival, "failed B",
             {"B", "Bx", "B 5", "B5 ", "B1e3", "B-", "B.", "B1.2.3", "B5C7 ", "B5C", "B5L3",
              "B32767.5"});
        rows("arrival", arrival, "failed F", {"F32767.5", "F-32768.6", "F99999999999999999999"});
        row("charge", arrival("J10"), "charge 10");
        row("charge zero", arrival("J0"), "charge 0");
        row("charge minus zero", arrival("J-0"), "charge 0");
        row("charge fraction", arrival("J2.5"), "charge 2.5");
        row("charge too small to tell from 10", arrival("J10.00000001"), "charge 10");
        rows("arrival", arrival, "failed J", {"J11", "J-1", "Jx", "J", "J11J2", "J105"});
        row("charge tiny", arrival("J0." + QByteArray(80, '0') + "1"), "charge 0");
        row("charge huge", arrival("J" + QByteArray(80, '9')), "failed J");
        row("damage", arrival("K4"), "damage 4");
        row("no damage", arrival("K0"), "damage 0");
        row("negative damage", arrival("K-4"), "damage -4");
        row("two record messages", arrival("B5C7"), "B 5 | C 7");
        row("charge then refusal", arrival("J1010"), "charge 10 | control 10");
        row("damage then charge", arrival("K3J4"), "damage 3 | charge 4");
        row("refusal then charge", arrival("10J2"), "control 10 | charge 2");
        row("answer then charge", arrival("91J3"), "control 91 | charge 3");
        row("charges", arrival("J8J9J1010"), "charge 8 | charge 9 | charge 10 | control 10");
        row("name last", arrival("B5ARed"), "B 5 | A 'Red'");
        row("numbers with signs and points", arrival("B-5C1.5D+2"), "B -5 | C 2 | D 2");
        // A number too large for its field reads as its longest fitting start:
        // right for the last record message and the ready signal, harmless else.
        row("last record then ready", arrival("I40000"), "I 4000 | control 0");
        row("too large leaves a ready", arrival("B40000"), "B 4000 | control 0");
        row("charge too large leaves a ready", arrival("J100"), "charge 10 | control 0");
        // One well-formed message is never taken apart.
        row("record then ready reads as one number", arrival("I60"), "I 60");
        row("half rounds within the number", arrival("I4000.50"), "I 4000");
        // Texts that do not read through to the end stay one text.
        rows("arrival", arrival, "failed K", {"K3J4x"});
        // A megabyte in one arrival reads in one pass, whatever it holds.
        row("megabyte number", arrival("B" + megabyte), "failed B");
        row("megabyte charge", arrival("J" + megabyte), "failed J");
        row("megabyte fraction", arrival("B1." + megabyte + "C1"), "B 2 | C 1");
        row("megabyte of leading zeros", arrival("B-" + zeros + "5"), "B -5");
        row("megabyte of NUL bytes", arrival("J10" + QByteArray(1 << 20, '\0')), "failed J");
        row("megabyte name", fixture::text(int(arrival("A" + megabyte).size())), "1048580");
        row("megabyte fraction of a charge", arrival("J0." + megabyte), "charge 0.777777791");
        row("100000 merged messages",
            fixture::text(int(arrival(QByteArray("J1010").repeated(50000)).count(" | ")) + 1),
            "100000");
        // The nine messages of a transfer rebuild the record field by field; the
        // fields that are never sent stay untouched.
        row("transfer", applied(transfer(sample)),
            "'Red \xe9gg, \"B5\"' 10 -8 50 90 32767 0 -32768 6 0 0 0 (9 applied)");
        // A failed conversion keeps the field's previous value; "B40001" is "B4000",
        // "0" and a lone "1": one text; "F1" then "00" is a message split over two
        // arrivals, the second half ignored.
        const ChickenRecord start = fixture::chicken("Kid", {3, 4});
        row("applied", applied({"B5C7", "B40001", "Cx", "F1", "00", "ARedB5"}, start),
            "'RedB5' 5 7 0 0 1 0 0 0 0 0 0 (4 applied)");
        row("applied: empty name", applied({"A"}, start), "'' 3 4 0 0 0 0 0 0 0 0 0 (1 applied)");
        row("applied: only record messages",
            applied({"J5", "K3", "0", "10", "Bx", "", "L3"}, start),
            "'Kid' 3 4 0 0 0 0 0 0 0 0 0 (0 applied)");
        row("applied: a record beyond I", recordBeyondI(), "0 '' 0 0 0 0 0 0 0 0 0 0 0");
    }
    void table() { fixture::compareRow(); }
};

QTEST_APPLESS_MAIN(TestWire)
#include "test_wire.moc"
