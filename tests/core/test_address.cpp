// The address a joiner types, and the host's line on friends on the internet.

#include "core/Address.h"
#include "core/Reach.h"

#include <QtTest>

class TestAddress : public QObject {
    Q_OBJECT

    // One row for each input, all expecting the same.
    static void rows(const QString& expected, const QStringList& inputs) {
        for (const QString& input : inputs)
            QTest::addRow("%s", qPrintable(input)) << input << expected;
    }

private slots:
    void reads_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("read"); // host:port, or the refusal
        rows("11.0.1.2:1425", {" \t11.0.1.2  "});
        rows("11.0.1.2:1426", {"11.0.1.2:1426"});
        rows("0.0.0.0:1425", {"000.000.000.000"});
        rows("192.168.1.10:1425", {"192.168.001.010"}); // decimal, never octal
        rows("2001:db8::5:1425", {"2001:db8::5", "[2001:db8::5]"});
        rows("2001:db8::5:1426", {"[2001:db8::5]:1426"});
        rows("fe80::1%eth0:1425", {"fe80::1%eth0", "[fe80::1%eth0]", "[fe80::1%eth0]:1425"});
        rows("After the % comes the name of a network interface, as in fe80::1%eth0.",
             {"fe80::1%", "[fe80::1%]:1425", "fe80::1%eth0/1", "fe80::1%averyveryverylongname"});
        rows("Only an IPv6 address takes a % and an interface, as in fe80::1%eth0.",
             {"11.0.1.2%eth0", "11.0.1.2%eth0:1426"});
        rows("quorvel.example:1425", {"quorvel.example"});
        rows(QString(63, 'q') + ".example:1425", {QString(63, 'q') + ".example"});
        rows("Quorvel.Example.:65535", {"Quorvel.Example.:65535"});
        rows("Type the host's address, for example 11.0.1.2.", {"  ", ":1426"});
        rows("The port after the colon must be a number from 1 to 65535.",
             {"11.0.1.2:", "11.0.1.2:0", "11.0.1.2:65536", "11.0.1.2:99999999999999999999",
              "11.0.1.2:14x5", "[2001:db8::5]:0"});
        rows("Brackets go around an IPv6 address only, as in [2001:db8::5]:1425.",
             {"[2001:db8::5", "2001:db8::5]", "[2001:db8::5]1425", "[11.0.1.2]:1425"});
        rows("Put an IPv6 address in brackets to add a port, as in [2001:db8::5]:1426.",
             {"2001:db8:0:0:0:0:0:5:1426", "fe80::1%eth0:1426"});
        rows("That is not an IPv6 address, such as 2001:db8::5.",
             {"2001:db8::5::6", "fe80::g%eth0"});
        rows(
            "An IPv4 address is four numbers from 0 to 255 with dots between them, as in 11.0.1.2.",
            {"11.0.1.256", "11.0.1", "11.0.1.2.3", "0x7f.0.0.1", "11.0.1.0002"});
        rows("That is not an address: a host name has only letters, digits, hyphens and dots, as "
             "in quorvel.example.",
             {"quorvel_example.org", "quorvel example", "-quorvel.example", "quorvel..example",
              "Hénri.example", QString(64, 'q') + ".example"});
    }
    void reads() {
        QFETCH(QString, typed);
        const auto [target, refusal] = address::read(typed.toStdString());
        const std::string got =
            target ? target->host + ":" + std::to_string(target->port) : refusal;
        QTEST(QString::fromStdString(got), "read");
    }

    void tells_the_host_data() {
        // answer, external address:port, own IPv6s (+: the router opened a pinhole to it)
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("line");
        const QString at = "Friends on the internet join at ";
        const QString no = "Friends on the internet cannot join: ";
        const QString hand = " Forward TCP port 1425 on the router to 192.168.1.20 by hand.";
        rows(at + "11.0.1.1", {"mapped 11.0.1.1:1425"});
        rows(at + "11.0.1.1:1426", {"mapped 11.0.1.1:1426 2001:db8::5"});
        for (const char* open : {"100.63.255.255", "100.128.0.0", "172.15.255.255", "172.32.0.0"})
            rows(at + open, {"mapped " + QString(open) + ":1425"});
        rows(no +
                 "your router has no internet address of its own (the provider shares one among "
                 "many homes, or a second router stands in the way). Let your friend host instead.",
             {"mapped 100.64.0.0:1425", "mapped 100.127.255.255:1425", "mapped 172.16.0.0:1425",
              "mapped 172.31.255.255:1425", "mapped 10.0.0.1:1425", "mapped 192.168.0.1:1425",
              "mapped 0.0.0.0:1425 fe80::1 fd00::1 fc00::1", "noaddress :0",
              "noaddress :0 fe80::1 2001:db8::5"});
        rows(at + "11.0.1.2, or at [2001:db8:1::10] over IPv6",
             {"mapped 11.0.1.2:1425 2001:db8:1::10 +2001:db8:1::10"});
        rows(at + "11.0.1.2:1426, or at [2001:db8:1::10] over IPv6",
             {"mapped 11.0.1.2:1426 +2001:db8:1::10"});
        rows(at + "[2001:db8:1::10] (over IPv6: your friend needs IPv6 too)",
             {"noaddress :0 +2001:db8:1::10", "mapped 100.64.1.1:1425 +2001:db8:1::10",
              "refused :0 +2001:db8:1::10", "lapsed :0 +2001:db8:1::10"});
        rows("Friends on the internet cannot join any more: the router stopped forwarding port "
             "1425.",
             {"lapsed :0", "lapsed 11.0.1.2:1425 2001:db8:1::10"});
        rows(no + "the router does not answer (UPnP and NAT-PMP are off or missing)." + hand,
             {"noanswer :0"});
        rows(no + "the router refused to forward port 1425 (ConflictInMappingEntry)." + hand,
             {"refused :0"});
    }
    void tells_the_host() {
        QFETCH(QString, outcome);
        const QStringList said = outcome.split(' ');
        reach::Outcome o{
            .answer = reach::Outcome::Answer(
                QStringList{"mapped", "noanswer", "noaddress", "refused", "lapsed"}.indexOf(
                    said[0])),
            .externalAddress = said[1].section(':', 0, 0).toStdString(),
            .externalPort = quint16(said[1].section(':', 1).toUInt()),
            .reason = "ConflictInMappingEntry",
            .localAddress = "192.168.1.20",
            .ipv6Addresses = {},
            .pinholeAddress = {}};
        for (const QString& a : said.mid(2))
            (a.startsWith('+') ? o.pinholeAddress : o.ipv6Addresses.emplace_back()) =
                a.mid(a.startsWith('+')).toStdString();
        const std::string line = reach::hostLine(o), copied = reach::joinAddress(o);
        QTEST(QString::fromStdString(line), "line");
        // Copy gives the line's first address, in a form the join prompt reads.
        QVERIFY(copied.empty() ||
                (line.find(" at " + copied) != std::string::npos && address::read(copied).target));
    }
};

QTEST_GUILESS_MAIN(TestAddress)
#include "test_address.moc"
