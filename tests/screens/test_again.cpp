// Playing again: from the box at the end of a match to the next match's
// connection, as host and as joiner, a host that does not come back, Cancel, a
// lost connection, OK as before, and the running score on the way.

#include "common/peer.h"

#include "net/Winsock.h"
#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"
#include "screens/frmTitle.h"
#include "screens/frmWinSock2.h"
#include "screens/frmWinsock1.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace screens;

namespace {

// Each row: who the program is (1 hosts, 2 joins), whether the peer leaves (else
// its blow ends the match), the next match's host (back, none: counted, cancel),
// the box after the first, and what follows (hosting, joined, title, ended N;
// "ended" when the box at the end chooses OK).
struct Again {
    const char* name;
    int mode;
    bool peerLeaves;
    const char* next;
    const char* box;
    const char* after;
};
const Again rows[] = {
    {"host plays again", 1, false, "", "", "hosting"},
    {"joiner plays again", 2, false, "back", "", "joined"},
    {"the host not coming back", 2, false, "none", "Bob did not host again.", "title"},
    {"Cancel while waiting", 2, false, "cancel", "", "title"},
    {"a lost connection, then play again", 1, true, "", "", "hosting"},
    {"OK ends as before", 1, false, "", "", "ended 0"},
    {"OK after a lost connection", 2, true, "", "", "ended 1"},
};

} // namespace

class TestAgain : public QObject {
    Q_OBJECT

private slots:
    void init() {
        resetAll();
        Vars::OwnChicken = chicken("Rex", 10, 0);
        Vars::OpponentChicken = chicken("Bob", 30);
        // Two matches against Bob so far: the score shows from now on.
        Vars::Score.record("Bob", match::Result::Won);
        Vars::Score.record("Bob", match::Result::Draw);
        frmWinSock2::HostAgainMs = 2000;
    }
    void cleanupTestCase() { resetAll(); }

    void transitions_data() { addRows(rows); }
    void transitions() {
        const Again& r = row(rows);
        const QString after = r.after, next = r.next;
        const bool again = !after.startsWith("ended");
        QStringList boxes{r.peerLeaves ? "The other player has left the match."
                                       : "You Lose!\n\nRex 1 \u2013 1 Bob (1 draw)"};
        if (*r.box)
            boxes << r.box;
        recorded().playAgain = again;
        Peer peer;
        QVERIFY(startMatch(peer, r.mode));
        Forms::show<frmFight>();
        QCOMPARE(Forms::get<frmFight>().lblScore->text(), "Rex 1 \u2013 0 Bob (1 draw)");
        Peer nextPeer;
        if (next == "back")
            QVERIFY(nextPeer.listen());
        if (r.peerLeaves)
            peer.close();
        else
            peer.send("K99");
        QTRY_COMPARE(recorded().boxes.size(), 1);
        int failures = 0; // while waiting for the host: a retry a second, no more
        QObject counting;
        if (next == "none" || next == "cancel")
            QTRY_VERIFY(Forms::get<frmWinSock2>().cmdCancel->isVisible());
        if (next == "none")
            connect(Forms::get<frmWinSock2>().Winsock2, &Winsock::ConnectFailed, &counting,
                    [&failures] { ++failures; });
        if (next == "cancel")
            Forms::get<frmWinSock2>().cmdCancel->click();
        QTRY_COMPARE_WITH_TIMEOUT(recorded().boxes, boxes, 5000);
        QVERIFY2(failures <= 3, qPrintable(QString::number(failures)));
        QCOMPARE(Forms::loaded<frmFight>(), !again);
        if (after == "hosting") {
            QVERIFY(nextPeer.connectToProgram());
            QVERIFY(nextPeer.waitForBytes(1));
            QCOMPARE(nextPeer.received(), "0"); // a fresh match, made as the first
        } else if (after == "joined") {
            QVERIFY(nextPeer.waitForProgram());
            nextPeer.send("0");
            QVERIFY(nextPeer.waitForBytes(6));
            QCOMPARE(nextPeer.received().left(6), "ARosie"); // read again from its file
        } else if (after == "title") {
            QTRY_VERIFY(Forms::loaded<frmTitle>() && Forms::get<frmTitle>().isVisible());
            QVERIFY(!Forms::loaded<frmWinSock2>());
        } else {
            QVERIFY(platform::programEnded());
            QCOMPARE(QString("ended %1").arg(platform::endStatus()), after);
        }
        QCOMPARE(platform::programEnded(), !again);
    }
};

QTEST_MAIN(TestAgain)
#include "test_again.moc"
