#pragma once

// Writes Windows icon files with palette images (16 or 256 colours), any number
// of images per file. Qt's own ICO writer stores one 32-bit image per file, so
// the container and its BMP payloads are written here.

#include <QImage>
#include <QList>
#include <QString>

namespace art {

struct IconImage {
    QImage image; // ARGB; alpha below 128 counts as transparent
    int colours;  // 16 or 256
};

// Reduces `image` to at most `colours` colours (median cut over its opaque
// pixels) and returns it as Format_Indexed8; transparent pixels get index 0 and
// alpha 0 in the colour table.
QImage toPalette(const QImage& image, int colours);

// Writes `images` as one .ico file; false when the file cannot be written.
bool writeIco(const QString& path, const QList<IconImage>& images);

} // namespace art
