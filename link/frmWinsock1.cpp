#include "link/frmWinsock1.h"

#include "app/Forms.h"
#include "app/Vars.h"
#include "link/Lan.h"
#include "link/Winsock.h"

frmWinsock1::frmWinsock1()
    : ConnectionScreen(Role{
          .screenName = QStringLiteral("frmWinsock1"),
          .caption = QStringLiteral("Multiplayer - Server"),
          .socketName = QStringLiteral("Winsock1"),
          .match =
              {
                  .acceptedStatus = "Connection Established - Recieving Data . . .",
                  .sendingStatus = "Connection Established - Transmiting data . . .",
                  .sentStatus = "Transfer Complete - Starting Game . . .",
                  .handsOverTurn = false,
                  .receivedStatus = {},
                  .waitsAgainAfterStray = true,
              },
      }),
      Winsock1(link), Announcer1(new Announcer(this)) {
    Winsock1->LocalPort = MatchPort;
    Announcer1->setObjectName(QStringLiteral("Announcer1"));
    connect(Winsock1, &Winsock::ConnectionRequest, this, &frmWinsock1::Winsock1_ConnectionRequest);
    connect(Winsock1, &Winsock::DataArrival, this, &frmWinsock1::Winsock1_DataArrival);
}

void frmWinsock1::Form_Load() {
    if (Winsock1->Listen()) {
        setStatus(QStringLiteral("Waiting for connection . . ."));
        Announcer1->start(MatchPort, Vars::OwnChicken.Name);
    } else {
        setStatus(QStringLiteral("Could not listen on port %1: %2")
                      .arg(MatchPort)
                      .arg(Winsock1->ErrorText()));
    }
}

void frmWinsock1::Winsock1_ConnectionRequest(qintptr requestID) {
    // Closing stops the listening, so no second joiner gets in, and the match is
    // no longer offered.
    Announcer1->stop();
    if (Winsock1->State() != Winsock::sckClosed)
        Winsock1->Close();
    if (!Winsock1->Accept(requestID)) {
        setStatus(QStringLiteral("Could not accept the connection: ") + Winsock1->ErrorText());
        return;
    }
    game.connectionTaken();
}

void frmWinsock1::waitForNextJoiner() {
    Winsock1->Close();
    Form_Load();
}

void frmWinsock1::Winsock1_DataArrival() {
    DataArrival();
}

void frmWinsock1::Form_Unload() {
    Announcer1->stop();
    ConnectionScreen::Form_Unload();
}

void frmWinsock1::unloadScreen() {
    Forms::unload<frmWinsock1>();
}
