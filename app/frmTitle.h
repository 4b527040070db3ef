#pragma once

// The title screen: loads the player's chicken, shows this computer's address
// and offers hosting or joining a match.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class Winsock;

class frmTitle : public QWidget {
    Q_OBJECT
public:
    frmTitle();
    void Form_Load();

    QPushButton* Command1; // "&Server"
    QPushButton* Command2; // "&Client"
    QLabel* Label1;
    QLineEdit* Text1;
    Winsock* Winsock3; // asked only for the local address

    void Command1_Click();
    void Command2_Click();
};
