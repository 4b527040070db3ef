#include "common/Sanitized.h"
#include "core/ChickenFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

Q_DECLARE_METATYPE(ChickenRecord)

char* toString(const ChickenRecord& c) {
    return QTest::toString(
        QStringLiteral("{Name=%1 Kick=%2 Peck=%3 Speed=%4 Obedience=%5 HP=%6 Portrait=%7 "
                       "KickSkill=%8 PeckSkill=%9 Cheat=%10 CanPeck=%11 CanCombo=%12}")
            .arg(QString::fromLatin1(c.Name.data(), qsizetype(c.Name.size())))
            .arg(c.KickPower)
            .arg(c.PeckPower)
            .arg(c.Speed)
            .arg(c.Obedience)
            .arg(c.HitPoints)
            .arg(c.PortraitIndex)
            .arg(c.KickSkill)
            .arg(c.PeckSkill)
            .arg(c.CheatFlag)
            .arg(c.CanPeck)
            .arg(c.CanCombo));
}

using enum chickenfile::FieldIndex;

namespace {

// Divisor 3, offset 7: every stat stored as (value + 7) * 3.
QList<QByteArray> exampleFields() {
    return {"3",  "7",  "\"Cluck\"", "51", "45", "171", "291", "321", "21",     "21",
            "33", "21", "21",        "21", "21", "21",  "36",  "39",  "#TRUE#", "#FALSE#"};
}

ChickenRecord exampleChicken() {
    ChickenRecord c;
    c.Name = "Cluck";
    c.KickPower = 10;
    c.PeckPower = 8;
    c.Speed = 50;
    c.Obedience = 90;
    c.HitPoints = 100;
    c.PortraitIndex = 4;
    c.KickSkill = 5;
    c.PeckSkill = 6;
    c.CheatFlag = 0;
    c.CanPeck = -1;
    c.CanCombo = 0;
    return c;
}

std::optional<ChickenRecord> parse(const QByteArray& bytes) {
    return chickenfile::parse(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

// The example with one field replaced, and divisor 1, offset 0 unless the
// replaced field is one of those, so that stored numbers read back as they are.
QByteArray withField(int index, const QByteArray& value) {
    QList<QByteArray> fields = exampleFields();
    fields[StatDivisor] = "1";
    fields[StatOffset] = "0";
    fields[index] = value;
    return fields.join(',') + "\r\n";
}

std::optional<ChickenRecord> loadFile(const QString& path) {
    return chickenfile::load(QFile::encodeName(path).toStdString());
}

QByteArray repeated(char c, qsizetype n) {
    return QByteArray(n, c);
}

} // namespace

class TestChickenFile : public QObject {
    Q_OBJECT

private slots:
    void layouts_data();
    void layouts();
    void decoding_data();
    void decoding();
    void integerFields_data();
    void integerFields();
    void extraFields_data();
    void extraFields();
    void booleans_data();
    void booleans();
    void names_data();
    void names();
    void malformedFiles_data();
    void malformedFiles();
    void hostileInputIsHandledQuickly_data();
    void hostileInputIsHandledQuickly();
    void randomDamageNeverCrashes();
    void loadMatchesParseAcrossReadBoundaries();
    void loadFailsWithoutARegularFile();
    void sampleChickens_data();
    void sampleChickens();
};

void TestChickenFile::layouts_data() {
    QTest::addColumn<QByteArray>("file");
    const QList<QByteArray> f = exampleFields();
    QTest::newRow("one line, no line break") << f.join(',');
    QTest::newRow("one line, CR LF") << f.join(',') + "\r\n";
    QTest::newRow("one per line, CR LF") << f.join("\r\n") + "\r\n";
    QTest::newRow("one per line, LF") << f.join("\n");
    QTest::newRow("one per line, CR") << f.join("\r") + "\r";
    QTest::newRow("spaces and tabs around fields") << "  " + f.join(" , \t") + " ";
    QTest::newRow("text after field 20")
        << f.join(',') + ",garbage,\"unterminated\r\n\x01\x02 more lines\r\n";
    QByteArray mixed;
    for (int i = 0; i < f.size(); ++i) {
        mixed += f[i] + (i % 3 == 0 ? "\r\n" : ",");
    }
    QTest::newRow("mixed separators") << mixed;
}

void TestChickenFile::layouts() {
    QFETCH(QByteArray, file);
    const auto chicken = parse(file);
    QVERIFY(chicken);
    QCOMPARE(*chicken, exampleChicken());
}

void TestChickenFile::decoding_data() {
    QTest::addColumn<QByteArray>("divisor");
    QTest::addColumn<QByteArray>("offset");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("kickPower");

    QTest::newRow("3, 7: 51") << QByteArray("3") << QByteArray("7") << QByteArray("51") << true
                              << 10;
    QTest::newRow("4, 0: 10 is 2.5")
        << QByteArray("4") << QByteArray("0") << QByteArray("10") << true << 2;
    QTest::newRow("4, 0: 14 is 3.5")
        << QByteArray("4") << QByteArray("0") << QByteArray("14") << true << 4;
    QTest::newRow("4, 0: -10 is -2.5")
        << QByteArray("4") << QByteArray("0") << QByteArray("-10") << true << -2;
    QTest::newRow("4, 0: -14 is -3.5")
        << QByteArray("4") << QByteArray("0") << QByteArray("-14") << true << -4;
    QTest::newRow("4, 0: 13 is 3.25")
        << QByteArray("4") << QByteArray("0") << QByteArray("13") << true << 3;
    QTest::newRow("4, 0: 15 is 3.75")
        << QByteArray("4") << QByteArray("0") << QByteArray("15") << true << 4;
    QTest::newRow("2, 0: 1 is 0.5")
        << QByteArray("2") << QByteArray("0") << QByteArray("1") << true << 0;
    QTest::newRow("divide first: 2, 3: 7")
        << QByteArray("2") << QByteArray("3") << QByteArray("7") << true << 0;
    QTest::newRow("negative divisor")
        << QByteArray("-2") << QByteArray("0") << QByteArray("-20") << true << 10;
    QTest::newRow("negative offset")
        << QByteArray("1") << QByteArray("-5") << QByteArray("10") << true << 15;
    QTest::newRow("lowest result")
        << QByteArray("1") << QByteArray("1") << QByteArray("-32767") << true << -32768;
    QTest::newRow("result too low")
        << QByteArray("1") << QByteArray("1") << QByteArray("-32768") << false << 0;
    QTest::newRow("result too high")
        << QByteArray("1") << QByteArray("-1") << QByteArray("32767") << false << 0;
    QTest::newRow("divisor 0") << QByteArray("0") << QByteArray("0") << QByteArray("51") << false
                               << 0;
    QTest::newRow("divisor 0, stored 0")
        << QByteArray("0") << QByteArray("0") << QByteArray("0") << false << 0;
    QTest::newRow("divisor too big")
        << QByteArray("40000") << QByteArray("0") << QByteArray("1") << false << 0;
    QTest::newRow("offset too small")
        << QByteArray("1") << QByteArray("-32769") << QByteArray("1") << false << 0;
}

void TestChickenFile::decoding() {
    QFETCH(QByteArray, divisor);
    QFETCH(QByteArray, offset);
    QFETCH(QByteArray, stored);
    QFETCH(bool, accepted);
    QFETCH(int, kickPower);

    // The other stats are stored as 0, which decodes to -offset whatever the
    // divisor (except 0).
    QList<QByteArray> fields = exampleFields();
    for (int i = KickPower; i <= PeckSkill; ++i) {
        fields[i] = "0";
    }
    fields[StatDivisor] = divisor;
    fields[StatOffset] = offset;
    fields[KickPower] = stored;
    const auto chicken = parse(fields.join(','));
    QCOMPARE(chicken.has_value(), accepted);
    if (accepted) {
        QCOMPARE(int(chicken->KickPower), kickPower);
        QCOMPARE(int(chicken->HitPoints), -offset.toInt());
    }
}

void TestChickenFile::integerFields_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("value");

    QTest::newRow("plain") << int(Speed) << QByteArray("55") << true << 55;
    QTest::newRow("plus sign") << int(Speed) << QByteArray("+55") << true << 55;
    QTest::newRow("negative") << int(Speed) << QByteArray("-55") << true << -55;
    QTest::newRow("quoted") << int(Speed) << QByteArray("\" 55 \"") << true << 55;
    QTest::newRow("fraction rounds down") << int(Speed) << QByteArray("55.25") << true << 55;
    QTest::newRow("half to even, down") << int(Speed) << QByteArray("54.5") << true << 54;
    QTest::newRow("half to even, up") << int(Speed) << QByteArray("55.5") << true << 56;
    QTest::newRow("exponent") << int(Speed) << QByteArray("5.5E1") << true << 55;
    QTest::newRow("leading zeros") << int(Speed) << repeated('0', 300) + "55" << true << 55;
    QTest::newRow("lowest") << int(Speed) << QByteArray("-32768") << true << -32768;
    QTest::newRow("highest") << int(Speed) << QByteArray("32767") << true << 32767;
    QTest::newRow("40000") << int(Speed) << QByteArray("40000") << false << 0;
    QTest::newRow("just below range") << int(Speed) << QByteArray("-32769") << false << 0;
    QTest::newRow("rounds out of range") << int(Speed) << QByteArray("32767.5") << false << 0;
    QTest::newRow("hundreds of digits") << int(Speed) << "1" + repeated('0', 400) << false << 0;
    QTest::newRow("huge exponent")
        << int(Speed) << QByteArray("1e99999999999999999999") << false << 0;
    QTest::newRow("tiny exponent")
        << int(Speed) << QByteArray("7e-99999999999999999999") << true << 0;
    QTest::newRow("digits then letters") << int(Speed) << QByteArray("12abc") << false << 0;
    QTest::newRow("hexadecimal") << int(Speed) << QByteArray("0x10") << false << 0;
    QTest::newRow("decimal comma inside quotes")
        << int(Speed) << QByteArray("\"5,5\"") << false << 0;
    QTest::newRow("words") << int(Speed) << QByteArray("fast") << false << 0;
    QTest::newRow("empty") << int(Speed) << QByteArray("") << false << 0;
    QTest::newRow("boolean form") << int(Speed) << QByteArray("#TRUE#") << false << 0;
    QTest::newRow("infinity") << int(Speed) << QByteArray("inf") << false << 0;
    QTest::newRow("lone sign") << int(Speed) << QByteArray("-") << false << 0;
    QTest::newRow("CheatFlag 1") << int(CheatFlag) << QByteArray("1") << true << 1;
    QTest::newRow("CheatFlag 2") << int(CheatFlag) << QByteArray("2") << true << 2;
    QTest::newRow("CheatFlag -1") << int(CheatFlag) << QByteArray("-1") << true << -1;
    QTest::newRow("PortraitIndex outside gallery")
        << int(PortraitIndex) << QByteArray("99") << true << 99;
    QTest::newRow("PeckSkill 40000") << int(PeckSkill) << QByteArray("40000") << false << 0;
}

void TestChickenFile::integerFields() {
    QFETCH(int, field);
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    QFETCH(int, value);

    const auto chicken = parse(withField(field, text));
    QCOMPARE(chicken.has_value(), accepted);
    if (!accepted) {
        return;
    }
    switch (field) {
    case Speed:
        QCOMPARE(int(chicken->Speed), value);
        break;
    case CheatFlag:
        QCOMPARE(int(chicken->CheatFlag), value);
        break;
    case PortraitIndex:
        QCOMPARE(int(chicken->PortraitIndex), value);
        break;
    default:
        QFAIL("no check for this field");
    }
}

void TestChickenFile::extraFields_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("integer") << QByteArray("21") << true;
    QTest::newRow("beyond 16 bits") << QByteArray("40000") << true;
    QTest::newRow("decimal") << QByteArray("-7.25e2") << true;
    QTest::newRow("empty") << QByteArray("") << true;
    QTest::newRow("#TRUE#") << QByteArray("#TRUE#") << true;
    QTest::newRow("#FALSE#") << QByteArray("#FALSE#") << true;
    QTest::newRow("quoted number") << QByteArray("\"12.5\"") << true;
    QTest::newRow("hundreds of digits") << "9" + repeated('9', 300) << true;
    QTest::newRow("beyond a double") << "9" + repeated('9', 400) << false;
    QTest::newRow("quoted text") << QByteArray("\"abc\"") << false;
    QTest::newRow("quoted empty text") << QByteArray("\"\"") << false;
    QTest::newRow("unquoted text") << QByteArray("abc") << false;
    QTest::newRow("digits then letters") << QByteArray("12abc") << false;
}

