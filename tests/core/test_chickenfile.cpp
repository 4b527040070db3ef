// The chicken file reader: layouts, the stored numbers' decoding, each kind of
// field, hostile files, reading in pieces and the sample chickens.

#include "common/Sanitized.h"
#include "common/fixtures.h"
#include "core/ChickenFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <string_view>

using enum chickenfile::FieldIndex;
using fixture::row;
using fixture::rows;

namespace {

// Stored with divisor 3 and offset 7: kick power 10 is stored as (10 + 7) * 3 = 51.
const ChickenRecord cluck = fixture::chicken("Cluck", {10, 8, 50, 90, 100, 4, 5, 6, 0, -1, 0});
const QList<QByteArray> cluckFields = fixture::fileFields(cluck, 3, 7);

std::optional<ChickenRecord> parse(const QByteArray& bytes) {
    return chickenfile::parse(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

std::optional<ChickenRecord> load(const QString& path) {
    return chickenfile::load(QFile::encodeName(path).toStdString());
}

// Cluck's fields with one replaced, and divisor 1, offset 0 unless the replaced
// field is one of those, so that stored numbers read back as they are.
QByteArray withField(int index, const QByteArray& value) {
    QList<QByteArray> fields = cluckFields;
    fields[StatDivisor] = "1";
    fields[StatOffset] = "0";
    fields[index] = value;
    return fields.join(',') + "\r\n";
}

const QByteArray leadingZeros = QByteArray(300, '0') + "55", nines301(301, '9'),
                 nines401(401, '9'), hundredsOfDigits = "1" + QByteArray(400, '0');

// Rows that stand for several fields at once.
constexpr int Extras = -1;   // Extra1, Extra2 and Extra6
constexpr int Booleans = -2; // CanPeck and CanCombo

// Cluck's file with one field replaced (divisor 1, offset 0): that field as
// fileFields writes it back, "refused", or "others changed" when another field
// no longer reads as in Cluck's file. Extras and Booleans try each field they
// stand for.
QByteArray field(int index, const QByteArray& text) {
    if (index == Extras || index == Booleans) {
        const QByteArray first = field(index == Extras ? Extra1 : CanPeck, text);
        for (int other : index == Extras ? QList<int>{Extra2, Extra6} : QList<int>{CanCombo})
            if (field(other, text) != first)
                return "differs between fields";
        return first;
    }
    const auto chicken = parse(withField(index, text));
    if (!chicken)
        return "refused";
    QList<QByteArray> read = fixture::fileFields(*chicken),
                      plain = fixture::fileFields(*parse(withField(Extra1, "0")));
    const QByteArray got = read[index];
    read[index] = plain[index];
    // Booleans hold -1 or 0, which fileFields would not tell from other numbers.
    const auto boolean = [](int16_t v) { return v == 0 || v == -1; };
    return read == plain && boolean(chicken->CanPeck) && boolean(chicken->CanCombo)
               ? got
               : "others changed";
}

// Whether the file reads as Cluck.
QByteArray read(const QByteArray& file) {
    const auto chicken = parse(file);
    return !chicken ? "refused" : *chicken == cluck ? "Cluck" : "another chicken";
}

// Kick power and hit points read from "divisor offset stored-kick-power", every
// other stat stored as 0, which reads as -offset.
QByteArray decoded(const QByteArray& numbers) {
    const QList<QByteArray> n = numbers.split(' ');
    const auto chicken = parse(n[0] + ',' + n[1] + ",N," + n[2] + QByteArray(",0").repeated(14) +
                               ",#FALSE#,#FALSE#");
    return chicken ? fixture::text(chicken->KickPower) + ' ' + fixture::text(chicken->HitPoints)
                   : "refused";
}

QByteArray loaded(const QString& path) {
    const auto chicken = load(path);
    return chicken ? fixture::text(*chicken) : "refused";
}

// Cluck's file before and after one field.
QByteArray before(int field) {
    return cluckFields.mid(0, field).join(',') + ",";
}
QByteArray after(int field) {
    return "," + cluckFields.mid(field + 1).join(',');
}

// A file of head, `count` times `fill` and tail, read from memory and from disk:
// "read", "refused", "load differs", or "slow" past generous bounds that catch
// quadratic work and hangs, not slow machines (nor AddressSanitizer's checks on
// every byte, which make 100 MB take seconds).
QByteArray quickly(const QByteArray& head, char fill, int count, const QByteArray& tail) {
    const QByteArray file = head + QByteArray(count, fill) + tail;
    QTemporaryDir dir;
    QFile out(dir.filePath("chicken.dat"));
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size() || !out.flush())
        return "not saved";
    constexpr qint64 limitMs = sanitizedBuild ? 6000 : 1500;
    QElapsedTimer timer;
    timer.start();
    const auto parsed = parse(file);
    const qint64 parseMs = timer.restart();
    const auto loaded = load(dir.filePath("chicken.dat"));
    if (std::max(parseMs, timer.elapsed()) >= limitMs)
        return "slow";
    return loaded != parsed ? "load differs" : parsed ? "read" : "refused";
}

} // namespace

class TestChickenFile : public QObject {
    Q_OBJECT

private slots:
    void table_data() {
        fixture::columns();
        const QList<QByteArray>& f = cluckFields;
        QByteArray mixed;
        for (int i = 0; i < f.size(); ++i)
            mixed += f[i] + (i % 3 == 0 ? "\r\n" : ",");
        row("one line, no line break", read(f.join(',')), "Cluck");
        row("one line, CR LF", read(f.join(',') + "\r\n"), "Cluck");
        row("one per line, CR LF", read(f.join("\r\n") + "\r\n"), "Cluck");
        row("one per line, LF", read(f.join("\n")), "Cluck");
        row("one per line, CR", read(f.join("\r") + "\r"), "Cluck");
        row("mixed separators", read(mixed), "Cluck");
        row("spaces and tabs around fields", read("  " + f.join(" , \t") + " "), "Cluck");
        row("text after field 20", read(f.join(',') + ",x,\"open\r\n\x01 more\r\n"), "Cluck");
        row("empty", read(QByteArray()), "refused");
        row("blanks and line breaks", read(QByteArray("  \r\n\r\n  \n")), "refused");
        row("19 fields", read(f.mid(0, 19).join(',') + "\r\n"), "refused");
        row("19 fields, one per line", read(f.mid(0, 19).join("\r\n") + "\r\n"), "refused");
        row("19 fields and a comma", read(f.mid(0, 19).join(',') + ","), "refused");
        row("NUL bytes", read(QByteArray(4096, '\0')), "refused");
        row("NUL in a number", read(withField(KickPower, QByteArray("5\0", 2))), "refused");
        // The divisor and offset at work on kick power.
        row("3, 7: 51", decoded("3 7 51"), "10 -7");
        row("4, 0: 10 is 2.5", decoded("4 0 10"), "2 0");
        row("4, 0: 14 is 3.5", decoded("4 0 14"), "4 0");
        row("4, 0: -10 is -2.5", decoded("4 0 -10"), "-2 0");
        row("4, 0: -14 is -3.5", decoded("4 0 -14"), "-4 0");
        row("4, 0: 13 is 3.25", decoded("4 0 13"), "3 0");
        row("4, 0: 15 is 3.75", decoded("4 0 15"), "4 0");
        row("2, 0: 1 is 0.5", decoded("2 0 1"), "0 0");
        row("divide first: 2, 3: 7", decoded("2 3 7"), "0 -3");
        row("negative divisor", decoded("-2 0 -20"), "10 0");
        row("negative offset", decoded("1 -5 10"), "15 5");
        row("lowest result", decoded("1 1 -32767"), "-32768 -1");
        // Out of range: too low, too high, divisor 0 (twice), divisor too big, offset too small.
        rows("decoding", decoded, "refused",
             {"1 1 -32768", "1 -1 32767", "0 0 51", "0 0 0", "40000 0 1", "1 -32769 1"});
        const auto speed = [](const QByteArray& text) { return field(Speed, text); };
        rows("speed", speed, "55", {"55", "+55", "\" 55 \"", "55.25", "5.5E1", leadingZeros});
        rows("speed", speed, "refused",
             {"40000", "-32769", "32767.5", "1e99999999999999999999", "12abc", "0x10", "\"5,5\"",
              "fast", "", "#TRUE#", "inf", "-", hundredsOfDigits});
        row("negative", speed("-55"), "-55");
        row("half to even, down", speed("54.5"), "54");
        row("half to even, up", speed("55.5"), "56");
        row("lowest", speed("-32768"), "-32768");
        row("highest", speed("32767"), "32767");
        row("tiny exponent", speed("7e-99999999999999999999"), "0");
        row("CheatFlag 1", field(CheatFlag, "1"), "1");
        row("CheatFlag 2", field(CheatFlag, "2"), "2");
        row("CheatFlag -1", field(CheatFlag, "-1"), "-1");
        row("PortraitIndex outside gallery", field(PortraitIndex, "99"), "99");
        row("PeckSkill 40000", field(PeckSkill, "40000"), "refused");
        // The extra values are read as numbers, then dropped.
        const auto extra = [](const QByteArray& text) { return field(Extras, text); };
        rows("extra", extra, "0",
             {"21", "40000", "-7.25e2", "", "#TRUE#", "#FALSE#", "\"12.5\"", nines301});
        rows("extra", extra, "refused", {nines401, "\"abc\"", "\"\"", "abc", "12abc"});
        // Booleans hold -1 (any other number, or true) or 0.
        const auto boolean = [](const QByteArray& text) { return field(Booleans, text); };
        rows("boolean", boolean, "#TRUE#",
             {"#TRUE#", "#true#", "1", "-5", "0.5", "\"7\"", "True", "\"true\""});
        rows("boolean", boolean, "#FALSE#", {"#FALSE#", "0", "-0.0", "FALSE", ""});
        rows("boolean", boolean, "refused", {"yes", "\"\"", "\"maybe\"", "2abc"});
        // Names are bytes; quoted ones keep everything between the quotes.
        row("name quoted", field(Name, "\"Rosie\""), "\"Rosie\"");
        row("name comma in quotes", field(Name, "\"Big, Red\""), "\"Big, Red\"");
        row("name empty quoted", field(Name, "\"\""), "\"\"");
        row("name unquoted", field(Name, "Red Rooster"), "\"Red Rooster\"");
        row("name unquoted, blanks around", field(Name, "  Red \t "), "\"Red\"");
        row("name unquoted, quote inside", field(Name, "Big \"Red\""), "\"Big \"Red\"\"");
        row("name quoted, blanks kept", field(Name, "\"  Red  \"  "), "\"  Red  \"");
        row("name line break in quotes", field(Name, "\"Red\r\nHen\""), "\"Red\r\nHen\"");
        row("name bytes above 127", field(Name, "\"H\xfchn\xe9\x80\xff\""),
            "\"H\xfchn\xe9\x80\xff\"");
        row("name UTF-8 bytes", field(Name, "K\xc3\xbcken"), "\"K\xc3\xbcken\"");
        row("name NUL byte", field(Name, QByteArray("\"a\0b\"", 5)), QByteArray("\"a\0b\"", 5));
        row("name text after closing quote", field(Name, "\"Rosie\" the Great"), "refused");
        row("name unterminated quote", field(Name, "\"Rosie"), "refused");
        // Hostile files: head, `count` times `fill`, then tail.
        constexpr int Big = 100 << 20, Mega = 1 << 20;
        const QByteArray none, valid = cluckFields.join(',');
        const QByteArray name = before(Name) + '"', hp = before(HitPoints), ex = before(Extra1);
        row("100 MB after the fields", quickly(valid + "\r\n", 'x', Big, none), "read");
        row("100 MB unterminated quote", quickly("3,7,\"", 'x', Big, none), "refused");
        row("100 MB name, no separator", quickly("3,7,", 'x', Big, none), "refused");
        row("100 MB of NUL bytes", quickly(none, '\0', Big, none), "refused");
        row("1 MB of commas", quickly(none, ',', Mega, none), "refused");
        row("1 MB of line breaks", quickly(none, '\n', Mega, none), "refused");
        row("1 MB of quotes", quickly(none, '"', Mega, none), "refused");
        row("1 MB name", quickly(name, 'n', Mega, '"' + after(Name)), "read");
        row("1 MB of zeros before a stat", quickly(hp, '0', Mega, "321" + after(HitPoints)),
            "read");
        row("1 MB of nines in a stat", quickly(hp, '9', Mega, after(HitPoints)), "refused");
        row("1 MB of nines in an extra", quickly(ex, '9', Mega, after(Extra1)), "refused");
        row("1 MB fraction in an extra", quickly(ex + "0.", '0', Mega, "5" + after(Extra1)),
            "read");
        QTemporaryDir dir;
        row("load a missing file", loaded(dir.filePath("missing.dat")), "refused");
        row("load a folder", loaded(dir.path()), "refused");
        row("load no path", loaded(QString()), "refused");
        const QString samples = QStringLiteral(QUORVEL_ASSETS "/chickens/");
        row("sample rosie", loaded(samples + "rosie.dat"),
            "'Rosie' 13 11 57 85 103 2 9 10 0 -1 -1");
        row("sample bruno", loaded(samples + "bruno.dat"),
            "'Bruno, the Brave' 18 6 42 72 118 7 15 5 0 -1 0");
        row("sample pip", loaded(samples + "pip.dat"), "'Pip' 6 11 64 93 75 13 7 12 0 -1 -1");
        row("sample cheater", loaded(samples + "cheater.dat"), "'Sly' 10 10 50 80 80 0 5 5 1 -1 0");
        row("every sample has a row", QDir(samples).entryList({"*.dat"}).join(' ').toLatin1(),
            "bruno.dat cheater.dat pip.dat rosie.dat");
    }
    void table() { fixture::compareRow(); }

