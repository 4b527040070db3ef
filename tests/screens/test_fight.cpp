// The fight screen's wiring in a real match against a scripted peer, as host and
// as joiner: layout and what it shows, each control and the bytes it sends, each
// kind of arrival and where it shows, and each way a match ends. The rules and
// the exchange themselves are the match core's (tests/core/test_match).

#include "common/peer.h"

#include "common/ProgramRandom.h"
#include "net/Winsock.h"
#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"
#include "screens/frmWinSock2.h"
#include "screens/frmWinsock1.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace screens;

namespace {

QByteArray chargeMessages(int from, int to) {
    QByteArray bytes;
    for (int charge = from; charge <= to; ++charge)
        bytes += "J" + QByteArray::number(charge);
    return bytes;
}

struct Show {
    const char* name;
    int portrait;
    const char* opponent;
    bool huge; // then a name of 1 MB
    bool pictured;
};
const Show Shows[] = {
    {"first portrait", 0, "Bob", false, true},
    {"last portrait", 14, "Bob", false, true},
    {"past the gallery", 15, "Bob", false, false},
    {"negative", -1, "Bob", false, false},
    {"markup, a Latin-1 letter", 4, "<b>Zed</b>\xe9", false, true},
    {"1 MB", 4, "", true, true},
};

// Rolls: attack, defence, then the line's Random(1, 3).
struct Control {
    const char* name;
    int mode, canPeck, canCombo, key, action, attack, defence, lineRoll;
    const char* sent;
    const char* line;
    int hpAfter;
};
const Control Controls[] = {
    {"host: Kick", 1, -1, -1, 0, 0, 7, 3, 2, "K4", "Rex whacks Bob for 4 point(s)!", 26},
    {"join: Alt+K", 2, 0, 0, Qt::Key_K, 0, 9, 8, 1, "K1", "Rex does 1 point(s) of damage!", 29},
    {"host: Alt+P, a miss", 1, -1, 0, Qt::Key_P, 1, 5, 5, 2, "", "Rex does no damage.", 30},
    {"join: Alt+C", 2, 0, -1, Qt::Key_C, 2, 20, 1, 3, "K19", "Rex attacks for 19 damage!", 11},
    {"host: Combo", 1, -1, -1, 0, 2, 3, 9, 1, "", "Rex's attack has been deflected.", 30},
};

// Line: empty when the start line stays. Sound 7.wav: the hit sound, rolled 4.
// The arrival "A*" stands for a name of 1 MB.
struct Arrival {
    const char* name;
    int mode;
    const char* arrivals[2];
    int lineRoll;
    const char* line;
    int ownHp, bar2;
    const char* sound;
    bool refreshed;
};
const Arrival Arrivals[] = {
    {"host: charge", 1, {"J7"}, 0, "", 10, 7, "", false},
    {"join: later charge", 2, {"J3", "J8"}, 0, "", 10, 8, "", false},
    {"host: refusal", 1, {"10"}, 0, "Bob refuses to fight.", 10, 0, "", false},
    {"join: damage", 2, {"K3"}, 1, "Bob does 3 point(s) of damage!", 7, 0, "7.wav", false},
    {"host: damage", 1, {"K4"}, 2, "Bob whacks Rex for 4 point(s)!", 6, 0, "7.wav", false},
    {"join: no damage", 2, {"K0"}, 3, "Bob misses.", 10, 0, "9.wav", true},
    {"host: K-4", 1, {"K-4"}, 1, "Bob's attack has been deflected.", 10, 0, "9.wav", true},
    {"join: raw", 2, {"A<b>\x01\xff", "10"}, 0, "<b>\x01\xff refuses to fight.", 10, 0, "", false},
    {"host: name of 1 MB", 1, {"A*"}, 0, "", 10, 0, "", false},
};

// How: "kick" (Rex's finishing kick), "cross" (the peer strikes back as it reads it), "K10"
// (the peer's losing blow), "window" (closed), "close" (the peer), "send fails".
struct End {
    const char* name;
    int mode;
    const char* how;
    const char* box;
    int status;
};
const char* const Left = "The other player has left the match.";
const End Ends[] = {
    {"host: won, the peer closes", 1, "kick, close", "You Win!", 0},
    {"join: won, window closed first", 2, "kick, window", "You Win!", 0},
    {"host: won at the bound", 1, "kick", "You Win!", 0},
    {"join: finishing blows cross", 2, "cross", "Draw!", 0},
    {"host: lost", 1, "K10", "You Lose!", 0},
    {"join: lost, then the peer closes", 2, "K10, close", "You Lose!", 0},
    {"host: the peer closes", 1, "close", Left, 1},
    {"join: the peer closes", 2, "close", Left, 1},
    {"host: a send fails", 1, "send fails", Left, 1},
    {"join: a send fails", 2, "send fails", Left, 1},
    {"host: the window closed", 1, "window", "", 1},
};

} // namespace