void TestChickenFile::extraFields() {
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    for (int field : {int(Extra1), int(Extra2), int(Extra6)}) {
        const auto chicken = parse(withField(field, text));
        QCOMPARE(chicken.has_value(), accepted);
        if (accepted) {
            // Dropped after decoding: the chicken is as with a plain 0 there.
            const auto plain = parse(withField(Extra1, "0"));
            QVERIFY(plain);
            QCOMPARE(*chicken, *plain);
        }
    }
}

void TestChickenFile::booleans_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("value");

    QTest::newRow("#TRUE#") << QByteArray("#TRUE#") << true << -1;
    QTest::newRow("#true#") << QByteArray("#true#") << true << -1;
    QTest::newRow("1") << QByteArray("1") << true << -1;
    QTest::newRow("-5") << QByteArray("-5") << true << -1;
    QTest::newRow("0.5") << QByteArray("0.5") << true << -1;
    QTest::newRow("quoted number") << QByteArray("\"7\"") << true << -1;
    QTest::newRow("True") << QByteArray("True") << true << -1;
    QTest::newRow("quoted true") << QByteArray("\"true\"") << true << -1;
    QTest::newRow("#FALSE#") << QByteArray("#FALSE#") << true << 0;
    QTest::newRow("0") << QByteArray("0") << true << 0;
    QTest::newRow("-0.0") << QByteArray("-0.0") << true << 0;
    QTest::newRow("FALSE") << QByteArray("FALSE") << true << 0;
    QTest::newRow("empty") << QByteArray("") << true << 0;
    QTest::newRow("yes") << QByteArray("yes") << false << 0;
    QTest::newRow("quoted empty text") << QByteArray("\"\"") << false << 0;
    QTest::newRow("quoted text") << QByteArray("\"maybe\"") << false << 0;
    QTest::newRow("digits then letters") << QByteArray("2abc") << false << 0;
}

