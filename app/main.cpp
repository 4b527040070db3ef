// Quorvel: a two-player network chicken fight. The program opens on its splash
// screen, which hands over to the title screen.

#include "app/Forms.h"
#include "app/frmtamberlo.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Qt's own event loop rather than GLib's: GLib wakes itself up twice for every
    // message sent, which costs the match's messages a tenth of their round trip.
    qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvel"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));
    Forms::show<frmtamberlo>();
    return QApplication::exec();
}
