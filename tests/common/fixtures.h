#pragma once

// Chicken records written as one line of literal values, and the bytes they
// travel as: the nine record messages a peer sends and the chicken file the
// single-player game writes. The bytes are spelled out here, not made by the
// product's own writers, so that a test compares the product with a second,
// independent reading of the formats.

#include "core/ChickenRecord.h"

#include <QByteArray>
#include <QList>
#include <QtTest>

#include <initializer_list>
#include <string>

namespace fixture {

// A record from literal values in the record's own order (the wire's, for the
// first eight): kick power, peck power, speed, obedience, hit points, portrait,
// kick skill, peck skill, cheat flag, can peck, can combo. Values left out are 0.
inline ChickenRecord chicken(const char* name, std::initializer_list<int16_t> stats = {}) {
    ChickenRecord c{.Name = name};
    int16_t* fields[] = {&c.KickPower, &c.PeckPower,     &c.Speed,     &c.Obedience,
                         &c.HitPoints, &c.PortraitIndex, &c.KickSkill, &c.PeckSkill,
                         &c.CheatFlag, &c.CanPeck,       &c.CanCombo};
    int i = 0;
    for (int16_t v : stats)
        *fields[i++] = v;
    return c;
}

// The nine record messages a peer sends for `c`, in order: "A" and the name,
// then "B".."I" and kick power .. peck skill in plain decimal.
inline QList<QByteArray> recordMessages(const ChickenRecord& c) {
    QList<QByteArray> messages{"A" + QByteArray::fromStdString(c.Name)};
    char tag = 'B';
    for (int16_t v : {c.KickPower, c.PeckPower, c.Speed, c.Obedience, c.HitPoints, c.PortraitIndex,
                      c.KickSkill, c.PeckSkill})
        messages << tag++ + QByteArray::number(v);
    return messages;
}

// The 20 fields of a chicken file for `c`: divisor, offset, the name in quotes,
// each stat and the five extra values (0) stored as (value + offset) * divisor,
// then can peck and can combo as #TRUE# or #FALSE#.
inline QList<QByteArray> fileFields(const ChickenRecord& c, int divisor = 1, int offset = 0) {
    QList<QByteArray> fields{QByteArray::number(divisor), QByteArray::number(offset),
                             '"' + QByteArray::fromStdString(c.Name) + '"'};
    for (int v : {c.KickPower, c.PeckPower, c.Speed, c.Obedience, c.HitPoints, int16_t(0),
                  c.CheatFlag, c.PortraitIndex, int16_t(0), int16_t(0), int16_t(0), int16_t(0),
                  int16_t(0), c.KickSkill, c.PeckSkill})
        fields << QByteArray::number((v + offset) * divisor);
    for (int16_t flag : {c.CanPeck, c.CanCombo})
        fields << (flag ? "#TRUE#" : "#FALSE#");
    return fields;
}

// A chicken file's bytes for `c` as the single-player game writes them: the
// fields of fileFields, each on a line of its own ended by CR LF.
inline QByteArray chickenFile(const ChickenRecord& c, int divisor = 1, int offset = 0) {
    return fileFields(c, divisor, offset).join("\r\n") + "\r\n";
}

// A table of rows "got" against "want": declare the two columns with columns(),
// add each row with row(), and compare the two in the test function. "got" is
// what the code gave, as text; "want" the literal expected text.
inline void columns() {
    QTest::addColumn<QByteArray>("got");
    QTest::addColumn<QByteArray>("want");
}

// The text a row compares: numbers in plain decimal, strings and bytes as they
// are, a record as its name in quotes and its numbers in the record's order.
inline QByteArray text(int value) {
    return QByteArray::number(value);
}
inline QByteArray text(const std::string& value) {
    return QByteArray::fromStdString(value);
}
inline QByteArray text(const QByteArray& value) {
    return value;
}
inline QByteArray text(const ChickenRecord& c) {
    QByteArray text = "'" + QByteArray::fromStdString(c.Name) + "'";
    for (int16_t v : {c.KickPower, c.PeckPower, c.Speed, c.Obedience, c.HitPoints, c.PortraitIndex,
                      c.KickSkill, c.PeckSkill, c.CheatFlag, c.CanPeck, c.CanCombo})
        text += ' ' + QByteArray::number(v);
    return text;
}

template <typename T> void row(const char* name, const T& got, const QByteArray& want) {
    QTest::newRow(name) << text(got) << want;
}

// One row for each input, named `what` and the input (bytes outside printable
// ASCII, and "%", as %XX), expecting `want` of what `read` makes of it.
template <typename Read>
void rows(const char* what, Read read, const QByteArray& want,
          std::initializer_list<QByteArray> inputs) {
    for (const QByteArray& input : inputs)
        QTest::addRow("%s %s", what,
                      input.toPercentEncoding(" !\"#$&'()*+,/:;<=>?@[\\]^`{|}").constData())
            << text(read(input)) << want;
}

// The whole test function of such a table.
inline void compareRow() {
    QFETCH(QByteArray, got);
    QFETCH(QByteArray, want);
    QCOMPARE(got, want);
}

} // namespace fixture

// How QCOMPARE shows a record.
inline char* toString(const ChickenRecord& c) {
    return qstrdup(fixture::text(c).constData());
}
