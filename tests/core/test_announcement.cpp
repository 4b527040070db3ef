// The announcement datagram: what a host sends, and which datagrams a listener
// takes, one row per rule.

#include "common/fixtures.h"
#include "core/Announcement.h"

#include <QByteArray>
#include <QtTest>

using fixture::row;

namespace {

QByteArray built(quint16 port, const QByteArray& name) {
    return QByteArray::fromStdString(announcement::build(port, name.toStdString()));
}

// The port and name a listener reads, or "refused".
QByteArray heard(const QByteArray& datagram) {
    const auto read = announcement::parse(datagram.toStdString());
    return read ? QByteArray::number(read->port) + " " + QByteArray::fromStdString(read->name)
                : "refused";
}

} // namespace

class TestAnnouncement : public QObject {
    Q_OBJECT

private slots:
    void table_data() {
        fixture::columns();
        row("build", built(1425, "Rex"), "QUORVEL 1 1425 Rex");
        row("build: bytes as they are", built(80, "Le Coq \xe9<b>"), "QUORVEL 1 80 Le Coq \xe9<b>");
        row("build: long name cut to 200", built(1425, QByteArray(300, 'N')),
            "QUORVEL 1 1425 " + QByteArray(200, 'N'));
        row("read", heard("QUORVEL 1 1425 Rex"), "1425 Rex");
        row("read: name keeps its spaces", heard("QUORVEL 1 1 ' Big Red '"), "1 ' Big Red '");
        row("read: highest port", heard("QUORVEL 1 65535 R"), "65535 R");
        row("read: name read to 200 bytes", heard("QUORVEL 1 1425 " + QByteArray(497, 'N')),
            "1425 " + QByteArray(200, 'N'));
        fixture::rows("refused", heard, "refused",
                      {"QUORVEL 1 1425 " + QByteArray(498, 'N'), // 513 bytes
                       "QUORVEL 1 1425 ", "QUORVEL 1 1425", "QUORVEL 1 0 Rex",
                       "QUORVEL 1 65536 Rex", "QUORVEL 1 99999999999 Rex", "QUORVEL 1 01425 Rex",
                       "QUORVEL 1 +1425 Rex", "QUORVEL 1 -1 Rex", "QUORVEL 1 14x25 Rex",
                       "QUORVEL 1  1425 Rex", "QUORVEL 2 1425 Rex", "QUORVEL 10 1425 Rex",
                       "QUORVEL  1 1425 Rex", "quorvel 1 1425 Rex", "QUORVELL 1 1425 Rex",
                       " QUORVEL 1 1425 Rex", "QUORVEL\t1\t1425\tRex", ""});
    }
    void table() { fixture::compareRow(); }
};

QTEST_MAIN(TestAnnouncement)
#include "test_announcement.moc"
