#pragma once

// The joiner's connection screen: connects to HostAddress (on port 1425 unless
// it names another), sends its record when the host is ready, then receives the
// host's. To play again it waits for the host to host again: while the host is
// not back it tries again every second, for a minute, with a Cancel.

#include "screens/ConnectionScreen.h"

#include <QElapsedTimer>

class QPushButton;

class frmWinSock2 : public ConnectionScreen {
    Q_OBJECT
public:
    frmWinSock2();
    void Form_Load();

    Winsock* Winsock2;
    QPushButton* cmdCancel; // shown while waiting for the host to host again
    QTimer* tmrRetry;       // the next try to connect

    // How long the host has to host again, in ms (a minute; tests shorten it).
    static inline int HostAgainMs = 60000;

    void Winsock2_DataArrival();
    void Winsock2_ConnectFailed();
    void cmdCancel_Click();
    void tmrRetry_Timer();
    // Connecting for the next match against the chicken called `name`: a host
    // that is not back yet is waited for.
    void waitForHost(const std::string& name);

protected:
    void unloadScreen() override;
    void openAgain() override;

private:
    QString host;    // connected to, on Winsock2's RemotePort
    QString awaited; // the host's chicken, while the host is waited for
    QElapsedTimer waiting;
};
