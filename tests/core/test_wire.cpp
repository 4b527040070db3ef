// The wire codec: the texts each message is sent as, and what an arrival reads as,
// including messages that were merged into one arrival on the way.

#include "common/fixtures.h"
#include "core/Wire.h"

#include <QByteArray>
#include <QtTest>

#include <string>

using fixture::row;

namespace {

// Name, kick power, peck power, speed, obedience, hit points, portrait, kick skill,
// peck skill.
const ChickenRecord sample =
    fixture::chicken("Red \xe9gg, \"B5\"", {10, -8, 50, 90, 32767, 0, -32768, 6});

std::string bytes(const QByteArray& text) {
    return text.toStdString();
}

// One short text per message, so that a whole arrival compares as one string.
QByteArray read(const QByteArray& arrival) {
    using Kind = wire::Message::Kind;
    QByteArrayList parts;
    for (const wire::Message& m : wire::readArrival(bytes(arrival))) {
        const QByteArray tag(1, m.tag);
        switch (m.kind) {
        case Kind::Ignored:
            parts << "ignored";
            break;
        case Kind::Control:
            parts << "control " + QByteArray::fromStdString(m.control);
            break;
        case Kind::Record:
            parts << (m.tag == 'A' ? "A '" + QByteArray::fromStdString(m.name) + "'"
                                   : tag + " " + QByteArray::number(m.value));
            break;
        case Kind::Charge:
            parts << "charge " + QByteArray::number(double(m.charge));
            break;
        case Kind::Damage:
            parts << "damage " + QByteArray::number(m.value);
            break;
        case Kind::Failed:
            parts << "failed " + tag;
            break;
        }
    }
    return parts.join(" | ");
}

// Applies an arrival's record messages the way the receive handler does: in
// order, stopping at a failure.
void apply(const QByteArray& arrival, ChickenRecord& opponent) {
    for (const wire::Message& m : wire::readArrival(bytes(arrival))) {
        if (m.kind == wire::Message::Kind::Failed)
            return;
        wire::applyRecord(m, opponent);
    }
}

// What transfer step `step` sends for the sample chicken.
QByteArray sent(int16_t step) {
    const auto message = wire::recordMessage(sample, step);
    return message ? QByteArray::fromStdString(*message) : "nothing";
}

// Each charge from 0 to 10 sent, then read back.
QByteArray chargesReadBack() {
    QByteArrayList charges;
    for (int charge = 0; charge <= 10; ++charge)
        charges << read(QByteArray::fromStdString(wire::chargeMessage(float(charge)))).mid(7);
    return charges.join(' ');
}

const QByteArray megabyte(1 << 20, '7'), zeros(1 << 20, '0');

} // namespace

