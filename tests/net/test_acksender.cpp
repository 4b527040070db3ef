// The acknowledgement-gated sender against a fake connection and clock: when each
// message is written, as the peer's acknowledgements and resends come.

#include "net/AckSender.h"

#include <QTest>

namespace {

// A connection whose acknowledgements, resends and time the test decides. Every
// write, the end of sending and the return of finish are logged as "ms:what".
struct FakeConnection : SendProbe {
    qint64 clock = 0;
    qint64 held = 0; // written, not yet acknowledged
    QList<qint64> acknowledgeAt;
    quint32 resent = 0;
    QStringList log;
    qint64 unacknowledged() const override { return held; }
    quint32 resends() const override { return resent; }
    qint64 now() const override { return clock; }
    bool write(std::string_view bytes) override {
        return note(QString::fromLatin1(bytes.data(), qsizetype(bytes.size())),
                    qint64(bytes.size()));
    }
    bool endSending() override { return note(QStringLiteral("FIN"), 1); } // acknowledged too
    bool settle() override { return true; }
    void pause(int ms) override { advance(ms); }

    void advance(qint64 ms) {
        clock += ms;
        if (acknowledgeAt.removeIf([this](qint64 at) { return at <= clock; }) > 0)
            held = 0;
    }
    bool note(const QString& what, qint64 bytes = 0) {
        held += bytes;
        log << QString::number(clock) + ':' + what;
        return true;
    }
};

} // namespace

class TestAckSender : public QObject {
    Q_OBJECT

private slots:
    // "g:X" sends X after acknowledgement, "p:X" plainly; "+N": N ms pass, a poll each ms;
    // "ack" acknowledges all now, "ack@T" at T ms, "held:N" all but N bytes; "resend"
    // counts a resent segment; "close" ends sending; "finish:T" finishes within T ms;
    // "?" notes whether it polls.
    void writes_data() {
        QTest::addColumn<QString>("steps"); // steps | what is written when
        QTest::addRow("order kept, none lost")
            << "g:AHen p:J1 g:B2 p:91 g:C3 ack +1 ack +1 ack +1 | 0:AHen 0:J1 1:B2 2:91 3:C3";
        QTest::addRow("held back until acknowledged") << "g:H5 g:I6 +300 ack +1 | 0:H5 301:I6";
        QTest::addRow("one byte unacknowledged") << "g:H5 g:I6 held:1 +50 ack +1 | 0:H5 51:I6";
        QTest::addRow("after a resend 100 ms after the acknowledgement, once")
            << "g:H5 g:I6 g:0 +300 resend ack +200 ack +1 | 0:H5 402:I6 501:0";
        QTest::addRow("91 behind a held-back record")
            << "g:H5 g:I6 p:91 +50 ack +50 ack +1 | 0:H5 51:I6 101:91";
        QTest::addRow("91 behind a held-back record, after a resend")
            << "g:H5 g:I6 p:91 +50 ack +50 resend ack +200 | 0:H5 51:I6 202:91";
        QTest::addRow("ends after the queue") << "g:H5 g:I6 close +10 ack +1 | 0:H5 11:I6 11:FIN";
        QTest::addRow("finish: all acknowledged") << "p:K3 ack finish:3000 | 0:K3 0:finished";
        QTest::addRow("finish: held-back ack") << "p:K3 ack@200 finish:3000 | 0:K3 200:finished";
        QTest::addRow("finish writes what waits and waits for it")
            << "g:H5 g:K3 resend ack@200 ack@400 finish:3000 | 0:H5 305:K3 400:finished";
        QTest::addRow("finish gives up at its timeout") << "p:K3 finish:3000 | 0:K3 3005:finished";
        // Through a fight nothing is held back, and nothing polls the system.
        QTest::addRow("polls only while a message waits")
            << "p:J1 ? g:H5 ? ack +1 ? | 0:J1 0:idle 0:polling 1:H5 1:idle";
    }
    void writes() {
        QFETCH(QString, steps);
        FakeConnection connection;
        AckSender sender(connection);
        for (const QString& step : steps.section(" | ", 0, 0).split(' ')) {
            const QString what = step.section(':', 1);
            if (step.startsWith("g:"))
                QVERIFY(sender.sendWhenAcknowledged(what.toStdString()));
            else if (step.startsWith("p:"))
                QVERIFY(sender.send(what.toStdString()));
            else if (step.startsWith("ack@"))
                connection.acknowledgeAt << step.mid(4).toLongLong();
            else if (step == "ack")
                connection.held = 0;
            else if (step.startsWith("held:"))
                connection.held = what.toLongLong();
            else if (step == "resend")
                ++connection.resent;
            else if (step == "close")
                sender.closeSending();
            else if (step == "?")
                connection.note(sender.polling() ? "polling" : "idle");
            else if (step.startsWith("finish:")) {
                sender.finish(what.toInt());
                connection.note(QStringLiteral("finished"));
            }
            for (int ms = step.startsWith('+') ? step.mid(1).toInt() : 0; ms > 0; --ms) {
                connection.advance(1);
                sender.poll();
            }
        }
        QCOMPARE(connection.log.join(' '), steps.section(" | ", 1));
    }
};

QTEST_GUILESS_MAIN(TestAckSender)
#include "test_acksender.moc"
