#include "screens/frmWinSock2.h"

#include "core/Address.h"
#include "net/Winsock.h"
#include "screens/Forms.h"
#include "screens/Vars.h"

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
      Winsock2(connection->socket()) {
    connect(Winsock2, &Winsock::DataArrival, this, &frmWinSock2::Winsock2_DataArrival);
}

void frmWinSock2::Form_Load() {
    setStatus(QStringLiteral("Attempting to Connect . . ."));
    const address::Reading reading = address::read(Vars::HostAddress);
    if (!reading.target) {
        setStatus(QString::fromStdString("Could not connect: " + reading.refusal));
        return;
    }
    Winsock2->RemotePort = reading.target->port;
    Winsock2->Connect(QString::fromStdString(reading.target->host));
}

void frmWinSock2::Winsock2_DataArrival() {
    connection->dataArrival();
}

void frmWinSock2::unloadScreen() {
    Forms::unload<frmWinSock2>();
}
