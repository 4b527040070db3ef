// makeart: draws the game's pictures and synthesises its sounds into an assets
// folder. Everything is deterministic, so running it again gives the same files.
//
//   makeart <assets-folder> [--sheet <contact-sheet.png>]

#include "Ico.h"
#include "Pictures.h"
#include "Sounds.h"

#include <QCoreApplication>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTextStream>

#include <utility>

namespace {

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

bool writeJpeg(const QString& path, QImage image) {
    // 96 dots per inch, stored in the JFIF header.
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    QImageWriter writer(path, "jpeg");
    writer.setQuality(92);
    writer.setOptimizedWrite(false);
    writer.setProgressiveScanWrite(false);
    if (!writer.write(image)) {
        err() << path << ": " << writer.errorString() << Qt::endl;
        return false;
    }
    return true;
}

bool writeIcon(const QString& path, const QList<art::IconImage>& images) {
    if (!art::writeIco(path, images)) {
        err() << path << ": cannot write" << Qt::endl;
        return false;
    }
    QImageReader reader(path);
    if (reader.imageCount() != images.size()) {
        err() << path << ": reads back " << reader.imageCount() << " images" << Qt::endl;
        return false;
    }
    return true;
}

// All pictures as written, for looking at: the portraits four times enlarged
// (each with its natural size in the corner), the splash twice enlarged and every
// icon image four times enlarged.
QImage contactSheet(const QDir& pictures) {
    QImage sheet(1120, 1040, QImage::Format_RGB32);
    sheet.fill(QColor(96, 96, 96));
    QPainter p(&sheet);
    for (int i = 0; i < art::PortraitCount; ++i) {
        const QImage portrait(
            pictures.filePath(QStringLiteral("portrait%1.jpg").arg(i, 2, 10, QLatin1Char('0'))));
        const QPoint at(10 + (i % 5) * 210, 10 + (i / 5) * 210);
        p.drawImage(QRect(at, QSize(200, 200)), portrait);
        p.drawImage(QPoint(10 + i * 58, 640), portrait);
    }
    const QImage splash(pictures.filePath(QStringLiteral("splash.jpg")));
    p.drawImage(QRect(10, 700, 796, 156), splash);
    p.drawImage(QPoint(10, 880), splash);
    int x = 420;
    for (const char* name : {"splashicon.ico", "program.ico", "connection.ico", "fight.ico"}) {
        QImageReader reader(pictures.filePath(QLatin1String(name)));
        do {
            const QImage icon = reader.read();
            p.drawImage(QRect(x, 1030 - 4 * icon.height(), 4 * icon.width(), 4 * icon.height()),
                        icon);
            x += 4 * icon.width() + 10;
        } while (reader.jumpToNextImage());
    }
    return sheet;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && !(args.size() == 4 && args[2] == QLatin1String("--sheet"))) {
        err() << "usage: makeart <assets-folder> [--sheet <contact-sheet.png>]" << Qt::endl;
        return 2;
    }
    const QDir assets(args[1]);
    if (!assets.mkpath(QStringLiteral("pictures")) || !assets.mkpath(QStringLiteral("sounds")) ||
        !assets.mkpath(QStringLiteral("icons"))) {
        err() << assets.path() << ": cannot create folders" << Qt::endl;
        return 1;
    }
    const QDir pictures(assets.filePath(QStringLiteral("pictures")));
    const QDir icons(assets.filePath(QStringLiteral("icons")));

    bool ok = true;
    for (int i = 0; i < art::PortraitCount; ++i)
        ok &= writeJpeg(
            pictures.filePath(QStringLiteral("portrait%1.jpg").arg(i, 2, 10, QLatin1Char('0'))),
            art::portrait(i));
    ok &= writeJpeg(pictures.filePath(QStringLiteral("splash.jpg")), art::splash());
    ok &=
        writeIcon(pictures.filePath(QStringLiteral("splashicon.ico")), {{art::joystick(32), 256}});
    ok &= writeIcon(pictures.filePath(QStringLiteral("program.ico")), {{art::pigFace(32), 256}});
    ok &= writeIcon(pictures.filePath(QStringLiteral("connection.ico")),
                    {{art::plugs(32), 16}, {art::plugs(16), 16}});
    ok &= writeIcon(pictures.filePath(QStringLiteral("fight.ico")),
                    {{art::networkBox(32), 16}, {art::networkBox(16), 16}});
    // The programs' icons for desktops, in the sizes of the hicolor icon theme:
    // the game's pig and the Chicken Coop's hen house.
    for (const int size : art::DesktopIconSizes) {
        const std::pair<QString, QImage> desktopIcons[] = {
            {QStringLiteral("quorvel-%1.png"), art::pigFace(size)},
            {QStringLiteral("quorvel-coop-%1.png"), art::coop(size)}};
        for (const auto& [name, image] : desktopIcons) {
            const QString path = icons.filePath(name.arg(size));
            QImageWriter writer(path, "png");
            writer.setCompression(9);
            if (!writer.write(image)) {
                err() << path << ": " << writer.errorString() << Qt::endl;
                ok = false;
            }
        }
    }
    if (!art::writeSounds(assets.filePath(QStringLiteral("sounds")))) {
        err() << "cannot write the sounds" << Qt::endl;
        ok = false;
    }
    if (ok && args.size() == 4 && !contactSheet(pictures).save(args[3])) {
        err() << args[3] << ": cannot write" << Qt::endl;
        ok = false;
    }
    return ok ? 0 : 1;
}
