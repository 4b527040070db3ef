#pragma once

// The fight: both chickens with portraits, names, hit points and charge bars, the
// three action buttons and the commentary line. Its timer and buttons drive the
// match of the connection screen that made the connection, whose receive
// handler brings the peer's messages; what the match shows lands here.

#include "match/Match.h"

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
    // The match this screen shows: that of the connection screen GameMode picks,
    // or, for a fight screen loaded with no connection screen, one of its own
    // that cannot send.
    match::Match& game();
    // True once the match has ended, or is ending, on this side.
    bool matchOver() { return game().over(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setCaption(QLabel* label, const QString& text);

    std::unique_ptr<match::View> aloneView;
    std::unique_ptr<match::Match> alone;
};
