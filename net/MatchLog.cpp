#include "net/MatchLog.h"

#include "core/Wire.h"

#include <QLoggingCategory>
#include <QString>

namespace {

Q_LOGGING_CATEGORY(lcMatch, "quorvel.match", QtWarningMsg)

QString name(const ChickenRecord& record) {
    return QString::fromLatin1(record.Name.data(), qsizetype(record.Name.size()));
}

// A record as the messages its exchange carries, one space between them.
QString messages(const ChickenRecord& record) {
    QString text;
    for (int16_t step = 0; step < wire::TransferEndStep; ++step) {
        if (const auto message = wire::recordMessage(record, step)) {
            if (!text.isEmpty())
                text += QChar(' ');
            text += QString::fromLatin1(message->data(), qsizetype(message->size()));
        }
    }
    return text;
}

} // namespace

namespace matchlog {

void fightOpened(const ChickenRecord& own, const ChickenRecord& opponent) {
    qCInfo(lcMatch).noquote() << "records: own" << messages(own) << "| opponent"
                              << messages(opponent);
}

void ended(const ChickenRecord& own, const ChickenRecord& opponent) {
    qCInfo(lcMatch).noquote() << "hit points: own" << name(own) << own.HitPoints << "| opponent"
                              << name(opponent) << opponent.HitPoints;
}

} // namespace matchlog
