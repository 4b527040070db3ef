// Asking for the match's port where no router answers (the suite's network has
// loopback only): the player hears so within 3 s, and the GUI thread goes on
// ticking all the while.

#include "link/PortMapper.h"

#include <QElapsedTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>

class TestPortMapper : public QObject {
    Q_OBJECT

    // Runs the event loop for `ms` or until `done`, never sleeping as qWait does.
    static void spin(int ms, const std::function<bool()>& done) {
        QEventLoop loop;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        poll.start(1);
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

private slots:
    void no_router() {
        QElapsedTimer clock;
        qint64 lastTick = 0, longestStall = 0;
        QTimer ticker;
        ticker.setInterval(5);
        ticker.setTimerType(Qt::PreciseTimer);
        connect(&ticker, &QTimer::timeout, this, [&] {
            longestStall = std::max(longestStall, clock.elapsed() - lastTick);
            lastTick = clock.elapsed();
        });
        auto mapper = std::make_unique<PortMapper>();
        std::optional<reach::Outcome> outcome;
        qint64 answeredAfter = 0;
        int answers = 0;
        connect(mapper.get(), &PortMapper::finished, this, [&](const reach::Outcome& o) {
            outcome = o;
            answeredAfter = clock.elapsed();
            ++answers;
        });
        clock.start();
        ticker.start();
        mapper->start(1425);
        mapper->start(1425); // already asking: no second question
        spin(3500, [&] { return outcome.has_value(); });
        QVERIFY(outcome);
        spin(300, [] { return false; });
        qInfo("outcome after %lld ms, longest stall %lld ms", answeredAfter, longestStall);
        QCOMPARE_LT(answeredAfter, 3000);
        QCOMPARE_LT(longestStall, 50);
        QCOMPARE(answers, 1);
        QCOMPARE(int(outcome->answer), int(reach::Outcome::Answer::NoAnswer));
        QCOMPARE(QString::fromStdString(reach::hostLine(*outcome)),
                 "Friends on the internet cannot join: the router does not answer (UPnP and "
                 "NAT-PMP are off or missing). Forward TCP port 1425 on the router to this "
                 "machine by hand.");

        // Stopped while asking again: the late answer is dropped. Gone while
        // asking: the removal runs on without holding up the GUI thread.
        mapper->stop();
        mapper->start(1425);
        mapper->stop();
        spin(1500, [] { return false; });
        QCOMPARE(answers, 1);
        mapper->start(1425);
        longestStall = 0;
        QTimer::singleShot(0, this, [&] { mapper.reset(); });
        spin(1500, [] { return false; });
        QCOMPARE_LT(longestStall, 50);
        QCOMPARE(answers, 1);
    }
};

QTEST_GUILESS_MAIN(TestPortMapper)
#include "test_portmapper.moc"
