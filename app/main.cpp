// Quorvel: a two-player network chicken fight. The program opens on its splash
// screen, which hands over to the title screen.

#include "screens/CommandLine.h"
#include "screens/Forms.h"
#include "screens/Vars.h"
#include "screens/frmtamberlo.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

int main(int argc, char* argv[]) {
    // Qt's own event loop rather than GLib's: GLib wakes itself up twice for every
    // message sent, which costs the match's messages a tenth of their round trip.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication::setApplicationName(QStringLiteral("quorvel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Quorvel: a two-player network chicken fight.\n"
                       "Without --chicken the game fights with your own chicken\n"
                       "(quorvel/chicken.dat in your data folder, saved by quorvel-coop)\n"
                       "when there is one, else with chicken.dat beside the program."));
    const QCommandLineOption chicken(QStringLiteral("chicken"),
                                     QStringLiteral("Fight with the chicken in FILE."),
                                     QStringLiteral("FILE"));
    parser.addOption(chicken);
    const QCommandLineOption lanOnly(
        QStringLiteral("lan-only"),
        QStringLiteral("Play on the local network only: when hosting, ask no router to "
                       "forward port 1425 to this machine (UPnP, NAT-PMP)."));
    parser.addOption(lanOnly);
    if (const int status = commandline::parse(parser, argc, argv, false); status >= 0)
        return status;
    // A relative name means the folder the game was started from.
    if (parser.isSet(chicken))
        Vars::ChickenOption =
            QFile::encodeName(QFileInfo(parser.value(chicken)).absoluteFilePath()).toStdString();
    Vars::LanOnly = parser.isSet(lanOnly);

    QApplication app(argc, argv);
    QApplication::setDesktopFileName(QStringLiteral("quorvel"));
    Forms::show<frmtamberlo>();
    const int status = QApplication::exec();
    // Every screen goes before the application does, undoing what it started.
    Forms::destroyAll();
    return status;
}
