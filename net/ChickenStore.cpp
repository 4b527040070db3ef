#include "net/ChickenStore.h"

#include "core/ChickenFile.h"
#include "core/Hatchery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace chickenstore {

namespace {

const QString FlockSubfolder = QStringLiteral("quorvel/chickens");

} // namespace

QString playerChickenPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/quorvel/chicken.dat");
}

QString chosenChickenPath(const QString& option, const QString& programFolder) {
    if (!option.isEmpty())
        return QFileInfo(option).absoluteFilePath();
    const QString own = playerChickenPath();
    if (QFileInfo::exists(own))
        return own;
    return QDir(programFolder).filePath(QStringLiteral("chicken.dat"));
}

QString flockFolder(const QString& programFolder) {
    const QDir program(programFolder);
    // A build keeps the flock beside the programs, and an installed program
    // folder links to it; other trees keep it in share.
    QStringList candidates = {program.filePath(QStringLiteral("chickens")),
                              program.filePath(QStringLiteral("../share/") + FlockSubfolder),
                              program.filePath(QStringLiteral("../../share/") + FlockSubfolder)};
    candidates += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, FlockSubfolder,
                                            QStandardPaths::LocateDirectory);
    for (const QString& folder : candidates) {
        if (QFileInfo(folder).isDir())
            return QDir::cleanPath(folder);
    }
    return {};
}

Loaded load(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return {std::nullopt, LoadFailure::Missing};
    if (!info.isFile() || !info.isReadable())
        return {std::nullopt, LoadFailure::Unreadable};
    auto chicken = chickenfile::load(QFile::encodeName(path).toStdString());
    if (!chicken)
        return {std::nullopt, LoadFailure::Damaged};
    if (chicken->flaggedAsCheater())
        return {chicken, LoadFailure::Cheater};
    return {chicken, LoadFailure::None};
}

NameCheck checkName(const QString& name) {
    for (const QChar c : name) {
        if (c.unicode() > 0xFF)
            return {{},
                    QStringLiteral("A name may only hold Latin-1 characters (letters such as "
                                   "é, ß or ñ), not \"%1\".")
                        .arg(c)};
    }
    const QByteArray latin1 = name.toLatin1();
    std::string bytes(latin1.constData(), static_cast<std::size_t>(latin1.size()));
    if (const auto refusal = hatchery::nameRefusal(bytes))
        return {{}, QString::fromStdString(*refusal)};
    return {std::move(bytes), {}};
}

QString save(const QString& path, const ChickenRecord& chicken,
             const std::function<double()>& random) {
    // A scale of its own for every save, as the single-player game does.
    const auto statDivisor = static_cast<int16_t>(2 + static_cast<int>(8 * random()));
    const auto statOffset = static_cast<int16_t>(1 + static_cast<int>(20 * random()));
    const auto text = chickenfile::format(chicken, statDivisor, statOffset);
    if (!text)
        return QStringLiteral("this chicken cannot be stored in a chicken file");
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
    // Unbuffered, so that every write reports what reached the file: QSaveFile
    // commits a file cut short by a full disk as if it were whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    const char* data = text->data();
    qint64 left = static_cast<qint64>(text->size());
    while (left > 0) {
        const qint64 written = file.write(data, left);
        if (written <= 0) {
            const QString failure = file.errorString();
            file.cancelWriting();
            return QStringLiteral("writing failed (%1)").arg(failure);
        }
        data += written;
        left -= written;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace chickenstore
