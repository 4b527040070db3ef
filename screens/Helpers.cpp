#include "screens/Helpers.h"

#include "net/ChickenStore.h"
#include "screens/Platform.h"
#include "screens/Vars.h"

#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

namespace Vars {

void GetAppPath() {
    std::string folder = QCoreApplication::applicationDirPath().toStdString();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    AppPath = folder;
}

void PlaySound(const char* fileName) {
    GetAppPath();
    platform::seams().playSound(QString::fromStdString(AppPath + fileName));
}

void PlayClickSound() {
    PlaySound("0.wav");
}

void PlayHitSound() {
    static const char* const hits[] = {"2.wav", "3.wav", "4.wav", "7.wav", "10.wav"};
    const int k = Random(1, 5);
    if (k >= 1 && k <= 5)
        PlaySound(hits[k - 1]);
}

void PlayDeflectSound() {
    PlaySound("9.wav");
}

void MakeTopmost(QWidget* window) {
    const bool wasVisible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // Changing a flag hides a shown window; put it back as it was.
    if (wasVisible)
        window->show();
}

void DrawGradient(QWidget* window) {
    const QSize size = window->size();
    QPixmap background(size.isEmpty() ? QSize(1, 1) : size);
    background.fill(Qt::black);
    QPainter painter(&background);
    // 256 bands, blue 255 at the top down to 0 at the bottom. Each pixel row
    // takes the first band that starts in it, so the top row is the brightest blue
    // and no row is left unpainted where a band is less than a pixel high.
    const int height = background.height();
    for (int y = 0; y < height; ++y) {
        const int band = static_cast<int>(static_cast<qint64>(y) * 256 / height);
        painter.fillRect(QRect(0, y, background.width(), 1), QColor(0, 0, 255 - band));
    }
    painter.end();
    QPalette palette = window->palette();
    palette.setBrush(QPalette::Window, QBrush(background));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

void ChooseChickenPath() {
    GetAppPath();
    const QString chosen = chickenstore::chosenChickenPath(QFile::decodeName(ChickenOption.c_str()),
                                                           QFile::decodeName(AppPath.c_str()));
    ChickenPath = QFile::encodeName(chosen).toStdString();
}

bool LoadChickenData() {
    // A cheater loads like any chicken; the title screen refuses it afterwards.
    if (auto loaded = chickenstore::load(QFile::decodeName(ChickenPath.c_str())); loaded.chicken) {
        OwnChicken = *loaded.chicken;
        return true;
    }
    platform::MsgBox(QStringLiteral("An error has occured loading the chicken data file, it may be "
                                    "corrupt or may not exist.  Quitting."),
                     QStringLiteral("Error"));
    platform::EndProgram(1);
    return false;
}

bool LoadPlayableChicken() {
    ChooseChickenPath();
    if (!LoadChickenData())
        return false;
    if (OwnChicken.flaggedAsCheater()) {
        platform::MsgBox(QStringLiteral("Cheater!"));
        platform::EndProgram(1);
        return false;
    }
    return true;
}

QString displayText(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace Vars
