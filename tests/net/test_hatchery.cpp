// The player's own chickens: hatched chickens saved and read back by the game's
// reader, names the file or the wire cannot carry, a save that never finished,
// and the hatchery's fairness against the sample flock in simulated matches.

#include "core/ChickenFile.h"
#include "core/Hatchery.h"
#include "core/Simulation.h"
#include "net/ChickenStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

ChickenRecord readBack(const QString& path) {
    return chickenfile::load(QFile::encodeName(path).toStdString()).value_or(ChickenRecord{});
}

} // namespace

class TestHatchery : public QObject {
    Q_OBJECT

private slots:
    // Many hatched chickens, each saved with a scale of its own, read back by the
    // game's reader to the very record that was saved.
    void savedChickensReadBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nest/quorvel/chicken.dat"));
        const QStringList names = {QStringLiteral("Hénriette, the Bold"),
                                   QStringLiteral("Ö"),
                                   QStringLiteral("  Sir Cluck, Jr.  "),
                                   QStringLiteral("a,b,,c"),
                                   QString(40, QChar(0xFF)),
                                   QStringLiteral("#TRUE#")};
        const auto random = randomness::seeded(11);
        for (int i = 0; i < 400; ++i) {
            const chickenstore::NameCheck name = chickenstore::checkName(names[i % names.size()]);
            QVERIFY2(name.refusal.isEmpty(), qPrintable(name.refusal));
            const ChickenRecord hatched = hatchery::hatch(
                name.bytes, static_cast<int16_t>(i % hatchery::PortraitCount), random);
            QCOMPARE(chickenstore::save(path, hatched, random), QString());
            const ChickenRecord read = readBack(path);
            QVERIFY2(read == hatched, qPrintable(QStringLiteral("chicken %1").arg(i)));
            QVERIFY(!read.flaggedAsCheater());
        }
        // A stat too big for the file is refused; the chicken saved last stays.
        const ChickenRecord last = readBack(path);
        ChickenRecord huge = last;
        huge.HitPoints = 32000;
        QCOMPARE(chickenstore::save(path, huge, random),
                 QStringLiteral("this chicken cannot be stored in a chicken file"));
        QCOMPARE(readBack(path), last);
        QCOMPARE(QDir(dir.filePath(QStringLiteral("nest/quorvel"))).entryList(QDir::Files),
                 QStringList{QStringLiteral("chicken.dat")});
    }

    void refusedNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason"); // a piece of the message; empty: accepted
        QTest::newRow("empty") << QString() << "needs a name";
        QTest::newRow("41 characters") << QString(41, QLatin1Char('x')) << "at most 40";
        QTest::newRow("40 characters") << QString(40, QLatin1Char('x')) << QString();
        QTest::newRow("double quote") << "Big \"Red\""
                                      << "double quote";
        QTest::newRow("line break") << "Two\r\nLines"
                                    << "control characters";
        QTest::newRow("tab") << "Tab\tby"
                             << "control characters";
        QTest::newRow("C1 control") << QStringLiteral("Ne\u0085l") << "control characters";
        QTest::newRow("DEL") << QStringLiteral("Del\u007Fete") << "control characters";
        QTest::newRow("no-break space") << QStringLiteral("Le\u00A0Coq") << QString();
        QTest::newRow("Greek") << QStringLiteral("Ωmega") << "Latin-1";
        QTest::newRow("emoji") << QStringLiteral("Hen 🐔") << "Latin-1";
        QTest::newRow("Latin-1 with comma") << QStringLiteral("Hénriette, the Bold") << QString();
    }
    void refusedNames() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        const chickenstore::NameCheck check = chickenstore::checkName(name);
        if (reason.isEmpty()) {
            QCOMPARE(check.refusal, QString());
            QCOMPARE(QString::fromLatin1(check.bytes.c_str()), name);
        } else {
            QVERIFY2(check.refusal.contains(reason), qPrintable(check.refusal));
            QVERIFY(check.bytes.empty());
        }
    }

    // A save cut off while writing (here: the file-size limit stops the write, as
    // a full disk would) never renames anything over the old chicken.
    void interruptedSaveKeepsTheOldChicken() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("chicken.dat"));
        const auto random = randomness::seeded(3);
        const ChickenRecord old = hatchery::hatch("Old Faithful", 2, random);
        QCOMPARE(chickenstore::save(path, old, random), QString());
        QFile before(path);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray oldBytes = before.readAll();
        before.close();

        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 16;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const QString failure = chickenstore::save(path, hatchery::hatch("New", 3, random), random);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);

        QVERIFY(!failure.isEmpty());
        QFile after(path);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), oldBytes);
        QCOMPARE(readBack(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("chicken.dat")});
    }

    // The hatchery blends its own copy of the flock's stats: it must be the flock
    // the files hold, or hatched chickens take after chickens nobody fights.
    void hatcheryBlendsTheFlockOfTheFiles() {
        const char* const files[] = {"rosie.dat", "bruno.dat", "pip.dat"};
        for (std::size_t i = 0; i < hatchery::Flock.size(); ++i) {
            const ChickenRecord c =
                chickenfile::load(std::string(QUORVEL_ASSETS "/chickens/") + files[i]).value();
            const hatchery::FlockStats& copy = hatchery::Flock[i];
            QCOMPARE(QList<double>({copy.kickPower, copy.peckPower, copy.speed, copy.obedience,
                                    copy.hitPoints, copy.kickSkill, copy.peckSkill, copy.canCombo}),
                     QList<double>({double(c.KickPower), double(c.PeckPower), double(c.Speed),
                                    double(c.Obedience), double(c.HitPoints), double(c.KickSkill),
                                    double(c.PeckSkill), c.CanCombo != 0 ? 1.0 : 0.0}));
        }
    }

    // The short version of tools/fairness: hatched chickens against the sample
    // flock, each in simulated matches of the fight's own rules.
    void hatcheryIsFair() {
        std::vector<ChickenRecord> flock;
        for (const char* file : {"rosie.dat", "bruno.dat", "pip.dat"})
            flock.push_back(
                chickenfile::load(std::string(QUORVEL_ASSETS "/chickens/") + file).value());
        const simulation::FairnessTable table = simulation::measureFairness(flock, 40, 150, 7);
        QVERIFY2(table.fair(), qPrintable(QStringLiteral("average %1, lowest %2, highest %3")
                                              .arg(table.averageOverall())
                                              .arg(table.lowestOverall())
                                              .arg(table.highestOverall())));
    }

    // The simulated match follows the fight's rules where they decide a match.
    void simulatedMatches_data() {
        QTest::addColumn<ChickenRecord>("first");
        QTest::addColumn<ChickenRecord>("second");
        QTest::addColumn<double>("lowest"); // the first chicken's share of wins
        QTest::addColumn<double>("highest");
        const ChickenRecord plain = {"Plain", 10, 10, 50, 100, 60, 0, 5, 5, 0, -1, 0};
        ChickenRecord faster = plain;
        faster.Speed = 80;
        ChickenRecord stubborn = plain;
        stubborn.Obedience = 0;
        QTest::newRow("mirror match") << plain << plain << 0.45 << 0.55;
        QTest::newRow("faster charge wins") << faster << plain << 0.9 << 1.0;
        QTest::newRow("refusing chicken never wins") << stubborn << plain << 0.0 << 0.0;
    }
    void simulatedMatches() {
        QFETCH(ChickenRecord, first);
        QFETCH(ChickenRecord, second);
        QFETCH(double, lowest);
        QFETCH(double, highest);
        const double rate = simulation::winRate(first, second, 2000, randomness::seeded(5));
        QVERIFY2(rate >= lowest && rate <= highest, qPrintable(QString::number(rate)));
    }
};

QTEST_GUILESS_MAIN(TestHatchery)
#include "test_hatchery.moc"
