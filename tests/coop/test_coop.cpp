// The Chicken Coop as a player meets it: the terminal commands with their exit
// statuses and messages, and the window, whose every control a keyboard and a
// screen reader reach, and which writes nothing until Save.

#include "coop/CoopWindow.h"
#include "core/ChickenFile.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestCoop : public QObject {
    Q_OBJECT

    QTemporaryDir home; // the user's data location for every case

    QString ownChicken() const { return home.filePath(QStringLiteral("quorvel/chicken.dat")); }
    // The sample the build puts beside the game: the coop shows it until the
    // player saves a chicken of their own.
    static QString sampleName() {
        return QString::fromLatin1(
            chickenfile::load(QUORVEL_BUILD_DIR "/chicken.dat").value_or(ChickenRecord{}).Name);
    }

private slots:
    void init() {
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        QFile::remove(ownChicken());
    }

    void commands_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output"); // a piece of stdout, or of stderr on failure
        QTest::addColumn<bool>("saved");     // the player's chicken exists afterwards
        const QString broken = QStringLiteral(QUORVEL_BAD_FILES "/nineteen-fields.dat");
        QTest::newRow("show: the sample, with no chicken of one's own")
            << QStringList{"--show"} << 0
            << "This is the sample chicken beside the game: the game fights with it while you "
               "have no chicken of your own. Hatch one and save it to make it yours.\nName: " +
                   sampleName() + "\n"
            << false;
        QTest::newRow("show: a flock chicken")
            << QStringList{"--show", QUORVEL_ASSETS "/chickens/bruno.dat"} << 0
            << "Name: Bruno, the Brave\nPortrait: 7\nKick power: 18\nPeck power: 6\nSpeed: 42\n"
               "Obedience: 72\nHit points: 118\nKick skill: 15\nPeck skill: 5\nCan peck: yes\n"
               "Can combo: no\n"
            << false;
        QTest::newRow("show: a broken file")
            << QStringList{"--show", broken} << 1 << "is damaged" << false;
        QTest::newRow("show: a folder")
            << QStringList{"--show", QUORVEL_ASSETS "/chickens"} << 1 << "cannot be read" << false;
        QTest::newRow("show: a cheater, which the game refuses")
            << QStringList{"--show", QUORVEL_ASSETS "/chickens/cheater.dat"} << 1 << "Cheater!"
            << false;
        QTest::newRow("hatch, portrait 0 as asked")
            << QStringList{"--hatch", "Hénriette, the Bold", "--portrait", "0"} << 0
            << "Name: Hénriette, the Bold\nPortrait: 0\n"
            << true;
        QTest::newRow("hatch: it pecks") << QStringList{"--hatch", "Pip"} << 0 << "Can peck: yes\n"
                                         << true;
        QTest::newRow("hatch: refused name")
            << QStringList{"--hatch", "Big \"Red\""} << 1 << "double quote" << false;
        QTest::newRow("hatch: portrait out of range")
            << QStringList{"--hatch", "Pip", "--portrait", "15"} << 2 << "0 to 14" << false;
        QTest::newRow("unknown option") << QStringList{"--fly"} << 2 << "Unknown option" << false;
    }
    void commands() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        QFETCH(bool, saved);
        QProcess coop;
        coop.start(QStringLiteral(QUORVEL_COOP), arguments);
        QVERIFY(coop.waitForFinished(20000));
        const QString out = QString::fromUtf8(coop.readAllStandardOutput());
        const QString err = QString::fromUtf8(coop.readAllStandardError());
        QCOMPARE(coop.exitStatus(), QProcess::NormalExit);
        QCOMPARE(coop.exitCode(), status);
        QVERIFY2((status == 0 ? out : err).contains(output), qPrintable(out + err));
        QCOMPARE(QFile::exists(ownChicken()), saved);
        if (saved)
            QVERIFY(chickenfile::load(QFile::encodeName(ownChicken()).toStdString()));
    }

    // Every control a player can reach says what it is; nothing is written before
    // Save, and Save writes the player's own chicken.
    void windowReachableAndWritesOnlyOnSave() {
        CoopWindow window(QStringLiteral(QUORVEL_BUILD_DIR));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // No chicken of the player's own: the sample the game fights with, named as such.
        auto* stats = window.findChild<QLabel*>(QStringLiteral("lblStats"));
        QVERIFY(stats->text().startsWith(QStringLiteral("Name: ") + sampleName() + '\n'));
        QVERIFY(window.findChild<QLabel*>(QStringLiteral("lblMessage"))->text().contains("sample"));
        // A screen reader reads what the labels show, every stat included.
        QCOMPARE(QAccessible::queryAccessibleInterface(stats)->text(QAccessible::Name),
                 stats->text());
        for (QWidget* control : window.findChildren<QWidget*>()) {
            if (control->isVisible() && (control->focusPolicy() & Qt::TabFocus))
                QVERIFY2(!QAccessible::queryAccessibleInterface(control)
                              ->text(QAccessible::Name)
                              .isEmpty(),
                         qPrintable(control->objectName()));
        }
        auto* flock = window.findChild<QComboBox*>(QStringLiteral("cboFlock"));
        QCOMPARE(flock->count(), 3); // the cheater is not in the flock
        flock->setCurrentIndex(flock->findText(QStringLiteral("Pip")));
        window.findChild<QPushButton*>(QStringLiteral("cmdPick"))->click();
        QVERIFY(!QFile::exists(ownChicken()));
        window.findChild<QPushButton*>(QStringLiteral("cmdSave"))->click();
        const auto saved = chickenfile::load(QFile::encodeName(ownChicken()).toStdString());
        QVERIFY(saved);
        QCOMPARE(saved->Name, std::string("Pip"));
    }
};

QTEST_MAIN(TestCoop)
#include "test_coop.moc"
