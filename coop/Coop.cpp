#include "coop/Coop.h"

#include "core/Hatchery.h"
#include "net/ChickenStore.h"

#include <QTextStream>

namespace coop {

namespace {

QString yesNo(int16_t flag) {
    return flag != 0 ? QStringLiteral("yes") : QStringLiteral("no");
}

void print(QTextStream& out, const QString& path, const ChickenRecord& chicken,
           bool sample = false) {
    out << "File: " << path << "\n";
    if (sample)
        out << SampleNote << "\n";
    for (const QString& line : describe(chicken))
        out << line << "\n";
    out.flush();
}

} // namespace

Reading read(const QString& path) {
    chickenstore::Loaded loaded = chickenstore::load(path);
    switch (loaded.failure) {
    case chickenstore::LoadFailure::None:
        return {std::move(loaded.chicken), {}};
    case chickenstore::LoadFailure::Missing:
        return {std::nullopt, QStringLiteral("there is no chicken file %1").arg(path)};
    case chickenstore::LoadFailure::Unreadable:
        return {std::nullopt, QStringLiteral("%1 cannot be read").arg(path)};
    case chickenstore::LoadFailure::Damaged:
        return {std::nullopt,
                QStringLiteral("%1 is damaged: it is not a whole chicken file").arg(path)};
    case chickenstore::LoadFailure::Cheater:
        break;
    }
    return {std::move(loaded.chicken),
            QStringLiteral("%1 is flagged as a cheater; the game refuses it with \"Cheater!\"")
                .arg(path)};
}

GameChicken gameChicken(const QString& programFolder) {
    const QString path = chickenstore::chosenChickenPath({}, programFolder);
    return {path, path != chickenstore::playerChickenPath(), read(path)};
}

QStringList describe(const ChickenRecord& c) {
    return {QStringLiteral("Name: ") +
                QString::fromLatin1(c.Name.data(), static_cast<qsizetype>(c.Name.size())),
            QStringLiteral("Portrait: %1").arg(c.PortraitIndex),
            QStringLiteral("Kick power: %1").arg(c.KickPower),
            QStringLiteral("Peck power: %1").arg(c.PeckPower),
            QStringLiteral("Speed: %1").arg(c.Speed),
            QStringLiteral("Obedience: %1").arg(c.Obedience),
            QStringLiteral("Hit points: %1").arg(c.HitPoints),
            QStringLiteral("Kick skill: %1").arg(c.KickSkill),
            QStringLiteral("Peck skill: %1").arg(c.PeckSkill),
            QStringLiteral("Can peck: ") + yesNo(c.CanPeck),
            QStringLiteral("Can combo: ") + yesNo(c.CanCombo)};
}

int hatchCommand(const QString& name, int portrait, QTextStream& out, QTextStream& err) {
    const chickenstore::NameCheck check = chickenstore::checkName(name);
    if (!check.refusal.isEmpty()) {
        err << "quorvel-coop: " << check.refusal << Qt::endl;
        return 1;
    }
    const RandomSource random = randomness::unpredictable();
    if (portrait < 0)
        portrait = static_cast<int>(hatchery::PortraitCount * random());
    const ChickenRecord chicken =
        hatchery::hatch(check.bytes, static_cast<int16_t>(portrait), random);
    const QString path = chickenstore::playerChickenPath();
    const QString failure = chickenstore::save(path, chicken, random);
    if (!failure.isEmpty()) {
        err << "quorvel-coop: cannot save " << path << ": " << failure << Qt::endl;
        return 1;
    }
    print(out, path, chicken);
    return 0;
}

int showCommand(const QString& path, const QString& programFolder, QTextStream& out,
                QTextStream& err) {
    const GameChicken chosen =
        path.isEmpty() ? gameChicken(programFolder) : GameChicken{path, false, read(path)};
    if (!chosen.reading.problem.isEmpty()) {
        err << "quorvel-coop: " << chosen.reading.problem << Qt::endl;
        return 1;
    }
    print(out, chosen.path, *chosen.reading.chicken, chosen.sample);
    return 0;
}

} // namespace coop
