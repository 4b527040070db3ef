// Broken data files through the title screen's load, as the program meets them
// at start: every one ends in the error box and the end of the program with
// status 1, never a crash and never the title. The files are in bad/ (each
// name says what is wrong with it); a missing file, a folder in the file's
// place and files too big to keep in the repository are made here.

#include "common/peer.h"

#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/frmTitle.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace {

const QString Failure = QStringLiteral("An error has occured loading the chicken data file, it "
                                       "may be corrupt or may not exist.  Quitting.");

constexpr qsizetype Huge = qsizetype(64) << 20;

QString dataFile() {
    return QCoreApplication::applicationDirPath() + "/chicken.dat";
}

void removeDataFile() {
    if (QFileInfo(dataFile()).isDir())
        QDir(dataFile()).removeRecursively();
    else
        QFile::remove(dataFile());
}

// `head`, then `fill` repeated to make the file `Huge` bytes long.
bool writeHuge(const QByteArray& head, char fill) {
    QFile file(dataFile());
    if (!file.open(QIODevice::WriteOnly) || file.write(head) != head.size())
        return false;
    const QByteArray block(1 << 20, fill);
    for (qsizetype written = head.size(); written < Huge; written += block.size())
        if (file.write(block) != block.size())
            return false;
    return true;
}

} // namespace

using namespace screens;

class TestBadFiles : public QObject {
    Q_OBJECT

    // Puts the data file in place as `source` says: a file of bad/, or one of
    // the cases made here.
    static bool makeDataFile(const QString& source) {
        const QByteArray nineteen = "3,7,\"Rosie\",57,51,186,276,291,30,21,27,21,24,27,21,36,45,48,"
                                    "#TRUE#";
        if (source == "<missing>")
            return !QFileInfo::exists(dataFile());
        if (source == "<folder>")
            return QDir().mkpath(dataFile());
        if (source == "<huge name>")
            return writeHuge("3,7,\"", 'a');
        if (source == "<huge tail>")
            return writeHuge(nineteen + "\r\n", ' ');
        if (source == "<huge number>")
            return writeHuge(QByteArray(), '7');
        return QFile::copy(QStringLiteral(QUORVEL_BAD_FILES "/") + source, dataFile());
    }

private slots:
    void init() {
        resetAll();
        removeDataFile();
    }
    void cleanupTestCase() {
        resetAll();
        // The folder is shared with the other screen suites: leave the sample the
        // build put there.
        removeDataFile();
        QVERIFY(QFile::copy(QStringLiteral(QUORVEL_ASSETS "/chickens/rosie.dat"), dataFile()));
    }

    void endsTheProgram_data() {
        QTest::addColumn<QString>("source");
        const QStringList files =
            QDir(QStringLiteral(QUORVEL_BAD_FILES)).entryList({"*.dat"}, QDir::Files, QDir::Name);
        QVERIFY(files.size() >= 30);
        for (const QString& file : files)
            QTest::newRow(qPrintable(file)) << file;
        QTest::newRow("missing") << "<missing>";
        QTest::newRow("a folder in its place") << "<folder>";
        QTest::newRow("64 MB name, never closed") << "<huge name>";
        QTest::newRow("19 fields, then 64 MB of blanks") << "<huge tail>";
        QTest::newRow("a number of 64 MB digits") << "<huge number>";
    }
    void endsTheProgram() {
        QFETCH(QString, source);
        QVERIFY(makeDataFile(source));
        QElapsedTimer clock;
        clock.start();
        Forms::show<frmTitle>();
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(recorded().boxes, QStringList{Failure});
        QCOMPARE(recorded().captions, QStringList{"Error"});
        QVERIFY(platform::programEnded());
        QCOMPARE(platform::endStatus(), 1);
        QVERIFY(!Forms::get<frmTitle>().isVisible());
        QVERIFY2(elapsed < 10000, qPrintable(QString::number(elapsed)));
    }
};

QTEST_MAIN(TestBadFiles)
#include "test_badfiles.moc"
