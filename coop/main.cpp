// The Chicken Coop: shows the player's chicken, picks one of the flock or
// hatches a new one, and saves it as the player's chicken for the game. With
// --show or --hatch it works in the terminal, without a window.

#include "coop/Coop.h"
#include "coop/CoopWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

namespace {

// Any argument beyond Qt's own window options is for the terminal: the commands,
// help, version, and mistakes, which are all answered without a display.
bool inTerminal(int argc, char* argv[]) {
    static const char* const qtOptions[] = {
        "platform", "display",         "style",        "stylesheet",  "reverse",
        "session",  "qwindowgeometry", "qwindowtitle", "qwindowicon", "platformtheme"};
    for (int i = 1; i < argc; ++i) {
        const char* name = argv[i];
        while (*name == '-')
            ++name;
        const bool qtOption = name != argv[i] &&
                              std::any_of(std::begin(qtOptions), std::end(qtOptions),
                                          [&](const char* q) { return std::strcmp(name, q) == 0; });
        if (!qtOption)
            return true;
        if (std::strcmp(name, "reverse") != 0)
            ++i; // its value
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    const std::unique_ptr<QCoreApplication> app(
        inTerminal(argc, argv) ? new QCoreApplication(argc, argv) : new QApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-coop"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvel-coop"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The Chicken Coop: see, pick, hatch and save your Quorvel chicken."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption show(QStringLiteral("show"),
                                  QStringLiteral("Print the chicken in FILE (your own chicken "
                                                 "when no FILE is given) and exit."));
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
    // Errors and help go out before any window appears.
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "quorvel-coop: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList files = parser.positionalArguments();
    const auto usage = [&](const char* problem) {
        err << "quorvel-coop: " << problem << "\n" << parser.helpText();
        err.flush();
        return 2;
    };
    if (parser.isSet(show) && parser.isSet(hatch))
        return usage("--show and --hatch do not go together");
    if (files.size() > (parser.isSet(show) ? 1 : 0))
        return usage("unexpected argument");
    if (parser.isSet(portrait) && !parser.isSet(hatch))
        return usage("--portrait goes with --hatch");
    if (parser.isSet(show))
        return coop::showCommand(files.value(0), out, err);
    if (parser.isSet(hatch)) {
        int index = -1;
        if (parser.isSet(portrait)) {
            bool ok = false;
            index = parser.value(portrait).toInt(&ok);
            if (!ok || index < 0 || index > 14)
                return usage("--portrait takes a number from 0 to 14");
        }
        return coop::hatchCommand(parser.value(hatch), index, out, err);
    }

    CoopWindow window(QCoreApplication::applicationDirPath());
    window.show();
    return QCoreApplication::exec();
}