void TestChickenFile::booleans() {
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    QFETCH(int, value);

    const auto peck = parse(withField(CanPeck, text));
    QCOMPARE(peck.has_value(), accepted);
    const auto combo = parse(withField(CanCombo, text));
    QCOMPARE(combo.has_value(), accepted);
    if (accepted) {
        QCOMPARE(int(peck->CanPeck), value);
        QCOMPARE(int(combo->CanCombo), value);
    }
}

void TestChickenFile::names_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("quoted") << QByteArray("\"Rosie\"") << true << QByteArray("Rosie");
    QTest::newRow("comma in quotes")
        << QByteArray("\"Big, Red\"") << true << QByteArray("Big, Red");
    QTest::newRow("empty quoted") << QByteArray("\"\"") << true << QByteArray();
    QTest::newRow("unquoted") << QByteArray("Red Rooster") << true << QByteArray("Red Rooster");
    QTest::newRow("unquoted, blanks around")
        << QByteArray("  Red \t ") << true << QByteArray("Red");
    QTest::newRow("unquoted, quote inside")
        << QByteArray("Big \"Red\"") << true << QByteArray("Big \"Red\"");
    QTest::newRow("quoted, blanks kept")
        << QByteArray("\"  Red  \"  ") << true << QByteArray("  Red  ");
    QTest::newRow("line break in quotes")
        << QByteArray("\"Red\r\nHen\"") << true << QByteArray("Red\r\nHen");
    QTest::newRow("bytes above 127")
        << QByteArray("\"H\xfchn\xe9\x80\xff\"") << true << QByteArray("H\xfchn\xe9\x80\xff");
    QTest::newRow("UTF-8 bytes") << QByteArray("K\xc3\xbc"
                                               "ken")
                                 << true
                                 << QByteArray("K\xc3\xbc"
                                               "ken");
    QTest::newRow("NUL byte") << QByteArray("\"a\0b\"", 5) << true << QByteArray("a\0b", 3);
    QTest::newRow("text after closing quote")
        << QByteArray("\"Rosie\" the Great") << false << QByteArray();
    QTest::newRow("unterminated quote") << QByteArray("\"Rosie") << false << QByteArray();
}

