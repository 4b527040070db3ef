#pragma once

// The fight: both chickens with portraits, names, hit points and charge bars, the
// three action buttons and the commentary line. It charges the local chicken,
// rolls the local player's attacks and sends charge, damage and refusal messages
// through the socket of the connection screen; the peer's messages reach it
// through that screen's receive handler.

#include <QString>
#include <QWidget>

#include <array>
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

    // Restarts the local charge at 1, withdraws the actions and refreshes the
    // hit points.
    void DOREFRESH();
    // Sends the damage message for LastDamage.
    void sendDMG();

    // Both hit-point labels from the two records.
    void showHitPoints();
    // Shows `line` (bytes, one character each) as the commentary.
    void comment(const std::string& line);
    // The match is over: `winner` wins, the box says `verdict`, the program ends.
    void endMatch(const std::string& winner, const QString& verdict);
    // The peer has gone during the match: tells the player and ends the program.
    // Does nothing once the match is over.
    void opponentLeft();
    // True once the match has ended, or is ending, on this side.
    bool matchOver() const { return over; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void doHit();
    void doMiss();
    bool sendCharge();
    bool sendRefusal();
    bool send(const std::string& message);
    void setCaption(QLabel* label, const QString& text);

    bool over = false;
};
