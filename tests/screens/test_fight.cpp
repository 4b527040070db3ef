// The fight screen in a real match against a scripted peer, as host and as
// joiner: layout, the charge messages, refusals, attacks both ways through the
// one receive handler, the two ends of a match and a peer that goes away.

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

#include <optional>

using namespace screens;

namespace {

const QStringList HitSounds = {"2.wav", "3.wav", "4.wav", "7.wav", "10.wav"};

QByteArray chargeMessages(int from, int to) {
    QByteArray bytes;
    for (int charge = from; charge <= to; ++charge)
        bytes += "J" + QByteArray::number(charge);
    return bytes;
}

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
    static void addModes(const char* name, const std::function<void(QTestData&)>& row) {
        for (int mode : {1, 2})
            row(QTest::addRow("%s %s", mode == 1 ? "host:" : "join:", name) << mode);
    }

private slots:
    void init() {
        resetAll();
        rex.CanPeck = rex.CanCombo = -1;
        Vars::OwnChicken = rex;
        Vars::OpponentChicken = bob;
    }
    void cleanupTestCase() { resetAll(); }

    void layout() {
        Vars::OwnChicken.Speed = 0;
        Forms::show<frmFight>();
        frmFight& f = fight();
        QCOMPARE(f.objectName(), "frmFight");
        QCOMPARE(f.windowTitle(), "Fight!");
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
        QCOMPARE(f.Label1[0]->text(), "HP:   10");
        QCOMPARE(f.Label1[1]->text(), "HP:   30");
        QCOMPARE(f.Label1[4]->text(), "Name: Rex");
        QCOMPARE(f.Label1[5]->text(), "Name: Bob");
        QVERIFY(f.Label1[4]->width() >= f.Label1[4]->fontMetrics().horizontalAdvance("Name: Rex"));
        QCOMPARE(f.txt->text(), "Rex VS Bob");
        QCOMPARE(f.pic[0]->toolTip(), "Chicken Portrait");
        for (QPushButton* b : f.cmd)
            QVERIFY(!b->isEnabled());
        QCOMPARE(f.cmd[0]->text(), "&Kick");
        QCOMPARE(f.cmd[1]->text(), "&Peck");
        QCOMPARE(f.cmd[2]->text(), "&Combo");
        QCOMPARE(f.bar1->maximum(), 10);
        QVERIFY(!f.bar1->isTextVisible());
        QCOMPARE(f.tmr1->interval(), 1010);
        QVERIFY(f.tmr1->isActive());
        f.tmr1->stop();

        // The Tab key visits the controls that take focus in this order.
        QStringList chain{f.pic[1]->objectName()};
        for (QWidget* w = f.pic[1]->nextInFocusChain(); w != f.pic[1]; w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus)
                chain << w->objectName();
        QCOMPARE(chain, QStringList({"pic(1)", "pic(0)", "cmd(0)", "cmd(1)", "cmd(2)"}));
    }