void TestChickenFile::names() {
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, name);

    const auto chicken = parse(withField(Name, text));
    QCOMPARE(chicken.has_value(), accepted);
    if (accepted) {
        QCOMPARE(QByteArray::fromStdString(chicken->Name), name);
        QCOMPARE(int(chicken->KickPower), 51); // the fields after the name are unaffected
    }
}

void TestChickenFile::malformedFiles_data() {
    QTest::addColumn<QByteArray>("file");
    const QList<QByteArray> f = exampleFields();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("blanks and line breaks") << QByteArray("  \r\n\r\n  \n");
    QTest::newRow("19 fields") << f.mid(0, 19).join(',') + "\r\n";
    QTest::newRow("19 fields, one per line") << f.mid(0, 19).join("\r\n") + "\r\n";
    QTest::newRow("19 fields and a comma") << f.mid(0, 19).join(',') + ",";
    QTest::newRow("NUL bytes") << QByteArray(4096, '\0');
    QTest::newRow("NUL in a number") << withField(KickPower, QByteArray("5\0", 2));
}

void TestChickenFile::malformedFiles() {
    QFETCH(QByteArray, file);
    QVERIFY(!parse(file));
}

void TestChickenFile::hostileInputIsHandledQuickly_data() {
    // The file is head + `count` times `fill` + tail, built in the test itself
    // so that only one big file exists at a time.
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<char>("fill");
    QTest::addColumn<qsizetype>("count");
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<bool>("accepted");

    constexpr qsizetype Big = 100 * 1024 * 1024;
    constexpr qsizetype Mega = 1024 * 1024;
    const QByteArray valid = exampleFields().join(',');
    const QByteArray none;
    QTest::newRow("100 MB after the fields") << valid + "\r\n" << 'x' << Big << none << true;
    QTest::newRow("100 MB unterminated quote")
        << QByteArray("3,7,\"") << 'x' << Big << none << false;
    QTest::newRow("100 MB name without separators")
        << QByteArray("3,7,") << 'x' << Big << none << false;
    QTest::newRow("1 MB of commas") << none << ',' << Mega << none << false;
    QTest::newRow("1 MB of line breaks") << none << '\n' << Mega << none << false;
    QTest::newRow("1 MB of quotes") << none << '"' << Mega << none << false;
    QTest::newRow("100 MB of NUL bytes") << none << '\0' << Big << none << false;

    // One field of 1 MB inside an otherwise good file.
    const auto around = [](int field) {
        QList<QByteArray> fields = exampleFields();
        fields[field] = "@";
        const QList<QByteArray> parts = fields.join(',').split('@');
        return std::pair{parts[0], parts[1]};
    };
    auto [nameHead, nameTail] = around(Name);
    QTest::newRow("1 MB name") << nameHead + '"' << 'n' << Mega << '"' + nameTail << true;
    auto [statHead, statTail] = around(HitPoints);
    QTest::newRow("1 MB of zeros before a stat")
        << statHead << '0' << Mega << "321" + statTail << true;
    QTest::newRow("1 MB of nines in a stat") << statHead << '9' << Mega << statTail << false;
    auto [extraHead, extraTail] = around(Extra1);
    QTest::newRow("1 MB of nines in an extra") << extraHead << '9' << Mega << extraTail << false;
    QTest::newRow("1 MB fraction in an extra")
        << extraHead + "0." << '0' << Mega << "5" + extraTail << true;
}

