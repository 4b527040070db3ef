#pragma once

// The host's connection screen: listens on port 1425, accepts the first joiner,
// sends the ready signal and then its half of the record exchange.

#include "link/ConnectionScreen.h"

#include <QtGlobal>

class frmWinsock1 : public ConnectionScreen {
    Q_OBJECT
public:
    frmWinsock1();
    void Form_Load();

    Winsock* Winsock1;
    // Tells the local network about the match while the screen waits for a joiner.
    Announcer* Announcer1;

    void Winsock1_ConnectionRequest(qintptr requestID);
    void Winsock1_DataArrival();

protected:
    void unloadScreen() override;
};
