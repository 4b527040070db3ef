#include "screens/ConnectionScreen.h"

#include "net/Winsock.h"
#include "screens/Controls.h"
#include "screens/Forms.h"
#include "screens/Helpers.h"
#include "screens/Twips.h"
#include "screens/Vars.h"
#include "screens/frmFight.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QTimer>

#include <functional>
#include <utility>

Q_LOGGING_CATEGORY(lcStatus, "quorvel.status", QtWarningMsg)

namespace {

constexpr int finishSendingMs = 3000;

// What a match shows on a connection screen: the status line here, the rest on
// the fight screen; before the program ends after the result, the last sends.
class StatusView final : public FightView {
public:
    StatusView(ConnectionScreen& shownOn, std::function<void()> lastSends)
        : screen(shownOn), delivering(std::move(lastSends)) {}

    void statusChanged(const std::string& text) override {
        screen.setStatus(QString::fromStdString(text));
    }
    void connectionLost(const std::string& status) override { statusChanged(status); }

private:
    void deliverLast() override { delivering(); }
    bool offersPlayAgain() const override { return true; }
    void playAgain() override { screen.playAgain(); }

    ConnectionScreen& screen;
    const std::function<void()> delivering;
};

} // namespace

ConnectionScreen::ConnectionScreen(const Setup& setup)
    : tmrFlash(new QTimer(this)),
      view(std::make_unique<StatusView>(*this,
                                        [this] { connection->finishSending(finishSendingMs); })),
      connection(new Connection(setup.side, setup.statuses, Vars::OwnChicken, Vars::OpponentChicken,
                                Vars::randomSource(), *view, this)),
      hosting(setup.side == Connection::Side::Host) {
    using namespace controls;
    setupWindow(this, setup.screenName, setup.caption, Border::FixedTool, 5520, setup.heightTwips,
                Qt::black);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twips::rect(120, 120, 480, 480));
    Image1->setPixmap(QIcon(QStringLiteral(":/pictures/connection.ico")).pixmap(32, 32));

    txt = label(this, QStringLiteral("txt"), QString(), 840, 240, 4575, 255, arial(11.25),
                QColor(255, 0, 0), Qt::AlignHCenter | Qt::AlignTop);

    // The blink keeps its time: a coarse timer may fire 5% early.
    tmrFlash->setObjectName(QStringLiteral("tmrFlash"));
    tmrFlash->setInterval(200);
    tmrFlash->setTimerType(Qt::PreciseTimer);
    connection->socket()->setObjectName(setup.socketName);
    tmrWait = connection->waitTimer();
    tmrWait->setObjectName(QStringLiteral("tmrWait"));
    tmrTransfer = connection->transferTimer();
    tmrTransfer->setObjectName(QStringLiteral("tmrTransfer"));

    connect(tmrFlash, &QTimer::timeout, this, &ConnectionScreen::tmrFlash_Timer);
    connect(tmrWait, &QTimer::timeout, this, &ConnectionScreen::tmrWait_Timer);
    connect(tmrTransfer, &QTimer::timeout, this, &ConnectionScreen::tmrTransfer_Timer);
    frmFight::handOver(hosting, &connection->game());

    tmrFlash->start();
    centre(this);
}

ConnectionScreen::~ConnectionScreen() {
    frmFight::takeBack(&connection->game());
    // The connection goes first, with its socket, while the view its match shows
    // on is still here; nothing the socket reports may reach the screen any more.
    connection->socket()->disconnect(this);
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
    connection->game().transferTick();
}

void ConnectionScreen::tmrWait_Timer() {
    connection->game().waitEnded();
    Forms::show<frmFight>();
    hide();
}

void ConnectionScreen::Form_Unload() {
    frmFight::takeBack(&connection->game());
    tmrFlash->stop();
    connection->stop();
    connection->socket()->Close();
    // A fight screen that early charge messages loaded behind this screen goes with
    // the abandoned match.
    if (Forms::loaded<frmFight>()) {
        Forms::get<frmFight>().tmr1->stop();
        Forms::unload<frmFight>();
    }
    if (!replaced)
        returnToTitle();
}

void ConnectionScreen::playAgain() {
    replaced = true;
    unloadScreen();
    if (Vars::LoadPlayableChicken())
        openAgain();
}

void ConnectionScreen::closeEvent(QCloseEvent* event) {
    event->accept();
    unloadScreen();
}
