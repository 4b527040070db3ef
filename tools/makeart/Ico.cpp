#include "Ico.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace art {

namespace {

bool opaque(QRgb pixel) {
    return qAlpha(pixel) >= 128;
}

int channel(QRgb pixel, int c) {
    return c == 0 ? qRed(pixel) : c == 1 ? qGreen(pixel) : qBlue(pixel);
}

// Median cut: split the box with the widest channel range at its median until
// there are `count` boxes; each box becomes the average of its pixels. Sorting is
// stable on the whole colour, so the result never depends on the sort.
std::vector<QRgb> medianCut(std::vector<QRgb> pixels, int count) {
    std::sort(pixels.begin(), pixels.end());
    std::vector<QRgb> unique = pixels;
    unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
    if (static_cast<int>(unique.size()) <= count)
        return unique;

    struct Box {
        std::vector<QRgb> pixels;
        int widest = 0;
        int range = 0;
    };
    auto measure = [](Box& box) {
        box.range = -1;
        for (int c = 0; c < 3; ++c) {
            const auto [lo, hi] =
                std::minmax_element(box.pixels.begin(), box.pixels.end(),
                                    [c](QRgb a, QRgb b) { return channel(a, c) < channel(b, c); });
            const int range = channel(*hi, c) - channel(*lo, c);
            if (range > box.range) {
                box.range = range;
                box.widest = c;
            }
        }
    };
    std::vector<Box> boxes(1);
    boxes[0].pixels = std::move(pixels);
    measure(boxes[0]);
    while (static_cast<int>(boxes.size()) < count) {
        auto it = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            return a.range * static_cast<long>(a.pixels.size()) <
                   b.range * static_cast<long>(b.pixels.size());
        });
        if (it->range <= 0)
            break;
        const int c = it->widest;
        std::stable_sort(it->pixels.begin(), it->pixels.end(),
                         [c](QRgb a, QRgb b) { return channel(a, c) < channel(b, c); });
        const auto half = static_cast<std::ptrdiff_t>(it->pixels.size() / 2);
        Box upper;
        upper.pixels.assign(it->pixels.begin() + half, it->pixels.end());
        it->pixels.resize(static_cast<std::size_t>(half));
        measure(*it);
        measure(upper);
        boxes.push_back(std::move(upper));
    }
    std::vector<QRgb> palette;
    for (const Box& box : boxes) {
        long sum[3] = {0, 0, 0};
        for (QRgb p : box.pixels)
            for (int c = 0; c < 3; ++c)
                sum[c] += channel(p, c);
        const long n = static_cast<long>(box.pixels.size());
        palette.push_back(qRgb(static_cast<int>((sum[0] + n / 2) / n),
                               static_cast<int>((sum[1] + n / 2) / n),
                               static_cast<int>((sum[2] + n / 2) / n)));
    }
    return palette;
}

int nearest(const QList<QRgb>& table, int first, QRgb pixel) {
    int best = first;
    long bestDistance = -1;
    for (int i = first; i < table.size(); ++i) {
        long d = 0;
        for (int c = 0; c < 3; ++c) {
            const long diff = channel(table[i], c) - channel(pixel, c);
            d += diff * diff;
        }
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

void put16(QByteArray& out, int value) {
    out.append(static_cast<char>(value & 0xff));
    out.append(static_cast<char>((value >> 8) & 0xff));
}

void put32(QByteArray& out, std::int64_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.append(static_cast<char>((value >> shift) & 0xff));
}

// One image as the icon format keeps it: BITMAPINFOHEADER (double height for the
// mask), the full colour table, the colour rows bottom-up, then the 1-bit
// transparency mask bottom-up (1 = transparent). Rows pad to four bytes.
QByteArray bmpPayload(const QImage& indexed, int bitsPerPixel) {
    const int w = indexed.width();
    const int h = indexed.height();
    const int colourStride = ((w * bitsPerPixel + 31) / 32) * 4;
    const int maskStride = ((w + 31) / 32) * 4;
    const int tableSize = 1 << bitsPerPixel;

    QByteArray out;
    put32(out, 40);
    put32(out, w);
    put32(out, 2 * h);
    put16(out, 1);
    put16(out, bitsPerPixel);
    put32(out, 0);
    put32(out, (colourStride + maskStride) * h);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);

    const QList<QRgb> table = indexed.colorTable();
    for (int i = 0; i < tableSize; ++i) {
        const QRgb c = i < table.size() && qAlpha(table[i]) != 0 ? table[i] : qRgb(0, 0, 0);
        out.append(static_cast<char>(qBlue(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qRed(c)));
        out.append('\0');
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(colourStride, '\0');
        const uchar* line = indexed.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            if (bitsPerPixel == 8)
                row[x] = static_cast<char>(line[x]);
            else
                row[x / 2] = static_cast<char>(row[x / 2] | (x % 2 ? line[x] : line[x] << 4));
        }
        out.append(row);
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x)
            if (qAlpha(table[indexed.pixelIndex(x, y)]) == 0)
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        out.append(row);
    }
    return out;
}

} // namespace

QImage toPalette(const QImage& image, int colours) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    std::vector<QRgb> pixels;
    bool transparent = false;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = argb.pixel(x, y);
            if (opaque(p))
                pixels.push_back(qRgb(qRed(p), qGreen(p), qBlue(p)));
            else
                transparent = true;
        }

    QList<QRgb> table;
    if (transparent)
        table.append(qRgba(0, 0, 0, 0));
    const int first = static_cast<int>(table.size());
    for (QRgb c : medianCut(pixels, colours - first))
        table.append(c);

    QImage indexed(argb.size(), QImage::Format_Indexed8);
    indexed.setColorTable(table);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = argb.pixel(x, y);
            indexed.setPixel(x, y, opaque(p) ? static_cast<uint>(nearest(table, first, p)) : 0u);
        }
    return indexed;
}

bool writeIco(const QString& path, const QList<IconImage>& images) {
    QList<QByteArray> payloads;
    QList<int> depths;
    for (const IconImage& icon : images) {
        const int bits = icon.colours <= 16 ? 4 : 8;
        payloads.append(bmpPayload(toPalette(icon.image, 1 << bits), bits));
        depths.append(bits);
    }

    QByteArray out;
    put16(out, 0); // reserved
    put16(out, 1); // icon
    put16(out, static_cast<int>(images.size()));
    std::int64_t offset = 6 + 16 * images.size();
    for (qsizetype i = 0; i < images.size(); ++i) {
        const QImage& image = images[i].image;
        out.append(static_cast<char>(image.width() >= 256 ? 0 : image.width()));
        out.append(static_cast<char>(image.height() >= 256 ? 0 : image.height()));
        out.append(static_cast<char>(depths[i] == 4 ? 16 : 0));
        out.append('\0');
        put16(out, 1);
        put16(out, depths[i]);
        put32(out, payloads[i].size());
        put32(out, offset);
        offset += payloads[i].size();
    }
    for (const QByteArray& payload : payloads)
        out.append(payload);

    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

} // namespace art
