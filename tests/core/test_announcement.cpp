// The announcement datagram: what a host sends, and which datagrams a listener
// takes, one row per rule.

#include "core/Announcement.h"

#include <QByteArray>
#include <QtTest>

#include <string>

class TestAnnouncement : public QObject {
    Q_OBJECT

    static QByteArray q(const std::string& text) { return QByteArray::fromStdString(text); }

private slots:
    void builds_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("datagram");
        QTest::newRow("match") << 1425 << QByteArray("Rex") << QByteArray("QUORVEL 1 1425 Rex");
        QTest::newRow("bytes as they are")
            << 80 << QByteArray("Le Coq \xe9<b>") << QByteArray("QUORVEL 1 80 Le Coq \xe9<b>");
        QTest::newRow("long name cut to 200")
            << 1425 << QByteArray(300, 'N') << "QUORVEL 1 1425 " + QByteArray(200, 'N');
    }
    void builds() {
        QFETCH(int, port);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, datagram);
        QCOMPARE(q(announcement::build(quint16(port), name.toStdString())), datagram);
    }

    void reads_data() {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("port"); // 0: not an announcement
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("match") << QByteArray("QUORVEL 1 1425 Rex") << 1425 << QByteArray("Rex");
        QTest::newRow("name keeps its spaces")
            << QByteArray("QUORVEL 1 1 ' Big Red '") << 1 << QByteArray("' Big Red '");
        QTest::newRow("highest port")
            << QByteArray("QUORVEL 1 65535 R") << 65535 << QByteArray("R");
        QTest::newRow("name read to 200 bytes")
            << "QUORVEL 1 1425 " + QByteArray(497, 'N') << 1425 << QByteArray(200, 'N');
        const QList<QByteArray> refused{
            "QUORVEL 1 1425 " + QByteArray(498, 'N'), // 513 bytes
            "QUORVEL 1 1425 ",
            "QUORVEL 1 1425",
            "QUORVEL 1 0 Rex",
            "QUORVEL 1 65536 Rex",
            "QUORVEL 1 99999999999 Rex",
            "QUORVEL 1 01425 Rex",
            "QUORVEL 1 +1425 Rex",
            "QUORVEL 1 -1 Rex",
            "QUORVEL 1 14x25 Rex",
            "QUORVEL 1  1425 Rex",
            "QUORVEL 2 1425 Rex",
            "QUORVEL 10 1425 Rex",
            "QUORVEL  1 1425 Rex",
            "quorvel 1 1425 Rex",
            "QUORVELL 1 1425 Rex",
            " QUORVEL 1 1425 Rex",
            "QUORVEL\t1\t1425\tRex",
            "",
        };
        for (const QByteArray& datagram : refused)
            QTest::addRow("refused: %s", datagram.left(30).constData())
                << datagram << 0 << QByteArray();
    }
    void reads() {
        QFETCH(QByteArray, datagram);
        QFETCH(int, port);
        QFETCH(QByteArray, name);
        const auto read = announcement::parse(datagram.toStdString());
        QCOMPARE(read.has_value(), port != 0);
        if (read) {
            QCOMPARE(int(read->port), port);
            QCOMPARE(q(read->name), name);
        }
    }
};

QTEST_MAIN(TestAnnouncement)
#include "test_announcement.moc"
