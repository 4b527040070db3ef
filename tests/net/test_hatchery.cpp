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

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Rosie, Bruno and Pip, as installed with the game.
std::vector<ChickenRecord> sampleFlock() {
    std::vector<ChickenRecord> flock;
    for (const char* file : {"rosie.dat", "bruno.dat", "pip.dat"})
        flock.push_back(chickenfile::load(std::string(QUORVEL_ASSETS "/chickens/") + file).value());
    return flock;
}

} // namespace

class TestHatchery : public QObject {
    Q_OBJECT

private slots:
    // Many hatched chickens, each saved with a scale of its own, read back by the
    // game's reader to the very record that was saved.
    void saves() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nest/quorvel/chicken.dat"));
        const QStringList names = {
            "Hénriette, the Bold",   "Ö", "  Sir Cluck, Jr.  ", "a,b,,c", "#TRUE#",
            QString(40, QChar(0xFF))};
        const auto random = randomness::seeded(11);
        for (int i = 0; i < 400; ++i) {
            const chickenstore::NameCheck name = chickenstore::checkName(names[i % names.size()]);
            const ChickenRecord hatched = hatchery::hatch(name.bytes, int16_t(i % 15), random);
            QCOMPARE(chickenstore::save(path, hatched, random), QString());
            const ChickenRecord read = readBack(path);
            QVERIFY2(name.refusal.isEmpty() && read == hatched && !read.flaggedAsCheater(),
                     qPrintable(QString::number(i)));
        }
        // A stat too big for the file is refused, and a save cut off while writing (here:
        // the file-size limit stops the write, as a full disk would) never renames anything
        // over the old chicken: the one saved last stays, byte for byte.
        const QByteArray lastBytes = bytesOf(path);
        const ChickenRecord last = readBack(path);
        ChickenRecord huge = last;
        huge.HitPoints = 32000;
        QCOMPARE(chickenstore::save(path, huge, random),
                 "this chicken cannot be stored in a chicken file");
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
        QCOMPARE(bytesOf(path), lastBytes);
        QCOMPARE(readBack(path), last);
        QCOMPARE(QDir(dir.filePath("nest/quorvel")).entryList(QDir::Files),
                 QStringList{"chicken.dat"});
    }

    // A name the file or the wire cannot carry is refused, saying why; any other is
    // taken as its Latin-1 bytes.
    void names() {
        const struct {
            QString name;
            const char* refusal; // a piece of it; empty: taken as it is
        } rows[] = {
            {QString(), "needs a name"},
            {QString(41, u'x'), "at most 40"},
            {QString(40, u'x'), ""},
            {"Big \"Red\"", "double quote"},
            {"Two\r\nLines", "control characters"},
            {"Tab\tby", "control characters"},
            {"Ne\u0085l", "control characters"},
            {"Del\u007Fete", "control characters"},
            {"Le\u00A0Coq", ""},
            {"Ωmega", "Latin-1"},
            {"Hen 🐔", "Latin-1"},
            {"Hénriette, the Bold", ""},
        };
        for (const auto& [name, refusal] : rows) {
            const chickenstore::NameCheck check = chickenstore::checkName(name);
            QVERIFY2(*refusal ? check.refusal.contains(refusal) && check.bytes.empty()
                              : check.refusal.isEmpty() && name.toLatin1() == check.bytes.c_str(),
                     qPrintable(name + " | " + check.refusal));
        }
    }

    // The hatchery blends its own copy of the flock's stats: it must be the flock
    // the files hold, or hatched chickens take after chickens nobody fights.
    void hatcheryBlendsTheFlockOfTheFiles() {
        const std::vector<ChickenRecord> flock = sampleFlock();
        for (std::size_t i = 0; i < hatchery::Flock.size(); ++i) {
            const ChickenRecord& c = flock[i];
            const auto [kick, peck, speed, obedience, hitPoints, kickSkill, peckSkill, combo] =
                hatchery::Flock[i];
            QVERIFY(kick == c.KickPower && peck == c.PeckPower && speed == c.Speed &&
                    obedience == c.Obedience && hitPoints == c.HitPoints &&
                    kickSkill == c.KickSkill && peckSkill == c.PeckSkill && combo == -c.CanCombo);
        }
    }

    // The short version of tools/fairness: hatched chickens against the sample
    // flock, each in simulated matches of the fight's own rules.
    void hatcheryIsFair() {
        const simulation::FairnessTable table =
            simulation::measureFairness(sampleFlock(), 40, 150, 7);
        QVERIFY2(table.fair(), qPrintable(QStringLiteral("average %1, lowest %2, highest %3")
                                              .arg(table.averageOverall())
                                              .arg(table.lowestOverall())
                                              .arg(table.highestOverall())));
    }

    // The simulated match follows the fight's rules where they decide a match: the
    // first chicken's share of 2000 matches against a plain one.
    void simulatedMatches() {
        const ChickenRecord plain = {"Plain", 10, 10, 50, 100, 60, 0, 5, 5, 0, -1, 0};
        ChickenRecord faster = plain;
        faster.Speed = 80;
        ChickenRecord stubborn = plain;
        stubborn.Obedience = 0;
        const struct {
            ChickenRecord first;
            double lowest, highest;
        } rows[] = {{plain, 0.45, 0.55}, {faster, 0.9, 1.0}, {stubborn, 0.0, 0.0}};
        for (const auto& [first, lowest, highest] : rows) {
            const double rate = simulation::winRate(first, plain, 2000, randomness::seeded(5));
            QVERIFY2(rate >= lowest && rate <= highest, qPrintable(QString::number(rate)));
        }
    }
};

QTEST_GUILESS_MAIN(TestHatchery)
#include "test_hatchery.moc"
