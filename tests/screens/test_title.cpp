// Start-up and the title screen, with the boxes and the program's end replaced:
// the splash's hand-over, loading the chicken, "Cheater!", and the choice of
// hosting or joining.

#include "common/peer.h"

#include "net/LocalAddress.h"
#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmTitle.h"
#include "screens/frmWinSock2.h"
#include "screens/frmWinsock1.h"
#include "screens/frmtamberlo.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace screens;

namespace {

// Where the chickens are (samples from the flock, or a path) and the one fought;
// an empty name: the error box.
struct Place {
    const char* name;
    const char* option;  // the --chicken file
    const char* own;     // the player's own chicken
    const char* program; // chicken.dat beside the program
    const char* fought;
};
constexpr const char* Broken = QUORVEL_BAD_FILES "/nineteen-fields.dat";
const Place Places[] = {
    {"option first", "bruno.dat", "pip.dat", "rosie.dat", "Bruno, the Brave"},
    {"own chicken next", "", "pip.dat", "rosie.dat", "Pip"},
    {"program folder last", "", "", "rosie.dat", "Rosie"},
    {"broken option", Broken, "pip.dat", "rosie.dat", ""},
    {"missing option", "missing.dat", "pip.dat", "rosie.dat", ""},
    {"broken own chicken", "", Broken, "rosie.dat", ""},
    {"broken program folder", "", "", Broken, ""},
    {"none anywhere", "", "", "", ""},
    {"a cheater", "", "", "cheater.dat", "Cheater!"},
};

// Pressed by click or access key; the answers given (each the next prompt's
// default); the box
// with a refused address; the address joined, or none: the title hosts then.
struct Prompt {
    const char* name;
    bool keys;
    const char* answers[2];
    const char* box;
    const char* host;
    bool removed; // the chicken, while the title hosts
};
const Prompt Prompts[] = {
    {"cancelled, then host", false, {""}, "", "", false},
    {"Alt+C cancelled, then Alt+S, chicken removed", true, {""}, "", "", true},
    {"the default", false, {"<default>"}, "", "000.000.000.000", false},
    {"port 70000", false, {"11.0.1.2:70000", "[::5]:1426"}, "1 to 65535", "[::5]:1426", false},
};

} // namespace

class TestTitle : public QObject {
    Q_OBJECT

    QStringList prompts;
    QStringList answers;      // given in turn, "<default>" for the default; then cancelled
    QStringList joinedBefore; // what the last prompt offered of them

    static QString dataFile() { return QCoreApplication::applicationDirPath() + "/chicken.dat"; }

    // Puts a sample from the flock (or a file by its full path) at `path`, or
    // nothing when `sample` is empty; a missing sample leaves no file either.
    static void put(const QString& sample, const QString& path = dataFile()) {
        QFile::remove(path);
        if (sample.isEmpty())
            return;
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        const QString source =
            sample.startsWith('/') ? sample : QStringLiteral(QUORVEL_ASSETS "/chickens/") + sample;
        QVERIFY(!QFile::exists(source) || QFile::copy(source, path));
    }
    static void errorEndsTheProgram() {
        QCOMPARE(recorded().boxes,
                 QStringList{"An error has occured loading the chicken data file, it may be "
                             "corrupt or may not exist.  Quitting."});
        QCOMPARE(recorded().captions, QStringList{"Error"});
        QVERIFY(platform::programEnded());
        QCOMPARE(platform::endStatus(), 1);
    }

private slots:
    void init() {
        resetAll();
        prompts.clear();
        answers.clear();
        platform::seams().inputBox = [this](const QString& prompt, const QString& defaultAnswer,
                                            const platform::HeardHosts* heard) {
            prompts << prompt + "|" + defaultAnswer;
            joinedBefore = heard->joinedBefore();
            const QString given = answers.isEmpty() ? QString() : answers.takeFirst();
            return given == "<default>" ? defaultAnswer : given;
        };
        put(QStringLiteral("rosie.dat"));
    }
    void cleanupTestCase() {
        resetAll();
        // The folder is shared with the other screen suites: leave the sample the
        // build put there.
        put(QStringLiteral("rosie.dat"));
    }