void TestChickenFile::hostileInputIsHandledQuickly() {
    QFETCH(QByteArray, head);
    QFETCH(char, fill);
    QFETCH(qsizetype, count);
    QFETCH(QByteArray, tail);
    QFETCH(bool, accepted);
    const QByteArray file = head + repeated(fill, count) + tail;

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(parse(file).has_value(), accepted);
    const qint64 parseMs = timer.elapsed();

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("chicken.dat");
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(file), file.size());
    }
    timer.restart();
    QCOMPARE(loadFile(path).has_value(), accepted);
    const qint64 loadMs = timer.elapsed();

    // Generous bounds: they catch quadratic work and hangs, not slow machines
    // (nor AddressSanitizer's checks on every byte, which make 100 MB take seconds).
    constexpr qint64 limitMs = sanitizedBuild ? 6000 : 1500;
    QVERIFY2(parseMs < limitMs, qPrintable(QString("parse took %1 ms").arg(parseMs)));
    QVERIFY2(loadMs < limitMs, qPrintable(QString("load took %1 ms").arg(loadMs)));
}

void TestChickenFile::randomDamageNeverCrashes() {
    // Damaged copies of a good file and plain noise: any answer is fine as
    // long as it comes back (the sanitizer build checks the memory use).
    QRandomGenerator random(1425);
    const QByteArray valid = exampleFields().join("\r\n");
    static const char characters[] = "0123456789,\r\n\" #TRUEFALS.-+e\t\0\xff";
    const QByteArray alphabet(characters, sizeof characters - 1);
    for (int round = 0; round < 20000; ++round) {
        QByteArray damaged = valid;
        const int changes = 1 + int(random.bounded(4));
        for (int i = 0; i < changes; ++i) {
            const auto at = qsizetype(random.bounded(quint32(damaged.size())));
            damaged[at] = alphabet[qsizetype(random.bounded(quint32(alphabet.size())))];
        }
        (void)parse(damaged);
    }
    QByteArray noise(1 << 20, '\0');
    random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    (void)parse(noise);
}

