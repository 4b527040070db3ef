// Quorvel: a two-player network chicken fight. The program opens on its splash
// screen, which hands over to the title screen.

#include "app/Forms.h"
#include "app/frmtamberlo.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvel"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));
    Forms::show<frmtamberlo>();
    return QApplication::exec();
}
