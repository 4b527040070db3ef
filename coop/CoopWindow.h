#pragma once

// The Chicken Coop's window: the player's chicken, the flock to pick from, and a
// hatchery for a new one. Nothing is written until Save.

#include "core/ChickenRecord.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

class CoopWindow : public QWidget {
    Q_OBJECT
public:
    // `programFolder` is where the flock is looked for.
    explicit CoopWindow(const QString& programFolder);

private:
    void showCurrent(); // the chicken the game fights with: the player's, else the sample
    void showChicken(const ChickenRecord& chicken, const QString& heading);
    void showProblem(const QString& heading, const QString& problem);
    void cmdPick_Click();
    void cmdHatch_Click();
    void cmdSave_Click();
    void say(const QString& message, bool trouble);

    QString programFolder_; // where the flock and the sample lie
    std::function<double()> random_;
    std::optional<ChickenRecord> candidate_; // picked or hatched, not saved yet
    bool hatched_ = false;                   // the candidate came from the hatchery

    QLabel* lblSource = nullptr;
    QLabel* picPortrait = nullptr;
    QLabel* lblStats = nullptr;
    QComboBox* cboFlock = nullptr;
    QPushButton* cmdPick = nullptr;
    QLineEdit* txtName = nullptr;
    QButtonGroup* portraits_ = nullptr;
    QPushButton* cmdHatch = nullptr;
    QPushButton* cmdSave = nullptr;
    QLabel* lblMessage = nullptr;
};