    void randomDamageNeverCrashes() {
        // Damaged copies of a good file and plain noise: any answer is fine as
        // long as it comes back (the sanitizer build checks the memory use).
        QRandomGenerator random(1425);
        const QByteArray valid = cluckFields.join("\r\n"),
                         alphabet("0123456789,\r\n\" #TRUEFALS.-+e\t\0\xff", 31);
        for (int round = 0; round < 20000; ++round) {
            QByteArray damaged = valid;
            for (int i = int(random.bounded(4)); i >= 0; --i)
                damaged[random.bounded(int(damaged.size()))] = alphabet[random.bounded(31)];
            (void)parse(damaged);
        }
        QByteArray noise(1 << 20, '\0');
        random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        (void)parse(noise);
    }

    void loadMatchesParseAcrossReadBoundaries() {
        // The file is read in pieces of 64 KiB and more. A long name moves the end
        // of the first piece across every later byte of the file: wherever it
        // falls (inside a field, a quote, a CR LF pair or the last field), the
        // chicken must read as it does from one piece.
        const QByteArray head = "3\r\n7\r\n",
                         tail = "\r\n" + cluckFields.mid(Name + 1).join("\r\n");
        for (qsizetype length = 65536 - tail.size() - 8; length <= 65536; ++length) {
            QCOMPARE(quickly(head, 'n', int(length), tail), "read");
            QCOMPARE(quickly(head + '"', 'n', int(length) - 2, '"' + tail), "read");
        }
    }
};

QTEST_GUILESS_MAIN(TestChickenFile)
#include "test_chickenfile.moc"
