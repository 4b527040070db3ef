// quorvel-sparring: a practice opponent for Quorvel. It plays matches against
// the game over the network, one after another, without any window, and prints
// the commentary.

#include "core/Address.h"
#include "net/ChickenStore.h"
#include "sparring/Sparring.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr int UsageError = 2;

// One line on `stream` (UTF-8), flushed at once: the game or a script reads it live.
void say(FILE* stream, const QString& line) {
    std::fprintf(stream, "%s\n", line.toUtf8().constData());
    std::fflush(stream);
}

// A problem, said on standard error with the program's name.
void complain(const QString& text) {
    say(stderr, QStringLiteral("quorvel-sparring: ") + text);
}

constexpr auto TryHelp = "Try 'quorvel-sparring --help'.";

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-sparring"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A practice opponent for Quorvel: plays matches against the game over the network,\n"
        "without any window, exactly as a second player's program would.\n"
        "\n"
        "After a match played to its end it plays again: as host it listens and announces\n"
        "again for the next joiner; as joiner it connects again to the same address, every\n"
        "second while the game is not hosting, for up to 60 s. --once plays one match.\n"
        "\n"
        "Its chicken charges at its Speed and may refuse to fight by its Obedience. As soon as\n"
        "it is ready it attacks with the action on offer that does the most damage on average.\n"
        "It answers keep-alive probes. Each line of commentary is printed on standard output,\n"
        "how the connection is getting on on standard error.\n"
        "\n"
        "Exit status: 0 after the last match (won or lost: with --once, or as joiner when the\n"
        "game has not hosted again within 60 s), 1 when a connection cannot be made or is lost\n"
        "or the chicken file cannot be used, 2 for a wrong command line.\n"
        "\n"
        "While it waits as host it announces its match to the local network, so that the\n"
        "game's address prompt offers it. Practice alone: run 'quorvel-sparring --host',\n"
        "start the game, press Client and Enter."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption hostOption(
        QStringLiteral("host"),
        QStringLiteral("Host the match: listen on TCP port %1 until the game joins.")
            .arg(Sparring::MatchPort));
    const QCommandLineOption joinOption(
        QStringLiteral("join"),
        QStringLiteral("Join the match that the game hosts at <address>: an IPv4 or IPv6 "
                       "address or a host name, with a port as in 11.0.1.2:1426 or "
                       "[2001:db8::5]:1426 (default %1).")
            .arg(Sparring::MatchPort),
        QStringLiteral("address"));
    const QCommandLineOption onceOption(
        QStringLiteral("once"), QStringLiteral("Play one match, then end: do not play again."));
    const QCommandLineOption chickenOption(
        QStringLiteral("chicken"),
        QStringLiteral("Fight with the chicken in <file>, a chicken.dat file (default: the "
                       "sample chicken Bruno, the Brave)."),
        QStringLiteral("file"));
    parser.addOptions({hostOption, joinOption, onceOption, chickenOption});

    if (!parser.parse(QCoreApplication::arguments())) {
        say(stderr, parser.errorText() + QChar('\n') + QLatin1String(TryHelp));
        return UsageError;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (parser.isSet(hostOption) == parser.isSet(joinOption) ||
        !parser.positionalArguments().isEmpty()) {
        say(stderr,
            QStringLiteral("Give either --host or --join <address>.\n") + QLatin1String(TryHelp));
        return UsageError;
    }
    const address::Reading joining = address::read(parser.value(joinOption).toStdString());
    if (parser.isSet(joinOption) && !joining.target) {
        say(stderr,
            QStringLiteral("quorvel-sparring: --join %1: %2\n")
                    .arg(parser.value(joinOption), QString::fromStdString(joining.refusal)) +
                QLatin1String(TryHelp));
        return UsageError;
    }

    ChickenRecord chicken = Sparring::sampleChicken();
    if (parser.isSet(chickenOption)) {
        // The game refuses a cheater at its title screen; so does its opponent.
        const QString path = parser.value(chickenOption);
        const chickenstore::Loaded loaded = chickenstore::load(path);
        switch (loaded.failure) {
        case chickenstore::LoadFailure::None:
            break;
        case chickenstore::LoadFailure::Missing:
        case chickenstore::LoadFailure::Unreadable:
            complain(path + QStringLiteral(": no such file, or it cannot be read"));
            return 1;
        case chickenstore::LoadFailure::Damaged:
            complain(path + QStringLiteral(": not a chicken data file, or a damaged one"));
            return 1;
        case chickenstore::LoadFailure::Cheater:
            complain(path + QStringLiteral(": Cheater!"));
            return 1;
        }
        chicken = *loaded.chicken;
    }

    SparringPartner sparring(chicken, randomness::unpredictable());
    sparring.once = parser.isSet(onceOption);
    QObject::connect(&sparring, &SparringPartner::commentary, [](const QByteArray& line) {
        // Names are bytes of the game's 8-bit character set, shown as Latin-1.
        say(stdout, QString::fromLatin1(line));
    });
    QObject::connect(&sparring, &SparringPartner::status,
                     [](const QString& text) { complain(text); });
    QObject::connect(&sparring, &SparringPartner::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);

    if (parser.isSet(hostOption)) {
        if (!sparring.host())
            return 1;
    } else {
        sparring.join(QString::fromStdString(joining.target->host), joining.target->port);
    }
    return QCoreApplication::exec();
}
