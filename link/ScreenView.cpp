#include "link/ScreenView.h"

#include "app/Forms.h"
#include "app/Helpers.h"
#include "app/Platform.h"
#include "app/Vars.h"
#include "fight/frmFight.h"
#include "link/ConnectionScreen.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int finishSendingMs = 3000;

// The fight screen as the match left it: only the fight's opening loads it, so a
// screen that has been unloaded is not brought back by what its match still does.
frmFight* fight() {
    return Forms::loaded<frmFight>() ? &Forms::get<frmFight>() : nullptr;
}

} // namespace

void ScreenView::statusChanged(const std::string& text) {
    if (screen != nullptr)
        screen->setStatus(QString::fromStdString(text));
}

void ScreenView::fightOpened() {
    Forms::get<frmFight>();
}

void ScreenView::chargeBegins(int intervalMs) {
    if (frmFight* f = fight()) {
        f->tmr1->setInterval(intervalMs);
        f->tmr1->start();
    }
}

void ScreenView::chargeRunning(bool on) {
    if (frmFight* f = fight())
        runKeepingBeat(f->tmr1, on);
}

void ScreenView::chargeShown(int charge) {
    if (frmFight* f = fight())
        f->bar1->setValue(charge);
}

void ScreenView::refreshed() {
    if (frmFight* f = fight())
        f->DOREFRESH();
}

void ScreenView::opponentChargeShown(int charge) {
    if (frmFight* f = fight())
        f->bar2->setValue(charge);
}

void ScreenView::actionsOffered(const std::array<bool, 3>& offered) {
    if (frmFight* f = fight()) {
        for (size_t i = 0; i < offered.size(); ++i)
            f->cmd[i]->setEnabled(offered[i]);
    }
}

void ScreenView::hitPointsShown() {
    if (frmFight* f = fight())
        f->showHitPoints();
}

void ScreenView::commented(const std::string& line) {
    if (frmFight* f = fight())
        f->comment(line);
}

void ScreenView::sound(match::Sound cue) {
    if (cue == match::Sound::Hit)
        Vars::PlayHitSound();
    else
        Vars::PlayDeflectSound();
}

void ScreenView::ended(match::Result result) {
    if (frmFight* f = fight())
        f->hide();
    platform::MsgBox(result == match::Result::Won    ? QStringLiteral("You Win!")
                     : result == match::Result::Lost ? QStringLiteral("You Lose!")
                                                     : QStringLiteral("Draw!"));
    // The last blow may still be on its way (resent on a lossy link): the
    // program ends once the peer has it, or after a few seconds.
    if (screen != nullptr)
        screen->connection->finishSending(finishSendingMs);
    platform::EndProgram(0);
}

void ScreenView::connectionLost(const std::string& status) {
    statusChanged(status);
}

void ScreenView::opponentLeft() {
    platform::MsgBox(QStringLiteral("The other player has left the match."));
    platform::EndProgram(1);
}

bool ScreenView::halted() const {
    return platform::programEnded();
}
