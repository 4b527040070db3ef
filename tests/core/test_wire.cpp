// The wire codec: the texts each message is sent as, and what an arrival reads as,
// including messages that were merged into one arrival on the way.

#include "core/Wire.h"

#include <QByteArray>
#include <QStringList>
#include <QtTest>

#include <string>

namespace {

std::string bytes(const QByteArray& text) {
    return text.toStdString();
}
QByteArray q(const std::string& text) {
    return QByteArray::fromStdString(text);
}

// One line per message, so that a whole arrival compares as one string.
QString describe(const std::vector<wire::Message>& messages) {
    using Kind = wire::Message::Kind;
    QStringList parts;
    for (const wire::Message& m : messages) {
        const QString tag = QString(QChar::fromLatin1(m.tag));
        switch (m.kind) {
        case Kind::Ignored:
            parts << "ignored";
            break;
        case Kind::Control:
            parts << "control " + QString::fromStdString(m.control);
            break;
        case Kind::Record:
            parts << (m.tag == 'A' ? "A '" + QString::fromLatin1(q(m.name)) + "'"
                                   : tag + " " + QString::number(m.value));
            break;
        case Kind::Charge:
            parts << "charge " + QString::number(double(m.charge));
            break;
        case Kind::Damage:
            parts << "damage " + QString::number(m.value);
            break;
        case Kind::Failed:
            parts << "failed " + tag;
            break;
        }
    }
    return parts.join(" | ");
}

QString read(const QByteArray& arrival) {
    return describe(wire::readArrival(bytes(arrival)));
}

// Applies an arrival's record messages the way the receive handler does: in
// order, stopping at a failure.
void applyArrival(const QByteArray& arrival, ChickenRecord& opponent) {
    for (const wire::Message& m : wire::readArrival(bytes(arrival))) {
        if (m.kind == wire::Message::Kind::Failed)
            return;
        wire::applyRecord(m, opponent);
    }
}

ChickenRecord sampleChicken() {
    ChickenRecord c;
    c.Name = "Red \xe9gg, \"B5\"";
    c.KickPower = 10;
    c.PeckPower = -8;
    c.Speed = 50;
    c.Obedience = 90;
    c.HitPoints = 32767;
    c.PortraitIndex = 0;
    c.KickSkill = -32768;
    c.PeckSkill = 6;
    return c;
}

} // namespace