class TestWire : public QObject {
    Q_OBJECT

private slots:
    void table_data() {
        fixture::columns();
        row("step 0 name", sent(0), "ARed \xe9gg, \"B5\"");
        row("step 1 kick power", sent(1), "B10");
        row("step 2 peck power", sent(2), "C-8");
        row("step 3 speed", sent(3), "D50");
        row("step 4 obedience", sent(4), "E90");
        row("step 5 hit points", sent(5), "F32767");
        row("step 6 portrait", sent(6), "G0");
        row("step 7 kick skill", sent(7), "H-32768");
        row("step 8 peck skill", sent(8), "I6");
        row("step 9 ends", sent(9), "nothing");
        row("step 10", sent(10), "nothing");
        row("step -1", sent(-1), "nothing");
        row("step 32767", sent(32767), "nothing");
        row("step -32768", sent(-32768), "nothing");
        row("sent charge 0", wire::chargeMessage(0), "J0");
        row("sent charge 2", wire::chargeMessage(2), "J2");
        row("sent charge 10", wire::chargeMessage(10), "J10");
        row("sent charge -0", wire::chargeMessage(-0.0f), "J0");
        row("sent damage 4", wire::damageMessage(4), "K4");
        row("sent damage -3", wire::damageMessage(-3), "K-3");
        row("sent damage -32768", wire::damageMessage(-32768), "K-32768");
        row("sent charges read back", chargesReadBack(), "0 1 2 3 4 5 6 7 8 9 10");
        row("ready", read("0"), "control 0");
        row("refusal", read("10"), "control 10");
        row("probe", read("90"), "control 90");
        row("answer", read("91"), "control 91");
        row("ready with a blank", read("0 "), "ignored");
        row("empty", read(QByteArray()), "ignored");
        row("lower-case tag", read("a12"), "ignored");
        row("unknown tag", read("L3"), "ignored");
        row("control word twice", read("00"), "ignored");
        row("control words only", read("1010"), "ignored");
        row("tail of a split number", read("010"), "ignored");
        row("name alone", read("A"), "A ''");
        row("name swallows the rest", read("ARedB5"), "A 'RedB5'");
        row("name of digits", read("A10"), "A '10'");
        row("name with a null byte", read(QByteArray("Ab\0c", 4)), QByteArray("A 'b\0c'", 7));
        row("half rounds to even, up", read("B7.5"), "B 8");
        row("half rounds to even, down", read("B6.5"), "B 6");
        row("negative half", read("B-2.5"), "B -2");
        row("negative half, odd", read("B-3.5"), "B -4");
        row("just above a half", read("C2.50000000000000000001"), "C 3");
        row("a half with zeros", read("C2.5000"), "C 2");
        row("below a half", read("C2.4999999999999999999"), "C 2");
        row("leading zeros", read("D007"), "D 7");
        row("plus sign", read("D+5"), "D 5");
        row("minus zero", read("D-0"), "D 0");
        row("point first", read("E.5"), "E 0");
        row("point last", read("E5."), "E 5");
        row("largest", read("G32767"), "G 32767");
        row("smallest", read("H-32768"), "H -32768");
        row("smallest, half", read("H-32768.5"), "H -32768");
        row("tag alone", read("B"), "failed B");
        row("letter", read("Bx"), "failed B");
        row("leading blank", read("B 5"), "failed B");
        row("trailing blank", read("B5 "), "failed B");
        row("exponent", read("B1e3"), "failed B");
        row("sign alone", read("B-"), "failed B");
        row("point alone", read("B."), "failed B");
        row("two points", read("B1.2.3"), "failed B");
        row("rounds past the top", read("F32767.5"), "failed F");
        row("rounds past the bottom", read("F-32768.6"), "failed F");
        row("far too large", read("F99999999999999999999"), "failed F");
        row("charge", read("J10"), "charge 10");
        row("charge zero", read("J0"), "charge 0");
        row("charge minus zero", read("J-0"), "charge 0");
        row("charge fraction", read("J2.5"), "charge 2.5");
        row("charge too small to tell from 10", read("J10.00000001"), "charge 10");
        row("charge above the bar", read("J11"), "failed J");
        row("charge below the bar", read("J-1"), "failed J");
        row("charge not a number", read("Jx"), "failed J");
        row("charge empty", read("J"), "failed J");
        row("charge tiny", read("J0." + QByteArray(80, '0') + "1"), "charge 0");
        row("charge huge", read("J" + QByteArray(80, '9')), "failed J");
        row("damage", read("K4"), "damage 4");
        row("no damage", read("K0"), "damage 0");
        row("negative damage", read("K-4"), "damage -4");
        row("two record messages", read("B5C7"), "B 5 | C 7");
        row("charge then refusal", read("J1010"), "charge 10 | control 10");
        row("damage then charge", read("K3J4"), "damage 3 | charge 4");
        row("refusal then charge", read("10J2"), "control 10 | charge 2");
        row("answer then charge", read("91J3"), "control 91 | charge 3");
        row("charges", read("J8J9J1010"), "charge 8 | charge 9 | charge 10 | control 10");
        row("name last", read("B5ARed"), "B 5 | A 'Red'");
        row("numbers with signs and points", read("B-5C1.5D+2"), "B -5 | C 2 | D 2");
        // A number too large for its field reads as its longest fitting start:
        // right for the last record message and the ready signal, harmless else.
        row("last record then ready", read("I40000"), "I 4000 | control 0");
        row("too large leaves a ready", read("B40000"), "B 4000 | control 0");
        row("charge too large leaves a ready", read("J100"), "charge 10 | control 0");
        // One well-formed message is never taken apart.
        row("record then ready reads as one number", read("I60"), "I 60");
        row("half rounds within the number", read("I4000.50"), "I 4000");
        // Texts that do not read through to the end stay one text.
        row("trailing letter", read("K3J4x"), "failed K");
        row("trailing blank after two", read("B5C7 "), "failed B");
        row("trailing tag alone", read("B5C"), "failed B");
        row("charge out of range in the middle", read("J11J2"), "failed J");
        row("leftover digit", read("J105"), "failed J");
        row("unknown tag in the middle", read("B5L3"), "failed B");
        row("leftover point", read("B32767.5"), "failed B");
        row("starts with an unknown tag", read("L3B5"), "ignored");
        // A megabyte in one arrival reads in one pass, whatever it holds.
        row("megabyte number", read("B" + megabyte), "failed B");
        row("megabyte charge", read("J" + megabyte), "failed J");
        row("megabyte fraction", read("B1." + megabyte + "C1"), "B 2 | C 1");
        row("megabyte of leading zeros", read("B-" + zeros + "5"), "B -5");
        row("megabyte of NUL bytes", read("J10" + QByteArray(1 << 20, '\0')), "failed J");
    }
    void table() { fixture::compareRow(); }

