#include "link/ConnectionScreen.h"

#include "app/Controls.h"
#include "app/Forms.h"
#include "app/Helpers.h"
#include "app/Platform.h"
#include "app/Twips.h"
#include "app/Vars.h"
#include "app/frmTitle.h"
#include "fight/Rules.h"
#include "fight/frmFight.h"
#include "link/Winsock.h"
#include "link/Wire.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <cmath>

namespace {

QTimer* timer(QObject* parent, const char* name, int interval) {
    auto* t = new QTimer(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(interval);
    // Coarse timers may fire 5% early; the one-second wait before the fight
    // and the blink keep the times they were given.
    t->setTimerType(Qt::PreciseTimer);
    return t;
}

} // namespace

ConnectionScreen::ConnectionScreen(const Role& screenRole)
    : link(new Winsock(this)), role(screenRole) {
    using namespace controls;
    setupWindow(this, role.screenName, role.caption, Border::FixedTool, 5520, 705, Qt::black);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twips::rect(120, 120, 480, 480));
    Image1->setPixmap(QIcon(QStringLiteral(":/pictures/connection.ico")).pixmap(32, 32));

    txt = label(this, QStringLiteral("txt"), QString(), 840, 240, 4575, 255, arial(11.25),
                QColor(255, 0, 0), Qt::AlignHCenter | Qt::AlignTop);

    link->setObjectName(role.socketName);

    tmrFlash = timer(this, "tmrFlash", 200);
    tmrWait = timer(this, "tmrWait", wire::WaitBeforeFightMs);
    tmrTransfer = timer(this, "tmrTransfer", wire::TransferTickMs);
    connect(tmrFlash, &QTimer::timeout, this, &ConnectionScreen::tmrFlash_Timer);
    connect(tmrWait, &QTimer::timeout, this, &ConnectionScreen::tmrWait_Timer);
    connect(tmrTransfer, &QTimer::timeout, this, &ConnectionScreen::tmrTransfer_Timer);
    connect(link, &Winsock::ConnectionLost, this, &ConnectionScreen::connectionLost);

    // Each screen runs its own exchange from the first record message, also when
    // an earlier screen of this run got further.
    Vars::TransferStep = 0;
    tmrFlash->start();
    centre(this);
}

void ConnectionScreen::setStatus(const QString& text) {
    txt->setText(text);
}

void ConnectionScreen::tmrFlash_Timer() {
    txt->setHidden(!txt->isHidden());
}

void ConnectionScreen::tmrTransfer_Timer() {
    const int16_t step = Vars::TransferStep;
    if (const auto message = wire::recordMessage(Vars::OwnChicken, step)) {
        send(*message);
    } else if (step == wire::TransferEndStep) {
        setStatus(role.sentStatus);
        tmrTransfer->stop();
        if (role.handsOverTurn)
            send(wire::Ready);
        else
            tmrWait->start();
    } else {
        // A ready signal after the exchange has nothing left to send; counting on
        // would only bring the step round to 0 again hours later.
        tmrTransfer->stop();
    }
    Vars::TransferStep = static_cast<int16_t>(step + 1);
}

void ConnectionScreen::tmrWait_Timer() {
    Forms::show<frmFight>();
    tmrWait->stop();
    hide();
}

void ConnectionScreen::Form_Unload() {
    tmrFlash->stop();
    tmrTransfer->stop();
    tmrWait->stop();
    link->Close();
    // A fight screen that early charge messages loaded behind this screen goes with
    // the abandoned match.
    if (Forms::loaded<frmFight>()) {
        Forms::get<frmFight>().tmr1->stop();
        Forms::unload<frmFight>();
    }
    Forms::show<frmTitle>();
}

void ConnectionScreen::closeEvent(QCloseEvent* event) {
    event->accept();
    unloadScreen();
}

bool ConnectionScreen::send(std::string_view message) {
    if (link->SendData(message))
        return true;
    connectionLost();
    return false;
}

void ConnectionScreen::connectionLost() {
    if (ended())
        return;
    if (Forms::loaded<frmFight>()) {
        Forms::get<frmFight>().opponentLeft();
        return;
    }
    tmrTransfer->stop();
    tmrWait->stop();
    setStatus(QStringLiteral("Connection lost: ") + link->ErrorText());
}

bool ConnectionScreen::ended() const {
    return platform::programEnded() ||
           (Forms::loaded<frmFight>() && Forms::get<frmFight>().matchOver());
}

void ConnectionScreen::DataArrival() {
    link->GetData(Vars::ReceiveBuffer);
    receive(Vars::ReceiveBuffer);
}

void ConnectionScreen::onControl(std::string_view word) {
    if (word == wire::Ready) {
        setStatus(role.sendingStatus);
        tmrTransfer->start();
    } else if (word == wire::Probe) {
        send(wire::Answer);
    } else if (word == wire::Refusal) {
        Forms::get<frmFight>().comment(rules::refusalLine(Vars::OpponentChicken.Name));
    }
}

void ConnectionScreen::onRecord(const wire::Message& record) {
    wire::applyRecord(record, Vars::OpponentChicken);
    if (record.tag == 'I' && !role.receivedStatus.isEmpty()) {
        setStatus(role.receivedStatus);
        tmrWait->start();
    }
}

void ConnectionScreen::onCharge(float charge) {
    // readArrival gives only values the bar takes (0 to 10).
    Forms::get<frmFight>().bar2->setValue(static_cast<int>(std::lround(charge)));
}

void ConnectionScreen::onDamage(int16_t damage) {
    Vars::LastDamage = damage;
    if (rules::isHit(Vars::LastDamage))
        damagePath();
    else
        noDamagePath();
}

void ConnectionScreen::damagePath() {
    auto& own = Vars::OwnChicken;
    const auto& opponent = Vars::OpponentChicken;
    own.HitPoints = rules::lowerHitPoints(own.HitPoints, Vars::LastDamage);
    frmFight& fight = Forms::get<frmFight>();
    fight.comment(rules::rollHitLine(opponent.Name, own.Name, Vars::LastDamage));
    fight.showHitPoints();
    Vars::PlayHitSound();
    if (rules::isDefeated(own.HitPoints))
        fight.endMatch(opponent.Name, QStringLiteral("You Lose!"));
}

void ConnectionScreen::noDamagePath() {
    Vars::PlayDeflectSound();
    frmFight& fight = Forms::get<frmFight>();
    fight.comment(rules::rollMissLine(Vars::OpponentChicken.Name));
    fight.DOREFRESH();
}
