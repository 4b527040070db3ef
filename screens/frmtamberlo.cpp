#include "screens/frmtamberlo.h"

#include "screens/Controls.h"
#include "screens/Forms.h"
#include "screens/Helpers.h"
#include "screens/Platform.h"
#include "screens/Twips.h"
#include "screens/frmTitle.h"

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

namespace {
const QColor Navy(0, 0, 128);
}

frmtamberlo::frmtamberlo() {
    using namespace controls;
    setupWindow(this, QStringLiteral("frmtamberlo"), QString(), Border::None, 5955, 1170,
                Qt::black);

    // The banner lies beneath everything else, so it is made first.
    pic = new QLabel(this);
    pic->setObjectName(QStringLiteral("pic"));
    pic->setGeometry(twips::rect(0, 0, 5970, 1170));
    pic->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Label3 = label(this, QStringLiteral("Label3"), QStringLiteral("Beta Version (1.01)"), 960, 720,
                   1545, 210, arial(8.25, true), Navy);
    Label2 = label(this, QStringLiteral("Label2"), QStringLiteral("Quorvel!"), 840, 240, 4575, 495,
                   arial(20.25, true), Navy);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twips::rect(120, 240, 600, 585));
    Image1->setScaledContents(true);

    Label1 = label(this, QStringLiteral("Label1"), QStringLiteral("Tamberlo Productions"), 3600,
                   840, 2205, 255, arial(11.25, true, true), Navy, Qt::AlignHCenter | Qt::AlignTop);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    // A coarse timer may fire up to 5% early; the splash stays its full time.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(SplashMilliseconds);
    connect(Timer1, &QTimer::timeout, this, &frmtamberlo::Timer1_Timer);

    controls::centre(this);
}

void frmtamberlo::Form_Load() {
    Vars::GetAppPath();
    Vars::MakeTopmost(this);
    Timer1->start();
    // Decoding the pictures, laying out the texts (which loads the fonts) and the
    // first sound (which loads the rest of the game with the audio back end) take
    // longer together than putting the window up, so they run on the event loop's
    // first turn, after the window has been asked for.
    for (QLabel* text : {Label3, Label2, Label1})
        text->hide();
    QTimer::singleShot(0, this, &frmtamberlo::dress);
}

void frmtamberlo::dress() {
    pic->setPixmap(QPixmap(QStringLiteral(":/pictures/splash.jpg")));
    Image1->setPixmap(QIcon(QStringLiteral(":/pictures/splashicon.ico")).pixmap(32, 32));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/program.ico")));
    for (QLabel* text : {Label3, Label2, Label1})
        text->show();
    // These two size themselves to their text.
    controls::fitWidthToText(Label3);
    controls::fitWidthToText(Label1);
    Vars::PlaySound("1.wav");
}

void frmtamberlo::Timer1_Timer() {
    // The splash is only hidden and deleted later, never closed, so the program
    // does not count it as its last window closing before the title appears.
    Forms::unload<frmtamberlo>();
    Forms::show<frmTitle>();
}
