#include "link/frmWinSock2.h"

#include "app/Forms.h"
#include "app/Vars.h"
#include "link/Winsock.h"

frmWinSock2::frmWinSock2()
    : ConnectionScreen(Role{
          .screenName = QStringLiteral("frmWinSock2"),
          .caption = QStringLiteral("Multiplayer - Client"),
          .socketName = QStringLiteral("Winsock2"),
          .match =
              {
                  .acceptedStatus = {},
                  .sendingStatus = "Connection Established - Transfering data . . .",
                  .sentStatus = "Connection Established - Recieving Data . . .",
                  .handsOverTurn = true,
                  .receivedStatus = "Transfer Completed - Starting Game . . .",
              },
      }),
      Winsock2(link) {
    Winsock2->RemotePort = MatchPort;
    connect(Winsock2, &Winsock::DataArrival, this, &frmWinSock2::Winsock2_DataArrival);
    connect(Winsock2, &Winsock::ConnectFailed, this, &frmWinSock2::Winsock2_ConnectFailed);
}

void frmWinSock2::Form_Load() {
    setStatus(QStringLiteral("Attempting to Connect . . ."));
    Winsock2->Connect(QString::fromStdString(Vars::HostAddress));
}

void frmWinSock2::Winsock2_DataArrival() {
    DataArrival();
}

void frmWinSock2::Winsock2_ConnectFailed(const QString& reason) {
    setStatus(QStringLiteral("Could not connect: ") + reason);
}

void frmWinSock2::unloadScreen() {
    Forms::unload<frmWinSock2>();
}