class TestFight : public QObject {
    Q_OBJECT

    // Kick: A = 12 + 5, D = Bob's PeckPower 8. Peck: A = 6 + 8, D = 8.
    // Combo: A = 12 + 8, D = Bob's 12 + 8.
    ChickenRecord rex = chicken("Rex", 10, 100, 100);
    ChickenRecord bob = chicken("Bob", 30);

    static frmFight& fight() { return Forms::get<frmFight>(); }

    // Connects as `gameMode` says and opens the fight, as the wait before it does.
    static bool openFight(Peer& peer, int gameMode) {
        if (!startMatch(peer, gameMode))
            return false;
        Forms::show<frmFight>();
        peer.forget();
        return true;
    }

private slots:
    void init() {
        resetAll();
        rex.CanPeck = rex.CanCombo = -1;
        Vars::OwnChicken = rex;
        Vars::OpponentChicken = bob;
    }
    void cleanupTestCase() { resetAll(); }

    // The layout, and the opponent's portrait and name; a name shows as plain
    // text, cut short when huge, without holding the screen up.
    void shows_data() { addRows(Shows); }
    void shows() {
        const Show& r = row(Shows);
        const QString shown = r.huge ? QString(1000, 'x') : QString::fromLatin1(r.opponent);
        Vars::OwnChicken.Speed = 0;
        Vars::OpponentChicken.PortraitIndex = int16_t(r.portrait);
        Vars::OpponentChicken.Name = r.huge ? std::string(1 << 20, 'x') : r.opponent;
        QElapsedTimer clock;
        clock.start();
        Forms::show<frmFight>();
        frmFight& f = fight();
        QCOMPARE(f.tmr1->interval(), 1010);
        QVERIFY(f.tmr1->isActive());
        f.tmr1->stop();
        QTest::qWait(50);
        f.repaint();
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(f.pic[1]->pixmap().isNull(), !r.pictured);
        QVERIFY(!f.pic[0]->pixmap().isNull());
        QCOMPARE(f.pic[1]->palette().color(QPalette::Window), QColor(Qt::black));
        QVERIFY(f.pic[1]->autoFillBackground());
        QCOMPARE(f.Label1[5]->text(), "Name: " + shown);
        QCOMPARE(f.txt->text(), ("Rex VS " + shown).left(1000));
        QCOMPARE(f.Label1[5]->textFormat(), Qt::PlainText);
        QCOMPARE(f.txt->textFormat(), Qt::PlainText);

        QCOMPARE(QStringList({f.objectName(), f.windowTitle(), f.Label1[0]->text(),
                              f.Label1[1]->text(), f.Label1[4]->text(), f.pic[0]->toolTip(),
                              f.cmd[0]->text(), f.cmd[1]->text(), f.cmd[2]->text()}),
                 QStringList({"frmFight", "Fight!", "HP:   10", "HP:   30", "Name: Rex",
                              "Chicken Portrait", "&Kick", "&Peck", "&Combo"}));
        QCOMPARE(f.size(), QSize(236, 224));
        QVERIFY(f.windowFlags().testFlag(Qt::Tool));
        QVERIFY(!f.windowIcon().availableSizes().isEmpty());
        const QList<std::pair<QWidget*, QRect>> boxes = {
            {f.pic[0], {8, 8, 49, 49}},      {f.pic[1], {8, 120, 49, 49}},
            {f.bar1, {0, 96, 97, 9}},        {f.bar2, {0, 208, 97, 9}},
            {f.Label1[2], {120, 8, 45, 14}}, {f.cmd[0], {184, 8, 49, 17}},
            {f.cmd[1], {184, 32, 49, 17}},   {f.cmd[2], {184, 56, 49, 17}},
            {f.txt, {112, 128, 121, 49}}};
        for (const auto& [widget, rect] : boxes)
            QCOMPARE(widget->geometry(), rect);
        QCOMPARE(f.Label1[4]->pos(), QPoint(0, 80));
        QCOMPARE(f.Label1[5]->pos(), QPoint(0, 192));
        QVERIFY(f.Label1[4]->width() >= f.Label1[4]->fontMetrics().horizontalAdvance("Name: Rex"));
        for (QPushButton* b : f.cmd)
            QVERIFY(!b->isEnabled());
        QCOMPARE(f.bar1->maximum(), 10);
        QVERIFY(!f.bar1->isTextVisible());

        // The Tab key visits the controls that take focus in this order.
        QStringList chain{f.pic[1]->objectName()};
        for (QWidget* w = f.pic[1]->nextInFocusChain(); w != f.pic[1]; w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus)
                chain << w->objectName();
        QCOMPARE(chain, QStringList({"pic(1)", "pic(0)", "cmd(0)", "cmd(1)", "cmd(2)"}));
    }

