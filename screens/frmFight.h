#pragma once

// The fight: both chickens with portraits, names, hit points and charge bars, the
// three action buttons and the commentary line. Its timer and buttons drive the
// match that the connection screen which made the connection hands over; that
// screen's receive handler brings the peer's messages. What the match shows
// lands here through a FightView.

#include "core/Match.h"

#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <string>

class QCloseEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class frmFight : public QWidget {
    Q_OBJECT
public:
    frmFight();
    void Form_Load();

    std::array<QLabel*, 2> pic{};      // own portrait, opponent's portrait
    std::array<QLabel*, 6> Label1{};   // 0/1 hit points, 2 "Actions:", 4/5 names; no 3
    QProgressBar* bar1;                // own charge
    QProgressBar* bar2;                // opponent's charge, as last received
    std::array<QPushButton*, 3> cmd{}; // Kick, Peck, Combo
    QLabel* txt;                       // commentary
    QLabel* lblScore;                  // the running score, from the second match on
    QTimer* tmr1;                      // the charge timer

    void tmr1_Timer();
    void cmd_Click(int Index);

    // Shows the local charge back at 1 and restarts its timer (a running one
    // keeps its beat), withdraws the actions and refreshes the hit points.
    void DOREFRESH();

    // Both hit-point labels from the two records.
    void showHitPoints();
    // Shows `line` (bytes, one character each) as the commentary.
    void comment(const std::string& line);
    // The match this screen shows: the one handed over for the side GameMode
    // picks, or, for a fight screen loaded with none, one of its own that cannot
    // send.
    match::Match& game();
    // A connection screen hands over the match played on its connection, the
    // host's or the joiner's, and takes it back before it goes.
    static void handOver(bool hosting, match::Match* given);
    static void takeBack(const match::Match* given);
    // True once the match has ended, or is ending, on this side.
    bool matchOver() { return game().over(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setCaption(QLabel* label, const QString& text);

    std::unique_ptr<match::View> aloneView;
    std::unique_ptr<match::Match> alone;
};

// What a match shows on the fight screen (loaded, hidden, by the first thing the
// fight shows, and its charge timer), the sound cues and the boxes at the end.
// A connection screen's view adds its status line and the last sends.
class FightView : public match::View {
public:
    void fightOpened() override;
    void chargeBegins(int intervalMs) override;
    void chargeRunning(bool run) override;
    void chargeShown(int charge) override;
    void refreshed() override;
    void opponentChargeShown(int charge) override;
    void actionsOffered(const std::array<bool, 3>& offered) override;
    void hitPointsShown() override;
    void commented(const std::string& line) override;
    void sound(match::Sound cue) override;
    void ended(match::Result result) override;
    void opponentLeft() override;
    bool halted() const override;

protected:
    // After the result's box: the last message is delivered.
    virtual void deliverLast() {}
    // True: the boxes at the end offer Play again, and choosing it calls playAgain().
    virtual bool offersPlayAgain() const { return false; }
    virtual void playAgain() {}

private:
    // The box at the end; true when the player plays again.
    bool endBox(const QString& text);
};

// The running score against `opponent`: "Rosie 2 – 1 Bruno", with "(1 draw)"
// after it when there were draws. Names are bytes, shown one character each.
QString tallyText(const std::string& own, const std::string& opponent);
