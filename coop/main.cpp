// The Chicken Coop: shows the player's chicken, picks one of the flock or
// hatches a new one, and saves it as the player's chicken for the game. With
// --show or --hatch it works in the terminal, without a window.

#include "coop/Coop.h"
#include "coop/CoopWindow.h"
#include "core/Hatchery.h"
#include "screens/CommandLine.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-coop"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The Chicken Coop: see, pick, hatch and save your Quorvel chicken."));
    const QCommandLineOption show(QStringLiteral("show"),
                                  QStringLiteral("Print the chicken in FILE (without FILE: "
                                                 "the one the game fights with, your own or "
                                                 "else the sample) and exit."));
    const QCommandLineOption hatch(
        QStringLiteral("hatch"),
        QStringLiteral("Hatch a chicken called NAME with fair stats, save it as your chicken and "
                       "print it."),
        QStringLiteral("NAME"));
    const QCommandLineOption portrait(
        QStringLiteral("portrait"),
        QStringLiteral("With --hatch: the portrait, 0 to 14 (default: one at random)."),
        QStringLiteral("N"));
    parser.addOptions({show, hatch, portrait});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("With --show: a chicken file."),
                                 QStringLiteral("[FILE]"));
    if (const int status = commandline::parse(parser, argc, argv, true); status >= 0)
        return status;
    const auto mistake = [](const char* what) {
        std::fprintf(stderr, "quorvel-coop: %s\nTry 'quorvel-coop --help'.\n", what);
        return 2;
    };
    const QStringList files = parser.positionalArguments();
    if (parser.isSet(show) && parser.isSet(hatch))
        return mistake("--show and --hatch do not go together");
    if (files.size() > (parser.isSet(show) ? 1 : 0))
        return mistake("unexpected argument");
    if (parser.isSet(portrait) && !parser.isSet(hatch))
        return mistake("--portrait goes with --hatch");

    if (parser.isSet(show) || parser.isSet(hatch)) {
        // The terminal commands need no display.
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (parser.isSet(show))
            return coop::showCommand(files.value(0), QCoreApplication::applicationDirPath(), out,
                                     err);
        int index = -1;
        if (parser.isSet(portrait)) {
            bool ok = false;
            index = parser.value(portrait).toInt(&ok);
            if (!ok || index < 0 || index >= hatchery::PortraitCount)
                return mistake("--portrait takes a number from 0 to 14");
        }
        return coop::hatchCommand(parser.value(hatch), index, out, err);
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvel-coop"));
    CoopWindow window(QCoreApplication::applicationDirPath());
    window.show();
    return QApplication::exec();
}
