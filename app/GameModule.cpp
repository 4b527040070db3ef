#include "app/GameModule.h"

#include <QCoreApplication>
#include <QLibrary>

namespace gamemodule {

namespace {
// Plain data, set before main() by a linked-in game: no initialisation order issue.
Entry provided{};
bool tried = false;
QString failure;
} // namespace

void provide(const Entry& entry) {
    provided = entry;
}

const Entry* load() {
    if (provided.showTitle == nullptr && !tried) {
        // Once only: a missing module would otherwise be looked for at every sound.
        tried = true;
        QLibrary module(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                        QLatin1String(FileName));
        // Every symbol now, so that a module that does not match the program
        // fails here with a reason rather than later in the middle of a match.
        module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        // Loading runs the module's announcement; it stays loaded for the run.
        if (!module.load())
            failure = module.errorString();
        else if (provided.showTitle == nullptr)
            failure = module.fileName() + QStringLiteral(" does not provide the game");
    }
    return provided.showTitle != nullptr ? &provided : nullptr;
}

QString error() {
    return failure;
}

} // namespace gamemodule
