#include "link/ConnectionScreen.h"

#include "app/Controls.h"
#include "app/Forms.h"
#include "app/Helpers.h"
#include "app/Platform.h"
#include "app/Twips.h"
#include "app/Vars.h"
#include "app/frmTitle.h"
#include "fight/frmFight.h"
#include "link/Winsock.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QLoggingCategory>
#include <QTimer>

namespace {

// The status line as it changes, for finding out where a match stalled:
// QT_LOGGING_RULES="quorvel.status.info=true".
Q_LOGGING_CATEGORY(lcStatus, "quorvel.status", QtWarningMsg)

QTimer* timer(QObject* parent, const char* name, int interval) {
    auto* t = new QTimer(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(interval);
    // Coarse timers may fire 5% early; the one-second wait before the fight
    // and the blink keep the times they were given.
    t->setTimerType(Qt::PreciseTimer);
    return t;
}

// The connection screen whose match is being played; a screen being unloaded
// gives up its place.
ConnectionScreen* active = nullptr;
} // namespace

ConnectionScreen::ConnectionScreen(const Role& role)
    : link(new Winsock(this)), socketLink(*link), view(this),
      game(Vars::OwnChicken, Vars::OpponentChicken, role.match, &socketLink, view,
           Vars::randomSource()) {
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
    connect(link, &Winsock::ConnectionLost, this, [this] { game.connectionLost(); });

    active = this;
    tmrFlash->start();
    centre(this);
}

ConnectionScreen::~ConnectionScreen() {
    // The socket goes with the screen's children, after the match: nothing it
    // reports may reach the match any more.
    link->disconnect(this);
    if (active == this)
        active = nullptr;
}

match::Match* ConnectionScreen::loadedMatch() {
    return active != nullptr ? &active->game : nullptr;
}

void ConnectionScreen::setStatus(const QString& text) {
    qCInfo(lcStatus).noquote() << "status:" << text;
    txt->setText(text);
}

void ConnectionScreen::tmrFlash_Timer() {
    txt->setHidden(!txt->isHidden());
}

void ConnectionScreen::tmrTransfer_Timer() {
    game.transferTick();
}

void ConnectionScreen::tmrWait_Timer() {
    game.waitEnded();
    Forms::show<frmFight>();
    hide();
}

void ConnectionScreen::Form_Unload() {
    if (active == this)
        active = nullptr;
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

void ConnectionScreen::DataArrival() {
    link->GetData(received);
    game.arrival(received);
}
