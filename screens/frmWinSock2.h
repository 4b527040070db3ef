#pragma once

// The joiner's connection screen: connects to HostAddress (on port 1425 unless
// it names another), sends its record when the host is ready, then receives the
// host's.

#include "screens/ConnectionScreen.h"

class frmWinSock2 : public ConnectionScreen {
    Q_OBJECT
public:
    frmWinSock2();
    void Form_Load();

    Winsock* Winsock2;

    void Winsock2_DataArrival();

protected:
    void unloadScreen() override;
};
