#include "link/ScreenView.h"

#include "app/Forms.h"
#include "app/Helpers.h"
#include "app/Platform.h"
#include "app/Vars.h"
#include "fight/frmFight.h"
#include "link/ConnectionScreen.h"
#include "link/MatchLog.h"
#include "link/Winsock.h"

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

void run(QTimer* timer, bool on) {
    if (on)
        timer->start();
    else
        timer->stop();
}

} // namespace

void ScreenView::statusChanged(const std::string& text) {
    if (screen != nullptr)
        screen->setStatus(QString::fromStdString(text));
}

void ScreenView::transferRunning(bool on) {
    if (screen != nullptr)
        run(screen->tmrTransfer, on);
}

void ScreenView::waitRunning(bool on) {
    if (screen != nullptr)
        run(screen->tmrWait, on);
}

void ScreenView::fightOpened() {
    matchlog::fightOpened(Vars::OwnChicken, Vars::OpponentChicken);
    Forms::get<frmFight>();
}

void ScreenView::chargeBegins(int intervalMs) {
    if (frmFight* f = fight()) {
        f->tmr1->setInterval(intervalMs);
        f->tmr1->start();
    }
}

void ScreenView::chargeRunning(bool on) {
    // Enabling a running timer leaves its beat alone.
    if (frmFight* f = fight(); f != nullptr && (!on || !f->tmr1->isActive()))
        run(f->tmr1, on);
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

void ScreenView::resultBoundBegins(int boundMs) {
    if (screen != nullptr)
        QTimer::singleShot(boundMs, Qt::PreciseTimer, screen,
                           [shownOn = screen] { shownOn->game.resultBoundPassed(); });
}

void ScreenView::ended(match::Result result) {
    matchlog::ended(Vars::OwnChicken, Vars::OpponentChicken);
    if (frmFight* f = fight())
        f->hide();
    platform::MsgBox(result == match::Result::Won    ? QStringLiteral("You Win!")
                     : result == match::Result::Lost ? QStringLiteral("You Lose!")
                                                     : QStringLiteral("Draw!"));
    // The last blow may still be on its way (resent on a lossy link): the
    // program ends once the peer has it, or after a few seconds.
    if (screen != nullptr)
        screen->link->FinishSending(finishSendingMs);
    platform::EndProgram(0);
}

void ScreenView::connectionLost(const std::string& status) {
    statusChanged(status);
}

void ScreenView::waitForNextJoiner() {
    if (screen != nullptr)
        screen->waitForNextJoiner();
}

void ScreenView::opponentLeft() {
    matchlog::ended(Vars::OwnChicken, Vars::OpponentChicken);
    platform::MsgBox(QStringLiteral("The other player has left the match."));
    platform::EndProgram(1);
}

bool ScreenView::halted() const {
    return platform::programEnded();
}
