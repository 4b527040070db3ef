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

} // namespace

class TestTitle : public QObject {
    Q_OBJECT

    QStringList prompts;
    QStringList answers; // given in turn; then `answer`, "<default>" for the default
    QString answer;
    QStringList joinedBefore; // what the last prompt offered of them

    static QString dataFile() { return QCoreApplication::applicationDirPath() + "/chicken.dat"; }

    static void useChicken(const QString& sample) {
        QFile::remove(dataFile());
        if (!sample.isEmpty())
            QVERIFY(QFile::copy(QStringLiteral(QUORVEL_ASSETS "/chickens/") + sample, dataFile()));
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
        answer.clear();
        answers.clear();
        platform::seams().inputBox = [this](const QString& prompt, const QString& defaultAnswer,
                                            const platform::HeardHosts* heard) {
            prompts << prompt + "|" + defaultAnswer;
            joinedBefore = heard->joinedBefore();
            if (!answers.isEmpty())
                return answers.takeFirst();
            return answer == "<default>" ? defaultAnswer : answer;
        };
        useChicken(QStringLiteral("rosie.dat"));
    }
    void cleanupTestCase() {
        resetAll();
        // The folder is shared with the other screen suites: leave the sample the
        // build put there.
        useChicken(QStringLiteral("rosie.dat"));
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
        QVERIFY(recorded().boxes.isEmpty());
    }

    void titleLoadsTheChicken() {
        Forms::show<frmTitle>();
        QVERIFY(Forms::get<frmTitle>().isVisible());
        QVERIFY(!Vars::OwnChicken.Name.empty());
        QVERIFY(Vars::OwnChicken.HitPoints > 0);
        QCOMPARE(Vars::ChickenPath,
                 (QCoreApplication::applicationDirPath() + "/chicken.dat").toStdString());
        QVERIFY(!platform::programEnded());
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
        const auto place = [&](const QString& sample, const QString& path) {
            if (sample.isEmpty())
                return;
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            QFile::remove(path);
            const QString source = sample.startsWith('/')
                                       ? sample
                                       : QStringLiteral(QUORVEL_ASSETS "/chickens/") + sample;
            QVERIFY(!QFile::exists(source) || QFile::copy(source, path));
        };
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        useChicken(QString());
        place(r.program, dataFile());
        place(r.own, dir.filePath("data/quorvel/chicken.dat"));
        place(option, dir.filePath("option.dat"));
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
        }
    }

    void cancelAtTheAddressPromptKeepsTheTitle() {
        Forms::show<frmTitle>();
        frmTitle& title = Forms::get<frmTitle>();
        answer = QString();
        title.Command2->click();
        QCOMPARE(prompts, QStringList{"Enter Address|000.000.000.000"});
        QCOMPARE(Vars::GameMode, uint8_t(2));
        QVERIFY(Vars::HostAddress.empty());
        QCOMPARE(recorded().sounds, QStringList{"0.wav"});
        QVERIFY(title.isVisible());
        QVERIFY(!Forms::loaded<frmWinSock2>());

        // The title can be used again: hosting now.
        title.Command1->click();
        QCOMPARE(Vars::GameMode, uint8_t(1));
        QVERIFY(Forms::loaded<frmWinsock1>());
        QVERIFY(Forms::get<frmWinsock1>().isVisible());
        QVERIFY(!Forms::loaded<frmTitle>());
    }

    void defaultAddressOpensTheJoinScreen() {
        Forms::show<frmTitle>();
        answer = QStringLiteral("<default>");
        Forms::get<frmTitle>().Command2->click();
        QCOMPARE(Vars::HostAddress, std::string("000.000.000.000"));
        QVERIFY(Forms::loaded<frmWinSock2>());
        QVERIFY(Forms::get<frmWinSock2>().isVisible());
        QVERIFY(!Forms::loaded<frmTitle>());
    }

    void anAddressThatIsNoneIsRefusedAndThePromptComesBack() {
        Forms::show<frmTitle>();
        answers = QStringList{"11.0.1.2:70000", "[2001:db8::5]:1426"};
        Forms::get<frmTitle>().Command2->click();
        QCOMPARE(recorded().boxes.size(), 1);
        QVERIFY(recorded().boxes[0].contains("1 to 65535"));
        QCOMPARE(prompts,
                 QStringList({"Enter Address|000.000.000.000", "Enter Address|11.0.1.2:70000"}));
        QCOMPARE(Vars::HostAddress, std::string("[2001:db8::5]:1426"));
        QVERIFY(Forms::loaded<frmWinSock2>());
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

    void accessKeysActLikeClicks() {
        Forms::show<frmTitle>();
        frmTitle& title = Forms::get<frmTitle>();
        QApplication::setActiveWindow(&title);
        QVERIFY(QTest::qWaitForWindowActive(&title));
        answer = QString();
        // An access key presses the button visibly, so the click lands a moment later.
        QTest::keyClick(title.windowHandle(), Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(Vars::GameMode, uint8_t(2));
        QCOMPARE(prompts.size(), 1);
        QApplication::setActiveWindow(&title);
        QTest::keyClick(title.windowHandle(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(Vars::GameMode, uint8_t(1));
        QVERIFY(Forms::loaded<frmWinsock1>());
    }

    void closingTheHostScreenBringsTheTitleBackWithTheChickenReRead() {
        Forms::show<frmTitle>();
        Forms::get<frmTitle>().Command1->click();
        QVERIFY(Forms::loaded<frmWinsock1>());
        Vars::OwnChicken.HitPoints = -7;
        Forms::get<frmWinsock1>().close();
        QVERIFY(!Forms::loaded<frmWinsock1>());
        QVERIFY(Forms::loaded<frmTitle>());
        QVERIFY(Forms::get<frmTitle>().isVisible());
        QVERIFY(Vars::OwnChicken.HitPoints > 0);

        // Removed in the meantime: the data-file error ends the program.
        Forms::get<frmTitle>().Command1->click();
        useChicken(QString());
        Forms::get<frmWinsock1>().close();
        errorEndsTheProgram();
    }

    void layoutFollowsTheDesign() {
        Forms::show<frmTitle>();
        frmTitle& title = Forms::get<frmTitle>();
        QCOMPARE(title.windowTitle(), QStringLiteral("Quorvel"));
        QCOMPARE(title.size(), QSize(197, 55));
        QVERIFY(!(title.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(title.Command1->geometry(), QRect(8, 8, 89, 17));
        QCOMPARE(title.Command2->geometry(), QRect(8, 32, 89, 17));
        QCOMPARE(title.Text1->geometry(), QRect(104, 32, 89, 14));
        QVERIFY(title.Text1->isReadOnly());
        QVERIFY(!(title.Text1->focusPolicy() & Qt::TabFocus));
        QCOMPARE(title.findChild<QPushButton*>("Command1"), title.Command1);
    }
};

QTEST_MAIN(TestTitle)
#include "test_title.moc"