    void portraits_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("shown");
        QTest::newRow("first") << 0 << true;
        QTest::newRow("last") << 14 << true;
        QTest::newRow("past the gallery") << 15 << false;
        QTest::newRow("negative") << -1 << false;
    }
    void portraits() {
        QFETCH(int, index);
        QFETCH(bool, shown);
        Vars::OwnChicken.Speed = 0;
        Vars::OpponentChicken.PortraitIndex = int16_t(index);
        Forms::show<frmFight>();
        fight().tmr1->stop();
        QCOMPARE(fight().pic[1]->pixmap().isNull(), !shown);
        QCOMPARE(fight().pic[0]->pixmap().isNull(), false);
        QCOMPARE(fight().pic[1]->palette().color(QPalette::Window), QColor(Qt::black));
        QVERIFY(fight().pic[1]->autoFillBackground());
    }

    void namesAreShownAsPlainText() {
        Vars::OwnChicken.Speed = 0;
        Vars::OpponentChicken.Name = "<b>Zed</b>\xe9";
        Forms::show<frmFight>();
        fight().tmr1->stop();
        QCOMPARE(fight().Label1[5]->text(), QString::fromLatin1("Name: <b>Zed</b>\xe9"));
        QCOMPARE(fight().txt->text(), QString::fromLatin1("Rex VS <b>Zed</b>\xe9"));
        QCOMPARE(fight().Label1[5]->textFormat(), Qt::PlainText);
        QCOMPARE(fight().txt->textFormat(), Qt::PlainText);
    }

    void hugeNameKeepsTheScreenResponsive() {
        Vars::OwnChicken.Speed = 0;
        Vars::OpponentChicken.Name = std::string(1 << 20, 'x');
        QElapsedTimer clock;
        clock.start();
        Forms::show<frmFight>();
        fight().tmr1->stop();
        QTest::qWait(50);
        fight().repaint();
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    }

    void charges_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("canPeck");
        QTest::addColumn<int>("canCombo");
        addModes("all actions", [](QTestData& row) { row << -1 << -1; });
        addModes("kick only", [](QTestData& row) { row << 0 << 0; });
        addModes("kick and combo", [](QTestData& row) { row << 0 << -1; });
    }
    void charges() {
        QFETCH(int, mode);
        QFETCH(int, canPeck);
        QFETCH(int, canCombo);
        Vars::OwnChicken.CanPeck = int16_t(canPeck);
        Vars::OwnChicken.CanCombo = int16_t(canCombo);
        Peer peer;
        QVERIFY(openFight(peer, mode));
        frmFight& f = fight();
        QTRY_VERIFY(f.cmd[0]->isEnabled());
        QCOMPARE(f.cmd[1]->isEnabled(), canPeck != 0);
        QCOMPARE(f.cmd[2]->isEnabled(), canCombo != 0);
        QVERIFY(!f.tmr1->isActive());
        QCOMPARE(f.bar1->value(), 10);
        QVERIFY(peer.waitForBytes(chargeMessages(1, 10).size()));
        QCOMPARE(peer.received(), chargeMessages(1, 10));

        {
            ProgramRandom rolls;
            rolls.roll(1, 17, 5).roll(1, 8, 5).roll(1, 3, 2); // equal rolls miss
            f.cmd[0]->click();
            QVERIFY(rolls.exhausted());
        }
        QCOMPARE(f.txt->text(), "Rex does no damage.");
        QCOMPARE(recorded().sounds, QStringList{"9.wav"});
        QTRY_VERIFY(f.cmd[0]->isEnabled());
        QVERIFY(peer.waitForBytes(chargeMessages(1, 10).size() + chargeMessages(2, 10).size()));
        QCOMPARE(peer.received(),
                 chargeMessages(1, 10) + chargeMessages(2, 10)); // a miss sends nothing
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

    void attacks_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("attack");
        QTest::addColumn<int>("defence");
        QTest::addColumn<int>("lineRoll");
        QTest::addColumn<int>("opponentHp");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("hpAfter");
        QTest::addColumn<QString>("box");
        const int none = 0;
        QTest::newRow("kick hit, roll 2") << 1 << 0 << none << 7 << 3 << 2 << 30 << QByteArray("K4")
                                          << "Rex whacks Bob for 4 point(s)!" << 26 << "";
        QTest::newRow("kick by Alt+K")
            << 2 << 0 << int(Qt::Key_K) << 9 << 8 << 1 << 30 << QByteArray("K1")
            << "Rex does 1 point(s) of damage!" << 29 << "";
        QTest::newRow("peck by Alt+P, miss") << 1 << 1 << int(Qt::Key_P) << 5 << 5 << 2 << 30
                                             << QByteArray() << "Rex does no damage." << 30 << "";
        QTest::newRow("combo by Alt+C, hit roll 3")
            << 2 << 2 << int(Qt::Key_C) << 20 << 1 << 3 << 30 << QByteArray("K19")
            << "Rex attacks for 19 damage!" << 11 << "";
        QTest::newRow("combo miss, roll 1") << 1 << 2 << none << 3 << 9 << 1 << 30 << QByteArray()
                                            << "Rex's attack has been deflected." << 30 << "";
        QTest::newRow("peck miss, roll 3")
            << 2 << 1 << none << 1 << 8 << 3 << 30 << QByteArray() << "Rex misses." << 30 << "";
        QTest::newRow("hit leaving 1") << 1 << 0 << none << 8 << 5 << 1 << 4 << QByteArray("K3")
                                       << "Rex does 3 point(s) of damage!" << 1 << "";
        QTest::newRow("host: winning hit")
            << 1 << 0 << none << 10 << 6 << 1 << 4 << QByteArray("K4") << "Rex wins the match!" << 0
            << "You Win!";
        QTest::newRow("join: winning hit past 0")
            << 2 << 1 << none << 14 << 1 << 2 << 4 << QByteArray("K13") << "Rex wins the match!"
            << -9 << "You Win!";
    }
    void attacks() {
        QFETCH(int, mode);
        QFETCH(int, action);
        QFETCH(int, key);
        QFETCH(int, attack);
        QFETCH(int, defence);
        QFETCH(int, lineRoll);
        QFETCH(int, opponentHp);
        QFETCH(QByteArray, sent);
        QFETCH(QString, line);
        QFETCH(int, hpAfter);
        QFETCH(QString, box);
        Vars::OpponentChicken.HitPoints = int16_t(opponentHp);
        Peer peer;
        QVERIFY(openFight(peer, mode));
        frmFight& f = fight();
        QTRY_VERIFY(f.cmd[0]->isEnabled());
        f.tmr1->setInterval(1000); // no charge tick while the attack is checked
        peer.forget();
        const int a[] = {17, 14, 20}, d[] = {8, 8, 20};
        {
            ProgramRandom rolls;
            rolls.roll(1, a[action], attack).roll(1, d[action], defence).roll(1, 3, lineRoll);
            if (!sent.isEmpty())
                rolls.roll(1, 5, 1); // the hit sound
            if (key != 0) {
                f.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&f));
                QTest::keyClick(&f, Qt::Key(key), Qt::AltModifier);
            } else {
                f.cmd[action]->click();
            }
            QTRY_VERIFY(rolls.exhausted()); // an access key clicks a moment later
            f.tmr1->stop();
        }
        if (!sent.isEmpty())
            QVERIFY(peer.waitForBytes(sent.size()));
        else
            QTest::qWait(100);
        if (!box.isEmpty()) // the win waits for a crossing blow, up to its bound
            QTRY_VERIFY(platform::programEnded());
        QCOMPARE(peer.received(), sent);
        QCOMPARE(f.game().lastDamage(), int16_t(attack - defence));
        QCOMPARE(f.txt->text(), line);
        QCOMPARE(f.game().opponent().HitPoints, int16_t(hpAfter));
        QCOMPARE(f.Label1[1]->text(), "HP:   " + QString::number(hpAfter));
        QCOMPARE(recorded().sounds, QStringList{sent.isEmpty() ? "9.wav" : "2.wav"});
        for (QPushButton* b : f.cmd)
            QVERIFY(!b->isEnabled());
        QCOMPARE(recorded().boxes, box.isEmpty() ? QStringList() : QStringList{box});
        QCOMPARE(platform::programEnded(), !box.isEmpty());
        if (!box.isEmpty()) {
            QCOMPARE(recorded().captions, QStringList{"Quorvel"});
            QCOMPARE(platform::endStatus(), 0);
            QVERIFY(f.isHidden());
        } else {
            QCOMPARE(f.bar1->value(), 1);
        }
    }

    void received_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<QByteArray>>("arrivals");
        QTest::addColumn<int>("lineRoll");
        QTest::addColumn<QString>("line"); // empty: the start line stays
        QTest::addColumn<int>("ownHp");
        QTest::addColumn<int>("bar2");
        QTest::addColumn<QString>("sound");
        QTest::addColumn<bool>("refreshed");
        QTest::addColumn<QString>("box");
        using L = QList<QByteArray>;
        const auto add = [](const char* name, L arrivals, int roll, QString line, int hp, int bar2,
                            QString sound, bool refreshed, QString box) {
            addModes(name, [&](QTestData& row) {
                row << arrivals << roll << line << hp << bar2 << sound << refreshed << box;
            });
        };
        add("charge", L{"J7"}, 0, "", 10, 7, "", false, "");
        add("later charge replaces", L{"J3", "J8"}, 0, "", 10, 8, "", false, "");
        add("charge above the bar", L{"J3", "J11"}, 0, "", 10, 3, "", false, "");
        add("charge below the bar", L{"J3", "J-1"}, 0, "", 10, 3, "", false, "");
        add("charge not a number", L{"J3", "Jx", "J"}, 0, "", 10, 3, "", false, "");
        add("refusal", L{"10"}, 0, "Bob refuses to fight.", 10, 0, "", false, "");
        add("charge and refusal merged", L{"J1010"}, 0, "Bob refuses to fight.", 10, 10, "", false,
            "");
        add("damage, roll 1", L{"K3"}, 1, "Bob does 3 point(s) of damage!", 7, 0, "hit", false, "");
        add("damage, roll 2", L{"K4"}, 2, "Bob whacks Rex for 4 point(s)!", 6, 0, "hit", false, "");
        add("damage, roll 3", L{"K2"}, 3, "Bob attacks for 2 damage!", 8, 0, "hit", false, "");
        add("damage leaving 1", L{"K9"}, 1, "Bob does 9 point(s) of damage!", 1, 0, "hit", false,
            "");
        add("no damage, 0, roll 3", L{"K0"}, 3, "Bob misses.", 10, 0, "9.wav", true, "");
        add("no damage, 0, roll 2", L{"K0"}, 2, "Bob does no damage.", 10, 0, "9.wav", true, "");
        add("no damage, negative", L{"K-4"}, 1, "Bob's attack has been deflected.", 10, 0, "9.wav",
            true, "");
        add("damage out of range", L{"K99999", "K", "K1x"}, 0, "", 10, 0, "", false, "");
        add("unknown texts", L{"a12", "L3", "0 ", "91", "1", QByteArray("\xff\0\x01", 3)}, 0, "",
            10, 0, "", false, "");
        add("markup and raw bytes in a name", L{"A<b>Zed</b>\x01\xff", "10"}, 0,
            QString::fromLatin1("<b>Zed</b>\x01\xff refuses to fight."), 10, 0, "", false, "");
        add("name of 1 MB", L{"A" + QByteArray(1 << 20, 'x')}, 0, "", 10, 0, "", false, "");
        add("losing damage", L{"K10"}, 2, "Bob wins the match!", 0, 0, "hit", false, "You Lose!");
        add("nothing after the loss", L{"K12", "10", "K0"}, 1, "Bob wins the match!", -2, 0, "hit",
            false, "You Lose!");
    }
    void received() {
        QFETCH(int, mode);
        QFETCH(QList<QByteArray>, arrivals);
        QFETCH(int, lineRoll);
        QFETCH(QString, line);
        QFETCH(int, ownHp);
        QFETCH(int, bar2);
        QFETCH(QString, sound);
        QFETCH(bool, refreshed);
        QFETCH(QString, box);
        Vars::OwnChicken.Speed = 0; // a refresh keeps the charge at 1 for a second
        Peer peer;
        QVERIFY(openFight(peer, mode));
        frmFight& f = fight();
        const QString startLine = f.txt->text();
        // Ready, with the actions on offer: a refresh shows as charge 1 and no actions.
        f.tmr1->stop();
        f.bar1->setValue(10);
        f.cmd[0]->setEnabled(true);

        std::optional<ProgramRandom> rolls;
        if (lineRoll != 0) {
            rolls.emplace().roll(1, 3, lineRoll);
            if (sound == "hit")
                rolls->roll(1, 5, 4);
        }
        peer.sendEach(arrivals);
        if (box.isEmpty()) { // still answering: everything before the probe has been handled
            peer.forget();
            peer.send("90");
            QTRY_VERIFY(peer.received().contains("91"));
        } else {
            QTRY_VERIFY(platform::programEnded());
            QTest::qWait(50);
        }
        QCOMPARE(f.txt->text(), line.isEmpty() ? startLine : line);
        QCOMPARE(f.game().own().HitPoints, int16_t(ownHp));
        QCOMPARE(f.Label1[0]->text(), "HP:   " + QString::number(ownHp));
        QCOMPARE(f.bar2->value(), bar2);
        QCOMPARE(recorded().sounds,
                 sound.isEmpty() ? QStringList() : QStringList{sound == "hit" ? "7.wav" : sound});
        QCOMPARE(f.bar1->value(), refreshed ? 1 : 10);
        QCOMPARE(f.cmd[0]->isEnabled(), !refreshed);
        QCOMPARE(f.tmr1->isActive(), refreshed);
        QCOMPARE(recorded().boxes, box.isEmpty() ? QStringList() : QStringList{box});
        if (!box.isEmpty()) {
            QCOMPARE(platform::endStatus(), 0);
            QVERIFY(f.isHidden());
        }
        if (rolls)
            QVERIFY(rolls->exhausted());
    }

    void peerLeavingEndsTheMatch_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("peerCloses"); // else our next send fails
        addModes("peer closes", [](QTestData& row) { row << true; });
        addModes("send fails", [](QTestData& row) { row << false; });
    }
    void peerLeavingEndsTheMatch() {
        QFETCH(int, mode);
        QFETCH(bool, peerCloses);
        Peer peer;
        QVERIFY(openFight(peer, mode));
        if (peerCloses)
            peer.close();
        else
            (mode == 1 ? Forms::get<frmWinsock1>().Winsock1 : Forms::get<frmWinSock2>().Winsock2)
                ->Close();
        QTRY_VERIFY(platform::programEnded());
        QCOMPARE(recorded().boxes, QStringList{"The other player has left the match."});
        QCOMPARE(platform::endStatus(), 1);
        QVERIFY(!fight().tmr1->isActive());
    }

    void peerEndingAfterTheMatchIsNoLoss_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("won");
        QTest::addColumn<bool>("closed"); // the fight window, while the result waits
        addModes("won", [](QTestData& row) { row << true << false; });
        addModes("lost", [](QTestData& row) { row << false << false; });
        addModes("won, window closed", [](QTestData& row) { row << true << true; });
    }
    void peerEndingAfterTheMatchIsNoLoss() {
        QFETCH(int, mode);
        QFETCH(bool, won);
        QFETCH(bool, closed);
        Vars::OpponentChicken.HitPoints = 1;
        Vars::OwnChicken.Speed = 0; // no charge tick while the match ends
        Peer peer;
        QVERIFY(openFight(peer, mode));
        if (won) {
            fight().tmr1->stop();
            fight().cmd[0]->setEnabled(true);
            ProgramRandom rolls;
            rolls.roll(1, 17, 10).roll(1, 8, 1).roll(1, 3, 1).roll(1, 5, 1);
            fight().cmd[0]->click();
            QVERIFY(peer.waitForBytes(2));
            if (closed) {
                fight().close();
                QVERIFY(!platform::programEnded());
                peer.close();
            }
            QTRY_VERIFY(platform::programEnded());
        } else {
            peer.send("K10");
            QTRY_VERIFY(platform::programEnded());
        }
        peer.close();
        QTest::qWait(300);
        QCOMPARE(recorded().boxes, QStringList{won ? "You Win!" : "You Lose!"});
        QCOMPARE(platform::endStatus(), 0);
    }

    // The peer strikes its own finishing blow the moment it reads ours: the two
    // cross on the wire, and the game shows a draw with both hit points lowered.
    void crossingFinishingBlowsAreADraw_data() {
        QTest::addColumn<int>("mode");
        addModes("crossing", [](QTestData&) {});
    }
    void crossingFinishingBlowsAreADraw() {
        QFETCH(int, mode);
        Vars::OpponentChicken.HitPoints = 1;
        Vars::OwnChicken.HitPoints = 5;
        Vars::OwnChicken.Speed = 0; // no charge tick while the match ends
        Peer peer;
        QVERIFY(openFight(peer, mode));
        connect(
            &peer, &Peer::arrived, &peer,
            [&peer] {
                if (peer.received().startsWith("K"))
                    peer.send("K7");
            },
            Qt::SingleShotConnection);
        fight().tmr1->stop();
        fight().cmd[0]->setEnabled(true);
        ProgramRandom rolls;
        rolls.roll(1, 17, 10).roll(1, 8, 1).roll(1, 3, 1).roll(1, 5, 1).roll(1, 3, 1).roll(1, 5, 1);
        fight().cmd[0]->click();
        QTRY_VERIFY(platform::programEnded());
        QCOMPARE(peer.received(), QByteArray("K9"));
        QCOMPARE(recorded().boxes, QStringList{"Draw!"});
        QCOMPARE(platform::endStatus(), 0);
        QCOMPARE(fight().game().own().HitPoints, int16_t(-2));
        QCOMPARE(fight().game().opponent().HitPoints, int16_t(-8));
    }

    void closingTheWindowEndsTheProgram() {
        Peer peer;
        QVERIFY(openFight(peer, 1));
        fight().close();
        QVERIFY(platform::programEnded());
        QCOMPARE(platform::endStatus(), 1);
        QVERIFY(!fight().tmr1->isActive());
        peer.close();
        QTest::qWait(200);
        QVERIFY(recorded().boxes.isEmpty());
    }
};

QTEST_MAIN(TestFight)
#include "test_fight.moc"
