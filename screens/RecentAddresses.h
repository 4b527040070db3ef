#pragma once

// The addresses this player joined, kept between runs so that the address
// prompt offers them again: the five most recent, the most recent first, each
// once. They live in the user's settings file, quorvel/quorvel.conf in the
// user's config folder ($XDG_CONFIG_HOME, ~/.config by default).

#include <QString>
#include <QStringList>

class RecentAddresses {
public:
    // The most recent first; empty when nothing was joined yet or the file
    // cannot be read.
    static QStringList list();
    // `address` (spaces around it dropped) becomes the most recent; an earlier
    // copy of it goes, and so does the oldest beyond five. A file that cannot
    // be written keeps nothing, silently: the join goes on.
    static void remember(const QString& address);
};
