// Reading the address a joiner types, and the line that tells a host's player
// how friends on the internet reach it: one row per form, refusal and message.

#include "link/Address.h"
#include "link/Reach.h"

#include <QtTest>

using Answer = reach::Outcome::Answer;
Q_DECLARE_METATYPE(Answer)

class TestAddress : public QObject {
    Q_OBJECT

private slots:
    void reads_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("refusal");
        const QString empty = "Type the host's address, for example 11.0.1.2.";
        const QString badPort = "The port after the colon must be a number from 1 to 65535.";
        const QString brackets =
            "Brackets go around an IPv6 address only, as in [2001:db8::5]:1425.";
        const QString v6Port =
            "Put an IPv6 address in brackets to add a port, as in [2001:db8::5]:1426.";
        const QString badV4 = "An IPv4 address is four numbers from 0 to 255 with dots between "
                              "them, as in 11.0.1.2.";
        const QString badName = "That is not an address: a host name has only letters, digits, "
                                "hyphens and dots, as in quorvel.example.";
        const auto row = [](const char* typed, const char* host, int port, QString why = {}) {
            QTest::addRow("%s", typed) << QString::fromUtf8(typed) << host << port << why;
        };
        row("11.0.1.2", "11.0.1.2", 1425);
        row(" \t11.0.1.2  ", "11.0.1.2", 1425);
        row("11.0.1.2:1426", "11.0.1.2", 1426);
        row("000.000.000.000", "0.0.0.0", 1425);
        row("192.168.001.010", "192.168.1.10", 1425); // decimal, never octal
        row("2001:db8::5", "2001:db8::5", 1425);
        row("[2001:db8::5]", "2001:db8::5", 1425);
        row("[2001:db8::5]:1426", "2001:db8::5", 1426);
        row("quorvel.example", "quorvel.example", 1425);
        row("Quorvel.Example.:65535", "Quorvel.Example.", 65535);
        row("localhost:01426", "localhost", 1426);
        row("", "", 0, empty);
        row("   ", "", 0, empty);
        row(":1426", "", 0, empty);
        row("11.0.1.2:", "", 0, badPort);
        row("11.0.1.2:0", "", 0, badPort);
        row("11.0.1.2:65536", "", 0, badPort);
        row("11.0.1.2:99999999999999999999", "", 0, badPort);
        row("11.0.1.2:14x5", "", 0, badPort);
        row("11.0.1.2:-1", "", 0, badPort);
        row("[2001:db8::5]:0", "", 0, badPort);
        row("[2001:db8::5", "", 0, brackets);
        row("2001:db8::5]", "", 0, brackets);
        row("[2001:db8::5]1425", "", 0, brackets);
        row("[11.0.1.2]:1425", "", 0, brackets);
        row("2001:db8:0:0:0:0:0:5:1426", "", 0, v6Port);
        row("2001:db8::5::6", "", 0, "That is not an IPv6 address, such as 2001:db8::5.");
        row("11.0.1.256", "", 0, badV4);
        row("11.0.1", "", 0, badV4);
        row("11.0.1.2.3", "", 0, badV4);
        row("0x7f.0.0.1", "", 0, badV4);
        row("11.0.1.0002", "", 0, badV4);
        row("quorvel_example.org", "", 0, badName);
        row("quorvel example", "", 0, badName);
        row("-quorvel.example", "", 0, badName);
        row("quorvel..example", "", 0, badName);
        row("Hénri.example", "", 0, badName);
        row("fe80::1%eth0", "", 0, "That is not an IPv6 address, such as 2001:db8::5.");
    }
    void reads() {
        QFETCH(QString, typed);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, refusal);
        const address::Reading reading = address::read(typed.toStdString());
        QCOMPARE(QString::fromStdString(reading.target ? reading.target->host : ""), host);
        QCOMPARE(reading.target ? int(reading.target->port) : 0, port);
        QCOMPARE(QString::fromStdString(reading.refusal), refusal);
    }

    void tells_the_host_data() {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("external");
        QTest::addColumn<int>("externalPort");
        QTest::addColumn<QString>("ipv6");
        QTest::addColumn<QString>("line");
        const QString at = "Friends on the internet join at ";
        const QString shared =
            "Friends on the internet cannot join: your router has no internet address of its own "
            "(the provider shares one among many homes, or a second router stands in the way). "
            "Let your friend host instead.";
        const QString byHand = " Forward TCP port 1425 on the router to 192.168.1.20 by hand.";
        const auto row = [](const char* name, Answer answer, const char* external, int port,
                            const char* ipv6, QString line) {
            QTest::newRow(name) << answer << external << port << ipv6 << line;
        };
        row("public", Answer::Mapped, "11.0.1.1", 1425, "", at + "11.0.1.1");
        row("other port", Answer::Mapped, "11.0.1.1", 1426, "2001:db8::5", at + "11.0.1.1:1426");
        for (const char* open : {"100.63.255.255", "100.128.0.0", "172.15.255.255", "172.32.0.0"})
            row(open, Answer::Mapped, open, 1425, "", at + open);
        for (const char* inner : {"100.64.0.0", "100.127.255.255", "172.16.0.0", "172.31.255.255",
                                  "10.0.0.1", "192.168.0.1"})
            row(inner, Answer::Mapped, inner, 1425, "", shared);
        row("shared, IPv6", Answer::Mapped, "100.64.0.1", 1425, "fe80::1 fd00::1 2001:db8::5",
            "Friends on the internet with IPv6 join at 2001:db8::5");
        row("unset", Answer::Mapped, "0.0.0.0", 1425, "fe80::1 fd00::1 fc00::1 ::1", shared);
        row("no address", Answer::NoAddress, "", 0, "", shared);
        row("no answer", Answer::NoAnswer, "", 0, "",
            "Friends on the internet cannot join: the router does not answer (UPnP and NAT-PMP "
            "are off or missing)." +
                byHand);
        row("refused", Answer::Refused, "", 0, "",
            "Friends on the internet cannot join: the router refused to forward port 1425 "
            "(ConflictInMappingEntry)." +
                byHand);
    }
    void tells_the_host() {
        QFETCH(Answer, answer);
        QFETCH(QString, external);
        QFETCH(int, externalPort);
        QFETCH(QString, ipv6);
        QFETCH(QString, line);
        reach::Outcome outcome{answer,
                               1425,
                               external.toStdString(),
                               quint16(externalPort),
                               "ConflictInMappingEntry",
                               "192.168.1.20",
                               {}};
        for (const QString& a : ipv6.split(' ', Qt::SkipEmptyParts))
            outcome.ipv6Addresses.push_back(a.toStdString());
        QCOMPARE(QString::fromStdString(reach::hostLine(outcome)), line);
    }
};

QTEST_GUILESS_MAIN(TestAddress)
#include "test_address.moc"
