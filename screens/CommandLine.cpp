#include "screens/CommandLine.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace commandline {

int parse(QCommandLineParser& parser, int argc, char* argv[], bool positionalAllowed) {
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // QApplication reads these itself; they must not count as mistakes here.
    for (const char* name : {"platform", "display", "style", "stylesheet", "session",
                             "qwindowgeometry", "qwindowtitle", "qwindowicon", "platformtheme"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    QCommandLineOption reverse(QStringLiteral("reverse"));
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(reverse);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString program = QCoreApplication::applicationName();
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", qPrintable(program),
                     qPrintable(parser.errorText()), qPrintable(program));
        return 2;
    }
    if (!positionalAllowed && !parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s: unexpected argument '%s'\nTry '%s --help'.\n",
                     qPrintable(program), qPrintable(parser.positionalArguments().first()),
                     qPrintable(program));
        return 2;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // Without an application object the parser cannot name the program.
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), program);
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(program),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    return -1;
}

} // namespace commandline