void TestChickenFile::loadMatchesParseAcrossReadBoundaries() {
    // The file is read in pieces of 64 KiB and more. A long name moves the end
    // of the first piece across every later byte of the file: wherever it
    // falls (inside a field, a quote, a CR LF pair or the last field), the
    // chicken must read as it does from one piece.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("chicken.dat");
    const QList<QByteArray> f = exampleFields();
    const qsizetype rest = f.mid(Name + 1).join("\r\n").size() + 8;
    for (qsizetype nameLength = 65536 - rest; nameLength <= 65536; ++nameLength) {
        for (const bool quoted : {false, true}) {
            QList<QByteArray> fields = f;
            fields[Name] =
                quoted ? "\"" + repeated('n', nameLength - 2) + "\"" : repeated('n', nameLength);
            const QByteArray file = fields.join("\r\n");
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(file);
            out.close();
            const auto loaded = loadFile(path);
            QVERIFY(loaded);
            QCOMPARE(*loaded, *parse(file));
        }
    }
}

void TestChickenFile::loadFailsWithoutARegularFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(!loadFile(dir.filePath("missing.dat")));
    QVERIFY(!loadFile(dir.path()));
    QVERIFY(!loadFile(QString()));
}

void TestChickenFile::sampleChickens_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<ChickenRecord>("expected");

    // name, kick, peck, speed, obedience, hp, portrait, kick skill, peck skill,
    // cheat, can peck, can combo
    const auto chicken = [](const char* name, QList<int16_t> v) {
        ChickenRecord c;
        c.Name = name;
        c.KickPower = v[0];
        c.PeckPower = v[1];
        c.Speed = v[2];
        c.Obedience = v[3];
        c.HitPoints = v[4];
        c.PortraitIndex = v[5];
        c.KickSkill = v[6];
        c.PeckSkill = v[7];
        c.CheatFlag = v[8];
        c.CanPeck = v[9];
        c.CanCombo = v[10];
        return c;
    };
    QTest::newRow("rosie") << "rosie.dat"
                           << chicken("Rosie", {13, 11, 57, 85, 103, 2, 9, 10, 0, -1, -1});
    QTest::newRow("bruno") << "bruno.dat"
                           << chicken("Bruno, the Brave", {18, 6, 42, 72, 118, 7, 15, 5, 0, -1, 0});
    QTest::newRow("pip") << "pip.dat" << chicken("Pip", {6, 11, 64, 93, 75, 13, 7, 12, 0, -1, -1});
    QTest::newRow("cheater") << "cheater.dat"
                             << chicken("Sly", {10, 10, 50, 80, 80, 0, 5, 5, 1, -1, 0});
}

void TestChickenFile::sampleChickens() {
    QFETCH(QString, file);
    QFETCH(ChickenRecord, expected);
    const QDir folder(QStringLiteral(QUORVEL_ASSETS "/chickens"));
    const auto loaded = loadFile(folder.filePath(file));
    QVERIFY(loaded);
    QCOMPARE(*loaded, expected);

    // Every sample in the folder has a row here.
    QCOMPARE(folder.entryList({"*.dat"}, QDir::Files, QDir::Name),
             QStringList({"bruno.dat", "cheater.dat", "pip.dat", "rosie.dat"}));
}

QTEST_GUILESS_MAIN(TestChickenFile)
#include "test_chickenfile.moc"