    void splashHandsOverToTheTitleAfter2200ms() {
        QElapsedTimer clock;
        clock.start();
        Forms::show<frmtamberlo>();
        frmtamberlo& splash = Forms::get<frmtamberlo>();
        QVERIFY(splash.isVisible());
        QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QTRY_COMPARE(recorded().sounds, QStringList{"1.wav"});
        QVERIFY(!splash.pic->pixmap().isNull());
        QVERIFY(splash.Label1->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(Forms::loaded<frmTitle>(), 4000);
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 2150 && elapsed < 2700, qPrintable(QString::number(elapsed)));
        QVERIFY(!Forms::loaded<frmtamberlo>());
        frmTitle& title = Forms::get<frmTitle>();
        QVERIFY(title.isVisible());
        QCOMPARE(title.Text1->text(), net::localIP());
        QCOMPARE(title.windowTitle(), QStringLiteral("Quorvel"));
        QCOMPARE(title.size(), QSize(197, 55));
        QVERIFY(!(title.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(title.Command1->geometry(), QRect(8, 8, 89, 17));
        QCOMPARE(title.Command2->geometry(), QRect(8, 32, 89, 17));
        QCOMPARE(title.Text1->geometry(), QRect(104, 32, 89, 14));
        QVERIFY(title.Text1->isReadOnly());
        QVERIFY(!(title.Text1->focusPolicy() & Qt::TabFocus));
        QCOMPARE(title.findChild<QPushButton*>("Command1"), title.Command1);
        QVERIFY(recorded().boxes.isEmpty());
    }

    // Which chicken the title's load reads: --chicken, else the player's own,
    // else the program folder's. A broken file in the first place that applies
    // ends the program with the error box; it never falls back to the next. A
    // cheater's chicken ends it with "Cheater!".
    void chickenComesFromTheFirstPlaceThatApplies_data() { addRows(Places); }
    void chickenComesFromTheFirstPlaceThatApplies() {
        const Place& r = row(Places);
        const QString option(r.option), fought(r.fought);
        QTemporaryDir dir;
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        put(r.program);
        put(r.own, dir.filePath("data/quorvel/chicken.dat"));
        put(option, dir.filePath("option.dat"));
        if (!option.isEmpty())
            Vars::ChickenOption = QFile::encodeName(dir.filePath("option.dat")).toStdString();

        Forms::show<frmTitle>();
        qunsetenv("XDG_DATA_HOME");
        if (fought.isEmpty()) {
            errorEndsTheProgram();
            QVERIFY(!Forms::get<frmTitle>().isVisible());
        } else if (fought == "Cheater!") {
            QCOMPARE(recorded().boxes, QStringList{"Cheater!"});
            QCOMPARE(recorded().captions, QStringList{"Quorvel"});
            QCOMPARE(platform::endStatus(), 1);
            QVERIFY(!Forms::get<frmTitle>().isVisible());
        } else {
            QVERIFY(recorded().boxes.isEmpty());
            QVERIFY(Forms::get<frmTitle>().isVisible());
            QCOMPARE(QString::fromLatin1(Vars::OwnChicken.Name.c_str()), fought);
            QVERIFY(!platform::programEnded());
            if (fought == "Rosie")
                QCOMPARE(QString::fromStdString(Vars::ChickenPath), dataFile());
        }
    }

    // The address prompt, by click or access key: cancelled it keeps the title,
    // which can host then; an address opens the join screen; one that is none is
    // refused with a box and the prompt comes back with it.
    void addressPrompt_data() { addRows(Prompts); }
    void addressPrompt() {
        const Prompt& r = row(Prompts);
        const QString host(r.host);
        Forms::show<frmTitle>();
        frmTitle& title = Forms::get<frmTitle>();
        QStringList expected{"Enter Address|000.000.000.000"};
        for (const char* given : r.answers)
            if (given != nullptr)
                answers << given, expected << "Enter Address|" + QString(given);
        expected.removeLast();
        const auto press = [&](QPushButton* button, Qt::Key key) {
            if (!r.keys)
                return button->click();
            QApplication::setActiveWindow(&title);
            QVERIFY(QTest::qWaitForWindowActive(&title));
            QTest::keyClick(title.windowHandle(), key, Qt::AltModifier);
        };
        press(title.Command2, Qt::Key_C);
        QTRY_COMPARE(Vars::GameMode, uint8_t(2)); // an access key clicks a moment later
        QCOMPARE(prompts, expected);
        QCOMPARE(QString::fromStdString(Vars::HostAddress), host);
        QCOMPARE(recorded().boxes.size(), *r.box ? 1 : 0);
        QVERIFY(recorded().boxes.join("").contains(r.box));
        QCOMPARE(Forms::loaded<frmWinSock2>(), !host.isEmpty());
        if (!host.isEmpty()) {
            QVERIFY(Forms::get<frmWinSock2>().isVisible() && !Forms::loaded<frmTitle>());
            return;
        }
        QCOMPARE(recorded().sounds, QStringList{"0.wav"});
        QVERIFY(title.isVisible());
        press(title.Command1, Qt::Key_S);
        QTRY_COMPARE(Vars::GameMode, uint8_t(1));
        QVERIFY(Forms::loaded<frmWinsock1>() && Forms::get<frmWinsock1>().isVisible());
        QVERIFY(!Forms::loaded<frmTitle>());
        // Closing the host screen brings the title back with the chicken read
        // again; removed in the meantime, the data-file error ends the program.
        Vars::OwnChicken.HitPoints = -7;
        if (r.removed)
            put(QString());
        Forms::get<frmWinsock1>().close();
        if (r.removed)
            return errorEndsTheProgram();
        QVERIFY(!Forms::loaded<frmWinsock1>());
        QVERIFY(Forms::loaded<frmTitle>() && Forms::get<frmTitle>().isVisible());
        QVERIFY(Vars::OwnChicken.HitPoints > 0);
    }

    // The addresses joined are kept: the five most recent, the most recent first,
    // each once. The next prompt offers them, the most recent in its field.
    void joinedAddressesAreOfferedNextTime_data() {
        QTest::addColumn<QStringList>("joins");
        QTest::addColumn<QStringList>("offered");
        QTest::newRow("a join is remembered")
            << QStringList{" 11.0.1.2:1426 "} << QStringList{"11.0.1.2:1426"};
        QTest::newRow("five kept, most recent first")
            << QStringList{"11.0.1.1", "11.0.1.2", "11.0.1.3",
                           "11.0.1.4", "11.0.1.5", "[2001:db8::5]:1426"}
            << QStringList{"[2001:db8::5]:1426", "11.0.1.5", "11.0.1.4", "11.0.1.3", "11.0.1.2"};
        QTest::newRow("a repeat moves to the front")
            << QStringList{"11.0.1.1", "11.0.1.2", "11.0.1.3", "11.0.1.2"}
            << QStringList{"11.0.1.2", "11.0.1.3", "11.0.1.1"};
    }
    void joinedAddressesAreOfferedNextTime() {
        QFETCH(QStringList, joins);
        QFETCH(QStringList, offered);
        for (const QString& address : joins) {
            Forms::show<frmTitle>();
            answers = QStringList{address};
            Forms::get<frmTitle>().Command2->click();
            Forms::unloadAll();
        }
        prompts.clear();
        Forms::show<frmTitle>();
        Forms::get<frmTitle>().Command2->click();
        QCOMPARE(joinedBefore, offered);
        QCOMPARE(prompts, QStringList{"Enter Address|" + offered.first()});
    }
};

QTEST_MAIN(TestTitle)
#include "test_title.moc"
