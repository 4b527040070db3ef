// The pictures, the sounds and the portrait gallery: formats and sizes the
// program and the platform rely on, the gallery's lookup and layout.

#include "screens/Forms.h"
#include "screens/Twips.h"
#include "screens/frmpics.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QtEndian>
#include <QtTest>

#include <optional>

namespace {

const QString Assets = QStringLiteral(QUORVEL_ASSETS);

QByteArray contents(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString portraitName(int index) {
    return QStringLiteral("portrait%1.jpg").arg(index, 2, 10, QLatin1Char('0'));
}

template <typename T> T le(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<T>(data.constData() + at);
}

struct JpegInfo {
    bool jfif = false;
    int frameMarker = 0, components = 0; // marker 0xC0 baseline, 0xC2 progressive, ...
};

// Walks the marker segments from the start of image to the start of scan.
std::optional<JpegInfo> jpegInfo(const QByteArray& data) {
    if (data.size() < 4 || quint8(data[0]) != 0xFF || quint8(data[1]) != 0xD8)
        return std::nullopt;
    JpegInfo info;
    qsizetype at = 2;
    while (at + 4 <= data.size()) {
        if (quint8(data[at]) != 0xFF)
            return std::nullopt;
        const int marker = quint8(data[at + 1]);
        const int length = qFromBigEndian<quint16>(data.constData() + at + 2);
        if (marker == 0xDA)
            return info;
        if (marker == 0xE0 && data.mid(at + 4, 5) == QByteArray("JFIF\0", 5))
            info.jfif = true;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            info.frameMarker = marker;
            info.components = quint8(data[at + 9]);
        }
        at += 2 + length;
    }
    return std::nullopt;
}

struct WavInfo {
    int format = 0, channels = 0, rate = 0, bits = 0;
    QByteArray samples;
};

std::optional<WavInfo> wavInfo(const QByteArray& data) {
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE" ||
        le<quint32>(data, 4) != quint32(data.size() - 8))
        return std::nullopt;
    WavInfo info;
    bool haveFormat = false;
    qsizetype at = 12;
    while (at + 8 <= data.size()) {
        const QByteArray id = data.mid(at, 4);
        const qsizetype size = le<quint32>(data, at + 4);
        if (at + 8 + size > data.size())
            return std::nullopt;
        if (id == "fmt " && size >= 16) {
            info.format = le<quint16>(data, at + 8);
            info.channels = le<quint16>(data, at + 10);
            info.rate = static_cast<int>(le<quint32>(data, at + 12));
            info.bits = le<quint16>(data, at + 22);
            haveFormat = true;
        } else if (id == "data") {
            info.samples = data.mid(at + 8, size);
        }
        at += 8 + size + (size & 1);
    }
    if (!haveFormat)
        return std::nullopt;
    return info;
}

// Each icon's sizes in order and its colour depth.
struct Icon {
    const char* name;
    int sizes[2];
    int bitsPerPixel;
};
const Icon Icons[] = {{"splashicon.ico", {32}, 8},
                      {"program.ico", {32}, 8},
                      {"connection.ico", {32, 16}, 4},
                      {"fight.ico", {32, 16}, 4}};

const char* const SoundFiles[] = {"0.wav", "1.wav", "2.wav", "3.wav",
                                  "4.wav", "7.wav", "9.wav", "10.wav"};

} // namespace