class TestWire : public QObject {
    Q_OBJECT

private slots:
    void transferSteps_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<QByteArray>("sent"); // empty: nothing is sent
        QTest::newRow("0 name") << 0 << QByteArray("ARed \xe9gg, \"B5\"");
        QTest::newRow("1 kick power") << 1 << QByteArray("B10");
        QTest::newRow("2 peck power") << 2 << QByteArray("C-8");
        QTest::newRow("3 speed") << 3 << QByteArray("D50");
        QTest::newRow("4 obedience") << 4 << QByteArray("E90");
        QTest::newRow("5 hit points") << 5 << QByteArray("F32767");
        QTest::newRow("6 portrait") << 6 << QByteArray("G0");
        QTest::newRow("7 kick skill") << 7 << QByteArray("H-32768");
        QTest::newRow("8 peck skill") << 8 << QByteArray("I6");
        QTest::newRow("9 ends") << 9 << QByteArray();
        QTest::newRow("10") << 10 << QByteArray();
        QTest::newRow("-1") << -1 << QByteArray();
        QTest::newRow("32767") << 32767 << QByteArray();
        QTest::newRow("-32768") << -32768 << QByteArray();
    }
    void transferSteps() {
        QFETCH(int, step);
        QFETCH(QByteArray, sent);
        const auto message = wire::recordMessage(sampleChicken(), static_cast<int16_t>(step));
        QCOMPARE(message.has_value(), !sent.isEmpty());
        if (message)
            QCOMPARE(q(*message), sent);
    }

    void transferCopiesTheRecord() {
        // The nine messages of a transfer, each read on arrival, rebuild the
        // record field by field; the fields that are never sent stay untouched.
        ChickenRecord own = sampleChicken();
        own.CheatFlag = 1;
        own.CanPeck = -1;
        ChickenRecord opponent;
        for (int16_t step = 0; step < wire::TransferEndStep; ++step)
            applyArrival(q(*wire::recordMessage(own, step)), opponent);
        own.CheatFlag = 0;
        own.CanPeck = 0;
        QVERIFY(opponent == own);
    }

    void fightMessages() {
        QCOMPARE(q(wire::chargeMessage(0)), "J0");
        QCOMPARE(q(wire::chargeMessage(2)), "J2");
        QCOMPARE(q(wire::chargeMessage(10)), "J10");
        QCOMPARE(q(wire::chargeMessage(-0.0f)), "J0");
        QCOMPARE(q(wire::damageMessage(4)), "K4");
        QCOMPARE(q(wire::damageMessage(-3)), "K-3");
        QCOMPARE(q(wire::damageMessage(-32768)), "K-32768");
        for (int charge = 0; charge <= 10; ++charge)
            QCOMPARE(read(q(wire::chargeMessage(float(charge)))),
                     "charge " + QString::number(charge));
    }

    void singleArrival_data() {
        QTest::addColumn<QByteArray>("arrival");
        QTest::addColumn<QString>("reads");

        QTest::newRow("ready") << QByteArray("0") << "control 0";
        QTest::newRow("refusal") << QByteArray("10") << "control 10";
        QTest::newRow("probe") << QByteArray("90") << "control 90";
        QTest::newRow("answer") << QByteArray("91") << "control 91";
        QTest::newRow("ready with a blank") << QByteArray("0 ") << "ignored";
        QTest::newRow("empty") << QByteArray() << "ignored";
        QTest::newRow("lower-case tag") << QByteArray("a12") << "ignored";
        QTest::newRow("unknown tag") << QByteArray("L3") << "ignored";
        QTest::newRow("control word twice") << QByteArray("00") << "ignored";
        QTest::newRow("control words only") << QByteArray("1010") << "ignored";
        QTest::newRow("tail of a split number") << QByteArray("010") << "ignored";

        QTest::newRow("name alone") << QByteArray("A") << "A ''";
        QTest::newRow("name swallows the rest") << QByteArray("ARedB5") << "A 'RedB5'";
        QTest::newRow("name of digits") << QByteArray("A10") << "A '10'";
        QTest::newRow("name with a null byte")
            << QByteArray("Ab\0c", 4) << QString("A 'b") + QChar(0) + "c'";

        QTest::newRow("half rounds to even, up") << QByteArray("B7.5") << "B 8";
        QTest::newRow("half rounds to even, down") << QByteArray("B6.5") << "B 6";
        QTest::newRow("negative half") << QByteArray("B-2.5") << "B -2";
        QTest::newRow("negative half, odd") << QByteArray("B-3.5") << "B -4";
        QTest::newRow("just above a half") << QByteArray("C2.50000000000000000001") << "C 3";
        QTest::newRow("a half with zeros") << QByteArray("C2.5000") << "C 2";
        QTest::newRow("below a half") << QByteArray("C2.4999999999999999999") << "C 2";
        QTest::newRow("leading zeros") << QByteArray("D007") << "D 7";
        QTest::newRow("plus sign") << QByteArray("D+5") << "D 5";
        QTest::newRow("minus zero") << QByteArray("D-0") << "D 0";
        QTest::newRow("point first") << QByteArray("E.5") << "E 0";
        QTest::newRow("point last") << QByteArray("E5.") << "E 5";
        QTest::newRow("largest") << QByteArray("G32767") << "G 32767";
        QTest::newRow("smallest") << QByteArray("H-32768") << "H -32768";
        QTest::newRow("smallest, half") << QByteArray("H-32768.5") << "H -32768";

        QTest::newRow("tag alone") << QByteArray("B") << "failed B";
        QTest::newRow("letter") << QByteArray("Bx") << "failed B";
        QTest::newRow("leading blank") << QByteArray("B 5") << "failed B";
        QTest::newRow("trailing blank") << QByteArray("B5 ") << "failed B";
        QTest::newRow("exponent") << QByteArray("B1e3") << "failed B";
        QTest::newRow("sign alone") << QByteArray("B-") << "failed B";
        QTest::newRow("point alone") << QByteArray("B.") << "failed B";
        QTest::newRow("two points") << QByteArray("B1.2.3") << "failed B";
        QTest::newRow("rounds past the top") << QByteArray("F32767.5") << "failed F";
        QTest::newRow("rounds past the bottom") << QByteArray("F-32768.6") << "failed F";
        QTest::newRow("far too large") << QByteArray("F99999999999999999999") << "failed F";

        QTest::newRow("charge") << QByteArray("J10") << "charge 10";
        QTest::newRow("charge zero") << QByteArray("J0") << "charge 0";
        QTest::newRow("charge minus zero") << QByteArray("J-0") << "charge 0";
        QTest::newRow("charge fraction") << QByteArray("J2.5") << "charge 2.5";
        QTest::newRow("charge too small to tell from 10")
            << QByteArray("J10.00000001") << "charge 10";
        QTest::newRow("charge above the bar") << QByteArray("J11") << "failed J";
        QTest::newRow("charge below the bar") << QByteArray("J-1") << "failed J";
        QTest::newRow("charge not a number") << QByteArray("Jx") << "failed J";
        QTest::newRow("charge empty") << QByteArray("J") << "failed J";
        QTest::newRow("charge tiny") << QByteArray("J0." + QByteArray(80, '0') + "1") << "charge 0";
        QTest::newRow("charge huge") << QByteArray("J" + QByteArray(80, '9')) << "failed J";

        QTest::newRow("damage") << QByteArray("K4") << "damage 4";
        QTest::newRow("no damage") << QByteArray("K0") << "damage 0";
        QTest::newRow("negative damage") << QByteArray("K-4") << "damage -4";
    }
    void singleArrival() {
        QFETCH(QByteArray, arrival);
        QFETCH(QString, reads);
        QCOMPARE(read(arrival), reads);
    }

    void mergedArrival_data() {
        QTest::addColumn<QByteArray>("arrival");
        QTest::addColumn<QString>("reads");
        QTest::newRow("two record messages") << QByteArray("B5C7") << "B 5 | C 7";
        QTest::newRow("charge then refusal") << QByteArray("J1010") << "charge 10 | control 10";
        QTest::newRow("damage then charge") << QByteArray("K3J4") << "damage 3 | charge 4";
        QTest::newRow("refusal then charge") << QByteArray("10J2") << "control 10 | charge 2";
        QTest::newRow("answer then charge") << QByteArray("91J3") << "control 91 | charge 3";
        QTest::newRow("charges") << QByteArray("J8J9J1010")
                                 << "charge 8 | charge 9 | charge 10 | control 10";
        QTest::newRow("name last") << QByteArray("B5ARed") << "B 5 | A 'Red'";
        QTest::newRow("numbers with signs and points")
            << QByteArray("B-5C1.5D+2") << "B -5 | C 2 | D 2";
        // A number too large for its field reads as its longest fitting start:
        // right for the last record message and the ready signal, harmless else.
        QTest::newRow("last record then ready") << QByteArray("I40000") << "I 4000 | control 0";
        QTest::newRow("too large leaves a ready") << QByteArray("B40000") << "B 4000 | control 0";
        QTest::newRow("charge too large leaves a ready")
            << QByteArray("J100") << "charge 10 | control 0";

        // One well-formed message is never taken apart.
        QTest::newRow("record then ready reads as one number") << QByteArray("I60") << "I 60";
        QTest::newRow("half rounds within the number") << QByteArray("I4000.50") << "I 4000";

        // Texts that do not read through to the end stay one text.
        QTest::newRow("trailing letter") << QByteArray("K3J4x") << "failed K";
        QTest::newRow("trailing blank") << QByteArray("B5C7 ") << "failed B";
        QTest::newRow("trailing tag alone") << QByteArray("B5C") << "failed B";
        QTest::newRow("charge out of range in the middle") << QByteArray("J11J2") << "failed J";
        QTest::newRow("leftover digit") << QByteArray("J105") << "failed J";
        QTest::newRow("unknown tag in the middle") << QByteArray("B5L3") << "failed B";
        QTest::newRow("leftover point") << QByteArray("B32767.5") << "failed B";
        QTest::newRow("starts with an unknown tag") << QByteArray("L3B5") << "ignored";
    }
    void mergedArrival() {
        QFETCH(QByteArray, arrival);
        QFETCH(QString, reads);
        QCOMPARE(read(arrival), reads);
    }

    void arrivalsApplyToTheOpponent() {
        // A failed conversion keeps the field's previous value.
        ChickenRecord opponent;
        opponent.KickPower = 3;
        opponent.PeckPower = 4;
        applyArrival("B5C7", opponent);
        QCOMPARE(opponent.KickPower, int16_t(5));
        QCOMPARE(opponent.PeckPower, int16_t(7));
        applyArrival("B40001", opponent); // "B4000", "0", then a lone "1": one text
        applyArrival("Cx", opponent);
        QCOMPARE(opponent.KickPower, int16_t(5));
        QCOMPARE(opponent.PeckPower, int16_t(7));

        // A message split over two arrivals: the second half is ignored.
        applyArrival("F1", opponent);
        applyArrival("00", opponent);
        QCOMPARE(opponent.HitPoints, int16_t(1));

        applyArrival("ARedB5", opponent);
        QCOMPARE(q(opponent.Name), "RedB5");
        QCOMPARE(opponent.KickPower, int16_t(5));
        applyArrival("A", opponent);
        QCOMPARE(q(opponent.Name), "");
    }

    void onlyRecordMessagesApply() {
        ChickenRecord opponent = sampleChicken();
        const ChickenRecord before = opponent;
        for (const char* text : {"J5", "K3", "0", "10", "Bx", "", "L3"}) {
            for (const wire::Message& m : wire::readArrival(text))
                QVERIFY2(!wire::applyRecord(m, opponent), text);
        }
        wire::Message odd; // a Record kind with a tag beyond "I" is refused too
        odd.kind = wire::Message::Kind::Record;
        odd.tag = 'K';
        QVERIFY(!wire::applyRecord(odd, opponent));
        QVERIFY(opponent == before);
    }

    void longArrivals() {
        // A megabyte in one arrival reads in one pass, whatever it holds.
        const QByteArray megabyte(1 << 20, '7');
        const auto name = wire::readArrival(bytes("A" + megabyte));
        QCOMPARE(name.size(), size_t(1));
        QCOMPARE(name[0].name.size(), size_t(1 << 20));
        QCOMPARE(read("B" + megabyte), "failed B");
        QCOMPARE(read("J" + megabyte), "failed J");
        const auto charge = wire::readArrival(bytes("J0." + megabyte));
        QCOMPARE(charge.size(), size_t(1));
        QCOMPARE(charge[0].charge, 7.0f / 9.0f);
        QCOMPARE(read("B1." + megabyte + "C1"), "B 2 | C 1");
        QCOMPARE(read("B-" + QByteArray(1 << 20, '0') + "5"), "B -5");

        const auto refusals = wire::readArrival(bytes("J10" + QByteArray(1 << 20, '\0')));
        QCOMPARE(refusals.size(), size_t(1));
        QByteArray charges;
        for (int i = 0; i < 50000; ++i)
            charges += "J1010";
        QCOMPARE(wire::readArrival(bytes(charges)).size(), size_t(100000));
    }
};

QTEST_APPLESS_MAIN(TestWire)
#include "test_wire.moc"
