#pragma once

// The splash screen: the banner with the program's name for 2200 ms while the
// start-up sound plays, then the title screen.

#include <QWidget>

class QLabel;
class QTimer;

class frmtamberlo : public QWidget {
    Q_OBJECT
public:
    frmtamberlo();
    void Form_Load();

    QLabel* pic;
    QLabel* Label3;
    QLabel* Label2;
    QLabel* Image1;
    QLabel* Label1;
    QTimer* Timer1;

    static constexpr int SplashMilliseconds = 2200;

private:
    void dress();
    void Timer1_Timer();
};
