#include "screens/frmWinSock2.h"

#include "core/Address.h"
#include "net/Winsock.h"
#include "screens/Controls.h"
#include "screens/Forms.h"
#include "screens/Helpers.h"
#include "screens/Platform.h"
#include "screens/Twips.h"
#include "screens/Vars.h"

#include <QPushButton>
#include <QTimer>

frmWinSock2::frmWinSock2()
    : ConnectionScreen(Setup{
          .screenName = QStringLiteral("frmWinSock2"),
          .caption = QStringLiteral("Multiplayer - Client"),
          .socketName = QStringLiteral("Winsock2"),
          .side = Connection::Side::Joiner,
          .statuses =
              {
                  .waiting = {},
                  .receiving = "Connection Established - Recieving Data . . .",
                  .sending = "Connection Established - Transfering data . . .",
                  .complete = "Transfer Completed - Starting Game . . .",
              },
      }),
      Winsock2(connection->socket()), tmrRetry(new QTimer(this)) {
    connect(Winsock2, &Winsock::DataArrival, this, &frmWinSock2::Winsock2_DataArrival);
    connect(Winsock2, &Winsock::ConnectFailed, this, &frmWinSock2::Winsock2_ConnectFailed);
    cmdCancel = controls::button(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 4560,
                                 720, 855, 330);
    cmdCancel->hide();
    connect(cmdCancel, &QPushButton::clicked, this, &frmWinSock2::cmdCancel_Click);
    tmrRetry->setObjectName(QStringLiteral("tmrRetry"));
    tmrRetry->setSingleShot(true);
    tmrRetry->setInterval(1000);
    connect(tmrRetry, &QTimer::timeout, this, &frmWinSock2::tmrRetry_Timer);
    connect(Winsock2, &Winsock::Connected, this, [this] {
        awaited.clear();
        cmdCancel->hide();
    });
}

void frmWinSock2::Form_Load() {
    setStatus(QStringLiteral("Attempting to Connect . . ."));
    const address::Reading reading = address::read(Vars::HostAddress);
    if (!reading.target) {
        setStatus(QString::fromStdString("Could not connect: " + reading.refusal));
        return;
    }
    Winsock2->RemotePort = reading.target->port;
    host = QString::fromStdString(reading.target->host);
    Winsock2->Connect(host);
}

void frmWinSock2::Winsock2_DataArrival() {
    connection->dataArrival();
}

void frmWinSock2::unloadScreen() {
    Forms::unload<frmWinSock2>();
}

void frmWinSock2::openAgain() {
    const std::string opponent = game().opponent().Name;
    Forms::show<frmWinSock2>();
    if (Forms::loaded<frmWinSock2>())
        Forms::get<frmWinSock2>().waitForHost(opponent);
}

void frmWinSock2::waitForHost(const std::string& name) {
    awaited = Vars::displayText(name);
    waiting.start();
}

void frmWinSock2::Winsock2_ConnectFailed() {
    if (awaited.isEmpty())
        return;
    if (waiting.elapsed() >= HostAgainMs) {
        tmrRetry->stop();
        platform::MsgBox(awaited + QStringLiteral(" did not host again."));
        unloadScreen();
        return;
    }
    if (cmdCancel->isHidden()) {
        setFixedHeight(twips::px(1140));
        cmdCancel->show();
    }
    setStatus(QStringLiteral("Waiting for %1 to host again\u2026").arg(awaited));
    tmrRetry->start();
}

void frmWinSock2::tmrRetry_Timer() {
    Winsock2->Close();
    Winsock2->Connect(host);
}

void frmWinSock2::cmdCancel_Click() {
    unloadScreen();
}
