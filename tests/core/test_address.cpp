// The address a joiner types, and the host's line on friends on the internet.

#include "common/fixtures.h"
#include "core/Address.h"
#include "core/Reach.h"

#include <QtTest>

namespace {

// What the join prompt reads: host:port, or the refusal.
QByteArray typed(const QByteArray& text) {
    const auto [target, refusal] = address::read(text.toStdString());
    return QByteArray::fromStdString(target ? target->host + ":" + std::to_string(target->port)
                                            : refusal);
}

// The host's line for an outcome written as its answer, the external
// address:port and the own IPv6 addresses (+: the router opened a pinhole to
// it); " and a copy it does not hold" when Copy does not give the line's first
// address in a form the join prompt reads.
QByteArray told(const QByteArray& outcome) {
    const QList<QByteArray> said = outcome.split(' ');
    reach::Outcome o{
        .answer = reach::Outcome::Answer(
            QByteArrayList{"mapped", "noanswer", "noaddress", "refused", "lapsed"}.indexOf(
                said[0])),
        .externalAddress = said[1].split(':')[0].toStdString(),
        .externalPort = quint16(said[1].split(':')[1].toUInt()),
        .reason = "ConflictInMappingEntry",
        .localAddress = "192.168.1.20",
        .ipv6Addresses = {},
        .pinholeAddress = {}};
    for (const QByteArray& a : said.mid(2))
        (a.startsWith('+') ? o.pinholeAddress : o.ipv6Addresses.emplace_back()) =
            a.mid(a.startsWith('+')).toStdString();
    const std::string line = reach::hostLine(o), copied = reach::joinAddress(o);
    const bool held = copied.empty() || (line.find(" at " + copied) != std::string::npos &&
                                         address::read(copied).target);
    return QByteArray::fromStdString(line) + (held ? "" : " and a copy it does not hold");
}

void rows(const QByteArray& want, std::initializer_list<QByteArray> inputs) {
    fixture::rows("typed", typed, want, inputs);
}
void outcomes(const QByteArray& want, std::initializer_list<QByteArray> inputs) {
    fixture::rows("outcome", told, want, inputs);
}

} // namespace

class TestAddress : public QObject {
    Q_OBJECT

private slots:
    void table_data() {
        fixture::columns();
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
        rows(QByteArray(63, 'q') + ".example:1425", {QByteArray(63, 'q') + ".example"});
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
              "Hénri.example", QByteArray(64, 'q') + ".example"});
        const QByteArray at = "Friends on the internet join at ";
        const QByteArray no = "Friends on the internet cannot join: ";
        const QByteArray hand = " Forward TCP port 1425 on the router to 192.168.1.20 by hand.";
        outcomes(at + "11.0.1.1", {"mapped 11.0.1.1:1425"});
        outcomes(at + "11.0.1.1:1426", {"mapped 11.0.1.1:1426 2001:db8::5"});
        for (const char* open : {"100.63.255.255", "100.128.0.0", "172.15.255.255", "172.32.0.0"})
            outcomes(at + open, {"mapped " + QByteArray(open) + ":1425"});
        outcomes(
            no + "your router has no internet address of its own (the provider shares one among "
                 "many homes, or a second router stands in the way). Let your friend host instead.",
            {"mapped 100.64.0.0:1425", "mapped 100.127.255.255:1425", "mapped 172.16.0.0:1425",
             "mapped 172.31.255.255:1425", "mapped 10.0.0.1:1425", "mapped 192.168.0.1:1425",
             "mapped 0.0.0.0:1425 fe80::1 fd00::1 fc00::1", "noaddress :0",
             "noaddress :0 fe80::1 2001:db8::5"});
        outcomes(at + "11.0.1.2, or at [2001:db8:1::10] over IPv6",
                 {"mapped 11.0.1.2:1425 2001:db8:1::10 +2001:db8:1::10"});
        outcomes(at + "11.0.1.2:1426, or at [2001:db8:1::10] over IPv6",
                 {"mapped 11.0.1.2:1426 +2001:db8:1::10"});
        outcomes(at + "[2001:db8:1::10] (over IPv6: your friend needs IPv6 too)",
                 {"noaddress :0 +2001:db8:1::10", "mapped 100.64.1.1:1425 +2001:db8:1::10",
                  "refused :0 +2001:db8:1::10", "lapsed :0 +2001:db8:1::10"});
        outcomes("Friends on the internet cannot join any more: the router stopped forwarding port "
                 "1425.",
                 {"lapsed :0", "lapsed 11.0.1.2:1425 2001:db8:1::10"});
        outcomes(no + "the router does not answer (UPnP and NAT-PMP are off or missing)." + hand,
                 {"noanswer :0"});
        outcomes(no + "the router refused to forward port 1425 (ConflictInMappingEntry)." + hand,
                 {"refused :0"});
    }
    void table() { fixture::compareRow(); }
};

QTEST_GUILESS_MAIN(TestAddress)
#include "test_address.moc"