class TestAssets : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Forms::unloadAll(); }

    // Each portrait: a small colour baseline JPEG, distinct from the others, in
    // the program's resources, and the gallery's picture at its index at its
    // natural size, named by its index.
    void portraits() {
        const frmpics& gallery = Forms::get<frmpics>();
        QList<QImage> seen;
        for (int i = 0; i < frmpics::PortraitCount; ++i) {
            const QString path = Assets + QStringLiteral("/pictures/") + portraitName(i);
            const auto info = jpegInfo(contents(path));
            QVERIFY2(info, qPrintable(path));
            QVERIFY(info->jfif);
            QCOMPARE(info->frameMarker, 0xC0);
            QCOMPARE(info->components, 3);
            const QImage image(path);
            QCOMPARE(image.size(), QSize(50, 50));
            QVERIFY(!image.allGray());
            QVERIFY2(!seen.contains(image), qPrintable(path));
            seen.append(image);
            QVERIFY(QFile::exists(QStringLiteral(":/pictures/") + portraitName(i)));
            QCOMPARE(gallery.picture(i).toImage().convertToFormat(image.format()), image);
            QCOMPARE(gallery.pic(i)->pixmap().cacheKey(), gallery.picture(i).cacheKey());
            QCOMPARE(gallery.pic(i)->objectName(), QStringLiteral("pic(%1)").arg(i));
            QVERIFY(!gallery.pic(i)->hasScaledContents());
        }
    }

    void splashIsALightBanner() {
        const QString path = Assets + QStringLiteral("/pictures/splash.jpg");
        const auto info = jpegInfo(contents(path));
        QVERIFY(info);
        QCOMPARE(info->components, 3);
        const QImage image(path);
        QCOMPARE(image.size(), QSize(398, 78));
        QVERIFY(QFile::exists(QStringLiteral(":/pictures/splash.jpg")));
        // Navy texts stand on it: every part of it stays light.
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                QVERIFY2(QColor(image.pixel(x, y)).lightness() > 150,
                         qPrintable(QStringLiteral("dark at %1,%2").arg(x).arg(y)));
    }

    void icons() {
        for (const auto& [name, sizeArray, bitsPerPixel] : Icons) {
            // As the program sees them, from its resources.
            QImageReader reader(QStringLiteral(":/pictures/") + name);
            const QList<int> sizes(std::begin(sizeArray),
                                   std::find(std::begin(sizeArray), std::end(sizeArray), 0));
            QCOMPARE(reader.imageCount(), sizes.size());
            for (int size : sizes) {
                const QImage image = reader.read();
                QCOMPARE(image.size(), QSize(size, size));
                reader.jumpToNextImage();
            }

            // The colour depth, from the icon directory and each image's header.
            const QByteArray data = contents(Assets + QStringLiteral("/pictures/") + name);
            QVERIFY(data.size() > 6);
            QCOMPARE(int(le<quint16>(data, 4)), sizes.size());
            for (qsizetype i = 0; i < sizes.size(); ++i) {
                const qsizetype entry = 6 + 16 * i;
                QCOMPARE(int(le<quint16>(data, entry + 6)), bitsPerPixel);
                const qsizetype image = le<quint32>(data, entry + 12);
                QVERIFY(image + 40 <= data.size());
                QCOMPARE(int(le<quint16>(data, image + 14)), bitsPerPixel);
            }
        }
    }

    // Each sound: 16-bit mono PCM at 22050 Hz, under a second, not silent, and
    // distinct from the others.
    void sounds() {
        QList<QByteArray> seen;
        for (const char* name : SoundFiles) {
            const QByteArray data = contents(Assets + QStringLiteral("/sounds/") + name);
            QVERIFY2(!seen.contains(data), name);
            seen.append(data);
            const auto wav = wavInfo(data);
            QVERIFY2(wav, name);
            QCOMPARE(wav->format, 1);
            QCOMPARE(wav->channels, 1);
            QCOMPARE(wav->rate, 22050);
            QCOMPARE(wav->bits, 16);
            const qsizetype samples = wav->samples.size() / 2;
            QVERIFY(samples > 0 && samples < 22050);
            int peak = 0;
            for (qsizetype i = 0; i < samples; ++i)
                peak = qMax(peak,
                            qAbs(int(qFromLittleEndian<qint16>(wav->samples.constData() + 2 * i))));
            QVERIFY2(peak > 3000, name);
        }
    }

    void galleryLookup() {
        const frmpics& gallery = Forms::get<frmpics>();
        for (int index : {-1, 15, 32767, -32768}) // no portrait there
            QVERIFY(gallery.picture(index).isNull() && gallery.pic(index) == nullptr);
        // Five a row, in twips; the third row starts at the right.
        const int grid[][3] = {
            {0, 0, 0}, {4, 3360, 0}, {5, 0, 840}, {10, 3360, 1680}, {14, 0, 1680}};
        for (const auto& [index, left, top] : grid)
            QCOMPARE(gallery.pic(index)->geometry(), twips::rect(left, top, 750, 750));
        // Its window is never shown.
        QVERIFY(!gallery.isVisible());
        QCOMPARE(gallery.windowTitle(), QStringLiteral("Click a portrait for your chicken:"));
        QCOMPARE(gallery.size(), twips::size(4125, 2445));
        QVERIFY(gallery.windowFlags().testFlag(Qt::Tool));
        QVERIFY(!gallery.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!gallery.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    }
};

QTEST_MAIN(TestAssets)
#include "test_assets.moc"
