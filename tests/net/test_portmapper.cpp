// Asking for the match's port where no router answers (the suite's network has
// loopback only): the player hears so within 3 s; the GUI thread ticks on meanwhile.

#include "net/PortMapper.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class TestPortMapper : public QObject {
    Q_OBJECT

private slots:
    void no_router() {
        QElapsedTimer clock;
        qint64 lastTick = 0, longestStall = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        connect(&ticker, &QTimer::timeout, this, [&] {
            longestStall = std::max(longestStall, clock.elapsed() - lastTick);
            lastTick = clock.elapsed();
        });
        auto mapper = std::make_unique<PortMapper>();
        QSignalSpy answers(mapper.get(), &PortMapper::finished);
        clock.start();
        ticker.start(5);
        mapper->start(1425);
        QVERIFY(answers.wait(3500)); // runs the event loop, never sleeping as qWait does
        const qint64 answeredAfter = clock.elapsed();
        qInfo("outcome after %lld ms, longest stall %lld ms", answeredAfter, longestStall);
        QCOMPARE_LT(answeredAfter, 3000);
        QCOMPARE_LT(longestStall, 50);
        QCOMPARE(reach::hostLine(answers.takeFirst()[0].value<reach::Outcome>()),
                 std::string("Friends on the internet cannot join: the router does not "
                             "answer (UPnP and NAT-PMP are off or missing). Forward TCP "
                             "port 1425 on the router to this machine by hand."));

        // Asked again while a search runs, the answer does not wait for the search
        // given up, which tells nothing.
        mapper->stop();
        mapper->start(1425);
        QTest::qWait(300);
        mapper->stop();
        mapper->start(1425);
        clock.restart();
        QVERIFY(answers.wait(3500));
        QCOMPARE_LT(clock.elapsed(), answeredAfter + 300);
        // The search given up would have answered by now.
        QVERIFY(!answers.wait(int(answeredAfter + 300 - clock.elapsed())));
        QCOMPARE(answers.count(), 1);

        // Gone while asking again: the removal runs on without holding up the GUI thread.
        mapper->stop();
        mapper->start(1425);
        longestStall = 0;
        QTimer::singleShot(0, this, [&] { mapper.reset(); });
        QTestEventLoop::instance().enterLoopMSecs(1500);
        QCOMPARE_LT(longestStall, 50);
    }
};

QTEST_GUILESS_MAIN(TestPortMapper)
#include "test_portmapper.moc"
