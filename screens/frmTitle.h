#pragma once

// The title screen: loads the player's chicken, shows this computer's address
// and offers hosting or joining a match.

#include <QWidget>

class HostListener;
class QLabel;
class QLineEdit;
class QPushButton;
namespace platform {
class HeardHosts;
}

class frmTitle : public QWidget {
    Q_OBJECT
public:
    frmTitle();
    void Form_Load();
    // Stops listening for hosts: the title screen is going.
    void Form_Unload();

    QPushButton* Command1; // "&Server"
    QPushButton* Command2; // "&Client"
    QLabel* Label1;
    QLineEdit* Text1;
    // Hosts announcing their matches on the local network, heard from the load
    // step until the screen unloads, and what the address prompt offers: them,
    // then the addresses joined before.
    HostListener* Hosts;
    platform::HeardHosts* heardHosts;

    void Command1_Click();
    void Command2_Click();
};
