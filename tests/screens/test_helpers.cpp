// The shared helpers: random numbers, the program folder, sound cues and the
// fight screen's gradient.

#include "common/ProgramRandom.h"
#include "screens/Helpers.h"
#include "screens/Platform.h"
#include "screens/Vars.h"

#include <QImage>
#include <QMap>
#include <QStringList>
#include <QWidget>
#include <QtTest>

#include <set>

class TestHelpers : public QObject {
    Q_OBJECT

    QStringList played;

private slots:
    void init() {
        Vars::reset();
        platform::resetSeams();
        played.clear();
        platform::seams().playSound = [this](const QString& path) { played << path; };
    }
    void cleanup() { Vars::setRandomSource({}); }

    // Random(lo, n) with the source's draw r: lo + Int(n * r), floored downwards.
    void randomFormula() {
        const struct {
            int lo, n;
            double r;
            int expected;
        } draws[] = {{1, 0, 0.999, 1},     {1, 100, 0.0, 1}, {1, 100, 0.99999, 100},
                     {1, -3, 0.99999, -2}, {1, -3, 0.1, 0},  {1, -3, 0.0, 1},
                     {-5, 3, 0.5, -4}};
        for (const auto& [lo, n, r, expected] : draws) {
            ProgramRandom script;
            script.fraction(r);
            QCOMPARE(Vars::Random(lo, n), expected);
        }
    }

    void randomRealSourceStaysInRangeAndSpreads() {
        // Many calls in the same clock tick: values must still vary and cover
        // every outcome evenly.
        QMap<int, int> counts;
        const int draws = 60000;
        for (int i = 0; i < draws; ++i)
            ++counts[Vars::Random(1, 6)];
        QCOMPARE(counts.size(), 6);
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            QVERIFY(it.key() >= 1 && it.key() <= 6);
            QVERIFY2(qAbs(it.value() - draws / 6) < draws / 60,
                     qPrintable(QString::number(it.value())));
        }
        for (int i = 0; i < 1000; ++i) {
            const int v = Vars::Random(1, -3);
            QVERIFY(v >= -2 && v <= 1);
        }
        std::set<int> distinct;
        for (int i = 0; i < 50; ++i)
            distinct.insert(Vars::Random(0, 1 << 24));
        QVERIFY(distinct.size() > 45);
    }

    // Every cue plays from the program folder, even after the data path was
    // stored in it; the hit sound picks each of five evenly.
    void cuesPlayFromTheProgramFolder() {
        Vars::GetAppPath();
        const QString folder = QString::fromStdString(Vars::AppPath);
        QCOMPARE(folder, QCoreApplication::applicationDirPath() + '/'); // one slash
        Vars::AppPath += "chicken.dat";
        Vars::PlayClickSound();
        Vars::PlayDeflectSound();
        const int cues = 5000;
        for (int i = 0; i < cues; ++i)
            Vars::PlayHitSound();
        QCOMPARE(played.mid(0, 2), (QStringList{folder + "0.wav", folder + "9.wav"}));
        QMap<QString, int> counts;
        for (const QString& path : played.mid(2))
            ++counts[path.mid(folder.size())];
        QCOMPARE(counts.keys(), (QStringList{"10.wav", "2.wav", "3.wav", "4.wav", "7.wav"}));
        for (int count : std::as_const(counts))
            QVERIFY2(qAbs(count - cues / 5) < cues / 20, qPrintable(QString::number(count)));
    }

    void gradientRunsFromBlueToBlackAndSurvivesRepaints() {
        QWidget window;
        window.setFixedSize(236, 224);
        Vars::DrawGradient(&window);
        for (int pass = 0; pass < 2; ++pass) {
            const QImage shot = window.grab().toImage();
            QCOMPARE(QColor(shot.pixel(5, 0)), QColor(0, 0, 255));
            QCOMPARE(QColor(shot.pixel(230, 0)), QColor(0, 0, 255));
            QVERIFY(qBlue(shot.pixel(5, 223)) <= 2);
            QCOMPARE(qRed(shot.pixel(5, 223)) + qGreen(shot.pixel(5, 223)), 0);
            // Darkening step by step, with no gap of another colour between bands.
            int previous = 256;
            for (int y = 0; y < 224; ++y) {
                const QRgb px = shot.pixel(100, y);
                QCOMPARE(qRed(px) + qGreen(px), 0);
                QVERIFY(qBlue(px) < previous);
                previous = qBlue(px);
            }
            window.update();
        }
    }
};

QTEST_MAIN(TestHelpers)
#include "test_helpers.moc"
