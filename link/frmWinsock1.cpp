#include "link/frmWinsock1.h"

#include "app/Forms.h"
#include "link/Lan.h"
#include "link/Winsock.h"

frmWinsock1::frmWinsock1()
    : ConnectionScreen(Role{
          .screenName = QStringLiteral("frmWinsock1"),
          .caption = QStringLiteral("Multiplayer - Server"),
          .socketName = QStringLiteral("Winsock1"),
          .side = Connection::Side::Host,
          .statuses =
              {
                  .waiting = "Waiting for connection . . .",
                  .receiving = "Connection Established - Recieving Data . . .",
                  .sending = "Connection Established - Transmiting data . . .",
                  .complete = "Transfer Complete - Starting Game . . .",
              },
      }),
      Winsock1(connection->socket), Announcer1(connection->announcer) {
    Announcer1->setObjectName(QStringLiteral("Announcer1"));
    connect(Winsock1, &Winsock::ConnectionRequest, this, &frmWinsock1::Winsock1_ConnectionRequest);
    connect(Winsock1, &Winsock::DataArrival, this, &frmWinsock1::Winsock1_DataArrival);
}

void frmWinsock1::Form_Load() {
    connection->host();
}

void frmWinsock1::Winsock1_ConnectionRequest(qintptr requestID) {
    connection->accept(requestID);
}

void frmWinsock1::Winsock1_DataArrival() {
    connection->dataArrival();
}

void frmWinsock1::unloadScreen() {
    Forms::unload<frmWinsock1>();
}
