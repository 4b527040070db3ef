#pragma once

// The host's connection screen: listens on port 1425, accepts the first joiner,
// sends the ready signal and then its half of the record exchange. While it
// waits it asks the home router to let friends on the internet in, and says
// below the status where they join or why they cannot.

#include "core/Reach.h"
#include "screens/ConnectionScreen.h"

#include <QtGlobal>

class PortMapper;
class QPushButton;

class frmWinsock1 : public ConnectionScreen {
    Q_OBJECT
public:
    frmWinsock1();
    void Form_Load();

    Winsock* Winsock1;
    // Tells the local network about the match while the screen waits for a joiner.
    Announcer* Announcer1;
    // Asks the router to forward the match's port while the screen waits; with
    // --lan-only there is none, nor the line and button below.
    PortMapper* const PortMapper1;
    QLabel* txtInternet = nullptr; // where friends on the internet join, or why they cannot
    QPushButton* cmdCopy = nullptr;

    void Winsock1_ConnectionRequest(qintptr requestID);
    void Winsock1_DataArrival();
    // Puts the address friends join at on the clipboard; with none, the line.
    void cmdCopy_Click();
    void PortMapper1_Finished(const reach::Outcome& outcome);

protected:
    void unloadScreen() override;
    void openAgain() override;

private:
    void waitingForJoiner(bool waiting);
    void setInternetLine(const QString& line, const QString& copied);

    QString copyText;
};