    void transferCopiesTheRecord() {
        // The nine messages of a transfer, each read on arrival, rebuild the
        // record field by field; the fields that are never sent stay untouched.
        ChickenRecord own = sample, opponent;
        own.CheatFlag = 1;
        own.CanPeck = -1;
        for (int16_t step = 0; step < 9; ++step)
            apply(QByteArray::fromStdString(*wire::recordMessage(own, step)), opponent);
        QCOMPARE(opponent, sample);
    }

    void arrivalsApplyToTheOpponent() {
        // A failed conversion keeps the field's previous value.
        ChickenRecord opponent = fixture::chicken("", {3, 4});
        for (const char* arrival : {"B5C7", "B40001", "Cx", "F1", "00", "ARedB5"})
            apply(arrival, opponent); // "B40001": "B4000", "0", then a lone "1": one text
        // "F1" then "00": a message split over two arrivals, the second half ignored.
        QCOMPARE(opponent, fixture::chicken("RedB5", {5, 7, 0, 0, 1}));
        apply("A", opponent);
        QCOMPARE(opponent.Name, "");
    }

    void onlyRecordMessagesApply() {
        ChickenRecord opponent = sample;
        for (const char* text : {"J5", "K3", "0", "10", "Bx", "", "L3"}) {
            for (const wire::Message& m : wire::readArrival(text))
                QVERIFY2(!wire::applyRecord(m, opponent), text);
        }
        wire::Message odd; // a Record kind with a tag beyond "I" is refused too
        odd.kind = wire::Message::Kind::Record;
        odd.tag = 'K';
        QVERIFY(!wire::applyRecord(odd, opponent));
        QCOMPARE(opponent, sample);
    }

    void longArrivals() {
        const auto name = wire::readArrival(bytes("A" + megabyte));
        QCOMPARE(name.size(), size_t(1));
        QCOMPARE(name[0].name.size(), size_t(1 << 20));
        const auto charge = wire::readArrival(bytes("J0." + megabyte));
        QCOMPARE(charge.size(), size_t(1));
        QCOMPARE(charge[0].charge, 7.0f / 9.0f);
        QByteArray charges;
        for (int i = 0; i < 50000; ++i)
            charges += "J1010";
        QCOMPARE(wire::readArrival(bytes(charges)).size(), size_t(100000));
    }
};

QTEST_APPLESS_MAIN(TestWire)
#include "test_wire.moc"
