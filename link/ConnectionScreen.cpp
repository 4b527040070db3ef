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
#include <QTimer>

Q_LOGGING_CATEGORY(lcStatus, "quorvel.status", QtWarningMsg)

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

ConnectionScreen::ConnectionScreen(const Role& role)
    : tmrFlash(timer(this, "tmrFlash", 200)),
      tmrWait(timer(this, "tmrWait", wire::WaitBeforeFightMs)),
      tmrTransfer(timer(this, "tmrTransfer", wire::TransferTickMs)), view(this),
      connection(new Connection(role.side, role.statuses, Vars::OwnChicken, Vars::OpponentChicken,
                                Vars::randomSource(), view,
                                Connection::Timers{tmrTransfer, tmrWait}, this)) {
    using namespace controls;
    setupWindow(this, role.screenName, role.caption, Border::FixedTool, 5520, role.heightTwips,
                Qt::black);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twips::rect(120, 120, 480, 480));
    Image1->setPixmap(QIcon(QStringLiteral(":/pictures/connection.ico")).pixmap(32, 32));

    txt = label(this, QStringLiteral("txt"), QString(), 840, 240, 4575, 255, arial(11.25),
                QColor(255, 0, 0), Qt::AlignHCenter | Qt::AlignTop);

    connection->socket->setObjectName(role.socketName);

    connect(tmrFlash, &QTimer::timeout, this, &ConnectionScreen::tmrFlash_Timer);
    connect(tmrWait, &QTimer::timeout, this, &ConnectionScreen::tmrWait_Timer);
    connect(tmrTransfer, &QTimer::timeout, this, &ConnectionScreen::tmrTransfer_Timer);

    tmrFlash->start();
    centre(this);
}

ConnectionScreen::~ConnectionScreen() {
    // The connection goes first, with its socket, while the view its match shows
    // on is still here; nothing the socket reports may reach the screen any more.
    connection->socket->disconnect(this);
    delete connection;
}

void ConnectionScreen::setStatus(const QString& text) {
    qCInfo(lcStatus).noquote() << "status:" << text;
    txt->setText(text);
}

void ConnectionScreen::tmrFlash_Timer() {
    txt->setHidden(!txt->isHidden());
}

void ConnectionScreen::tmrTransfer_Timer() {
    connection->game.transferTick();
}

void ConnectionScreen::tmrWait_Timer() {
    connection->game.waitEnded();
    Forms::show<frmFight>();
    hide();
}

void ConnectionScreen::Form_Unload() {
    tmrFlash->stop();
    connection->stop();
    connection->socket->Close();
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
