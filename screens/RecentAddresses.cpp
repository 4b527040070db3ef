#include "screens/RecentAddresses.h"

#include <QSettings>

namespace {

constexpr qsizetype Kept = 5;

// The user's settings file, quorvel/quorvel.conf in the config folder.
class Settings : public QSettings {
public:
    Settings() : QSettings(QStringLiteral("quorvel"), QStringLiteral("quorvel")) {}
};

QString key() {
    return QStringLiteral("join/recent");
}

} // namespace

QStringList RecentAddresses::list() {
    return Settings().value(key()).toStringList().mid(0, Kept);
}

void RecentAddresses::remember(const QString& address) {
    const QString joined = address.trimmed();
    QStringList addresses = list();
    addresses.removeAll(joined);
    addresses.prepend(joined);
    Settings().setValue(key(), addresses.mid(0, Kept));
}