    // Each control, once charged: what is on offer, the bytes the peer sees, what
    // the screen shows, and the charge starting again from 1.
    void controls_data() { addRows(Controls); }
    void controls() {
        const Control& r = row(Controls);
        Vars::OwnChicken.CanPeck = int16_t(r.canPeck);
        Vars::OwnChicken.CanCombo = int16_t(r.canCombo);
        const QByteArray sent(r.sent);
        Peer peer;
        QVERIFY(openFight(peer, r.mode));
        frmFight& f = fight();
        QTRY_VERIFY(f.cmd[0]->isEnabled());
        QCOMPARE(f.cmd[1]->isEnabled(), r.canPeck != 0);
        QCOMPARE(f.cmd[2]->isEnabled(), r.canCombo != 0);
        QVERIFY(!f.tmr1->isActive());
        QCOMPARE(f.bar1->value(), 10);
        const QByteArray charged = chargeMessages(1, 10);
        QVERIFY(peer.waitForBytes(charged.size()));
        QCOMPARE(peer.received(), charged);
        f.tmr1->setInterval(1000); // no charge tick while the action is checked
        {
            const int a[] = {17, 14, 20}, d[] = {8, 8, 20};
            ProgramRandom script;
            script.roll(1, a[r.action], r.attack)
                .roll(1, d[r.action], r.defence)
                .roll(1, 3, r.lineRoll);
            if (!sent.isEmpty())
                script.roll(1, 5, 1); // the hit sound
            if (r.key != 0) {
                f.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&f));
                QTest::keyClick(&f, Qt::Key(r.key), Qt::AltModifier);
            } else {
                f.cmd[size_t(r.action)]->click();
            }
            QTRY_VERIFY(script.exhausted()); // an access key clicks a moment later
        }
        QCOMPARE(f.txt->text(), r.line);
        QCOMPARE(f.Label1[1]->text(), "HP:   " + QString::number(r.hpAfter));
        QCOMPARE(recorded().sounds, QStringList{sent.isEmpty() ? "9.wav" : "2.wav"});
        for (QPushButton* b : f.cmd)
            QVERIFY(!b->isEnabled());
        QCOMPARE(f.bar1->value(), 1);
        f.tmr1->setInterval(10);
        QTRY_VERIFY(f.cmd[0]->isEnabled());
        const QByteArray all = charged + sent + chargeMessages(2, 10);
        QVERIFY(peer.waitForBytes(all.size()));
        QCOMPARE(peer.received(), all);
    }

    void refusalSendsTheRefusalAndChargesAgain() {
        Vars::OwnChicken.Obedience = 0;
        Peer peer;
        QVERIFY(openFight(peer, 1));
        const QByteArray expected = chargeMessages(1, 10) + "10" + chargeMessages(2, 10) + "10";
        QVERIFY(peer.waitForBytes(expected.size()));
        QCOMPARE(peer.received().left(expected.size()), expected);
        QCOMPARE(fight().txt->text(), "Rex refuses to fight.");
        for (QPushButton* b : fight().cmd)
            QVERIFY(!b->isEnabled());
        fight().tmr1->stop();
    }

    // Each kind of arrival and where it shows; a probe answered afterwards
    // proves everything before it has been handled.
    void received_data() { addRows(Arrivals); }
    void received() {
        const Arrival& r = row(Arrivals);
        const QString sound = QString::fromLatin1(r.sound);
        Vars::OwnChicken.Speed = 0; // a refresh keeps the charge at 1 for a second
        Peer peer;
        QVERIFY(openFight(peer, r.mode));
        frmFight& f = fight();
        const QString startLine = f.txt->text();
        // Ready, with the actions on offer: a refresh shows as charge 1 and no actions.
        f.tmr1->stop();
        f.bar1->setValue(10);
        f.cmd[0]->setEnabled(true);
        ProgramRandom script;
        if (r.lineRoll != 0)
            script.roll(1, 3, r.lineRoll);
        if (sound == "7.wav")
            script.roll(1, 5, 4);
        QList<QByteArray> arrivals;
        for (const char* arrival : r.arrivals)
            if (arrival != nullptr)
                arrivals << (qstrcmp(arrival, "A*") == 0 ? "A" + QByteArray(1 << 20, 'x')
                                                         : QByteArray(arrival));
        peer.sendEach(arrivals);
        peer.forget();
        peer.send("90");
        QTRY_VERIFY(peer.received().contains("91"));
        QCOMPARE(f.txt->text(), *r.line == 0 ? startLine : QString::fromLatin1(r.line));
        QCOMPARE(f.game().own().HitPoints, int16_t(r.ownHp));
        QCOMPARE(f.Label1[0]->text(), "HP:   " + QString::number(r.ownHp));
        QCOMPARE(f.bar2->value(), r.bar2);
        QCOMPARE(recorded().sounds, sound.isEmpty() ? QStringList() : QStringList{sound});
        QCOMPARE(f.bar1->value(), r.refreshed ? 1 : 10);
        QCOMPARE(f.cmd[0]->isEnabled(), !r.refreshed);
        QCOMPARE(f.tmr1->isActive(), r.refreshed);
        QVERIFY(recorded().boxes.isEmpty());
        QVERIFY(script.exhausted());
    }

    // Each way a match ends, with Rex at 5 and Bob at 1: the box, the program's
    // end status, and the bytes the peer saw (Rex's finishing kick is K9).
    void ends_data() { addRows(Ends); }
    void ends() {
        const End& r = row(Ends);
        const QString how = QString::fromLatin1(r.how), box = QString::fromLatin1(r.box);
        const int mode = r.mode, status = r.status;
        Vars::OpponentChicken.HitPoints = 1;
        Vars::OwnChicken.HitPoints = 5;
        Vars::OwnChicken.Speed = 0; // no charge tick while the match ends
        Peer peer;
        QVERIFY(openFight(peer, mode));
        frmFight& f = fight();
        f.tmr1->stop();
        const bool struck = how.startsWith("kick") || how == "cross";
        if (how == "cross") // the peer's own finishing blow, the moment it reads ours
            connect(
                &peer, &Peer::arrived, &peer, [&peer] { peer.send("K7"); },
                Qt::SingleShotConnection);
        if (struck) {
            f.cmd[0]->setEnabled(true);
            ProgramRandom script;
            script.roll(1, 17, 10).roll(1, 8, 1).roll(1, 3, 1).roll(1, 5, 1);
            f.cmd[0]->click();
            QVERIFY(script.exhausted());
            QVERIFY(peer.waitForBytes(2));
        }
        if (how.startsWith("K10")) {
            peer.send("K10");
            QTRY_VERIFY(platform::programEnded());
        }
        if (how == "kick, window" || how == "window") {
            f.close();
            QCOMPARE(platform::programEnded(), how == "window");
        }
        if (how.endsWith("close") || how == "kick, window")
            peer.close();
        if (how == "send fails") {
            (mode == 1 ? Forms::get<frmWinsock1>().Winsock1 : Forms::get<frmWinSock2>().Winsock2)
                ->Close();
            f.tmr1->start(10);
        }
        QTRY_VERIFY(platform::programEnded());
        peer.close();
        QTest::qWait(200); // nothing more comes
        QCOMPARE(recorded().boxes, box.isEmpty() ? QStringList() : QStringList{box});
        QCOMPARE(platform::endStatus(), status);
        QVERIFY(!f.tmr1->isActive());
        QCOMPARE(peer.received(), QByteArray(struck ? "K9" : ""));
        if (how == "cross") {
            QCOMPARE(f.game().own().HitPoints, int16_t(-2));
            QCOMPARE(f.game().opponent().HitPoints, int16_t(-8));
        }
        if (status == 0) {
            QCOMPARE(recorded().captions, QStringList{"Quorvel"});
            QVERIFY(f.isHidden());
        }
    }
};

QTEST_MAIN(TestFight)
#include "test_fight.moc"
