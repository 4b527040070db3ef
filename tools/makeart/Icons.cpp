// The splash banner and the icon images. Icons are drawn on a 32-unit canvas
// scaled to the requested size; the 16-colour ones are drawn without
// antialiasing so that they keep crisp edges in their small palette.

#include "Pictures.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace art {

namespace {

const QColor Ink(28, 24, 40);

QImage canvas(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void begin(QPainter& p, int size, bool antialias) {
    p.setRenderHint(QPainter::Antialiasing, antialias);
    p.scale(size / 32.0, size / 32.0);
}

QPen ink(double width) {
    return QPen(Ink, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

QImage splash() {
    constexpr int W = 398;
    constexpr int H = 78;
    QImage image(W, H, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, H);
    sky.setColorAt(0.0, QColor(222, 238, 255));
    sky.setColorAt(0.6, QColor(246, 248, 240));
    sky.setColorAt(1.0, QColor(252, 238, 196));
    p.fillRect(image.rect(), sky);

    // Soft clouds along the top.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    const QPointF clouds[] = {{40, 10}, {150, 6}, {268, 12}, {360, 5}};
    for (const QPointF& c : clouds) {
        p.drawEllipse(c, 22, 6);
        p.drawEllipse(c + QPointF(10, -3), 12, 6);
        p.drawEllipse(c + QPointF(-9, -2), 10, 5);
    }

    // A field of straw: faint slanting stalks rising from the bottom edge.
    for (int i = 0; i < 80; ++i) {
        const double x = i * 5.1 + 3 * std::sin(i * 1.7);
        const double h = 9 + 6 * (0.5 + 0.5 * std::sin(i * 2.3));
        p.setPen(QPen(QColor(226, 196, 120, 90), 1.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x, H), QPointF(x + 3 + std::sin(i * 0.9) * 2, H - h));
    }

    // A light frame.
    p.setPen(QPen(QColor(160, 176, 214), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, W - 1, H - 1));
    return image;
}

QImage joystick(int size) {
    QImage image = canvas(size);
    QPainter p(&image);
    begin(p, size, true);

    // Base.
    p.setPen(ink(1.2));
    QLinearGradient base(0, 20, 0, 30);
    base.setColorAt(0, QColor(70, 120, 220));
    base.setColorAt(1, QColor(24, 52, 140));
    p.setBrush(base);
    p.drawRoundedRect(QRectF(3, 21, 26, 8.5), 4, 4);
    p.setBrush(QColor(120, 170, 250));
    p.drawEllipse(QRectF(10, 19.5, 12, 4));
    // Fire button.
    p.setBrush(QColor(230, 60, 50));
    p.drawEllipse(QRectF(22.5, 23, 4, 3));

    // Stick and knob.
    p.setPen(QPen(Ink, 4.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 21.5), QPointF(13, 9));
    p.setPen(QPen(QColor(90, 110, 150), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 21.5), QPointF(13, 9));
    p.setPen(ink(1.2));
    QRadialGradient knob(QPointF(11, 5), 8);
    knob.setColorAt(0, QColor(170, 210, 255));
    knob.setColorAt(1, QColor(30, 80, 200));
    p.setBrush(knob);
    p.drawEllipse(QPointF(12.5, 7.5), 5.5, 5.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QPointF(10.6, 5.6), 1.6, 1.3);
    return image;
}

QImage pigFace(int size) {
    QImage image = canvas(size);
    QPainter p(&image);
    begin(p, size, true);
    const QColor pink(246, 164, 186);
    const QColor deep(222, 106, 140);

    p.setPen(ink(1.2));
    // Ears.
    p.setBrush(pink);
    p.drawPolygon(QPolygonF({{4, 12}, {5, 1.5}, {13, 6}}));
    p.drawPolygon(QPolygonF({{28, 12}, {27, 1.5}, {19, 6}}));
    p.setPen(Qt::NoPen);
    p.setBrush(deep);
    p.drawPolygon(QPolygonF({{6, 9.5}, {6.4, 4}, {10.5, 6.6}}));
    p.drawPolygon(QPolygonF({{26, 9.5}, {25.6, 4}, {21.5, 6.6}}));

    // Head.
    p.setPen(ink(1.2));
    QRadialGradient head(QPointF(13, 12), 18);
    head.setColorAt(0, QColor(255, 200, 214));
    head.setColorAt(1, pink);
    p.setBrush(head);
    p.drawEllipse(QPointF(16, 17.5), 13.5, 12.5);

    // Cheeks.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 120, 150, 120));
    p.drawEllipse(QPointF(6.5, 21), 2.6, 1.8);
    p.drawEllipse(QPointF(25.5, 21), 2.6, 1.8);

    // Eyes.
    p.setBrush(Ink);
    p.drawEllipse(QPointF(10.5, 14), 1.8, 2.1);
    p.drawEllipse(QPointF(21.5, 14), 1.8, 2.1);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(11.1, 13.3), 0.6, 0.6);
    p.drawEllipse(QPointF(22.1, 13.3), 0.6, 0.6);

    // Snout and nostrils.
    p.setPen(ink(1.1));
    p.setBrush(QColor(236, 128, 158));
    p.drawEllipse(QPointF(16, 21), 6.2, 4.3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 40, 70));
    p.drawEllipse(QPointF(13.7, 21), 1.2, 1.8);
    p.drawEllipse(QPointF(18.3, 21), 1.2, 1.8);

    // Smile.
    p.setPen(ink(1.0));
    p.setBrush(Qt::NoBrush);
    QPainterPath smile;
    smile.moveTo(12.5, 26.6);
    smile.quadTo(16, 28.6, 19.5, 26.6);
    p.drawPath(smile);
    return image;
}

QImage coop(int size) {
    QImage image = canvas(size);
    QPainter p(&image);
    begin(p, size, true);

    // A red hen house with a white roof edge.
    p.setPen(ink(1.2));
    QLinearGradient wall(0, 12, 0, 30);
    wall.setColorAt(0, QColor(214, 64, 52));
    wall.setColorAt(1, QColor(160, 36, 30));
    p.setBrush(wall);
    p.drawRect(QRectF(5, 13, 22, 17));
    p.setBrush(QColor(120, 78, 52));
    p.drawPolygon(QPolygonF({{2, 14.5}, {16, 2.5}, {30, 14.5}}));
    p.setPen(QPen(QColor(250, 246, 232), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 13.5), QPointF(16, 4.2));
    p.drawLine(QPointF(16, 4.2), QPointF(27.5, 13.5));

    // The round door, dark inside, with a ramp.
    p.setPen(ink(1.0));
    p.setBrush(QColor(40, 24, 20));
    p.drawEllipse(QPointF(16, 20.5), 4.6, 4.6);
    p.setBrush(QColor(196, 150, 96));
    p.drawPolygon(QPolygonF({{13, 25}, {19, 25}, {22, 31}, {10, 31}}));

    // A white hen peeping out: head, red comb, yellow beak, eye.
    p.setBrush(QColor(255, 252, 240));
    p.drawEllipse(QPointF(16, 21), 2.8, 2.6);
    p.setBrush(QColor(226, 40, 40));
    p.drawEllipse(QPointF(15.4, 18.2), 1.2, 1.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 190, 40));
    p.drawPolygon(QPolygonF({{18.4, 20.6}, {20.8, 21.4}, {18.4, 22.2}}));
    p.setBrush(Ink);
    p.drawEllipse(QPointF(16.8, 20.4), 0.55, 0.55);

    // An egg by the door.
    p.setPen(ink(0.8));
    p.setBrush(QColor(250, 240, 214));
    p.drawEllipse(QPointF(25.5, 27.5), 2.2, 2.8);
    return image;
}

QImage plugs(int size) {
    QImage image = canvas(size);
    QPainter p(&image);
    begin(p, size, false);
    const QColor grey(192, 192, 192);
    const QColor dark(128, 128, 128);
    const QColor brass(255, 255, 0);
    const QPen outline(Qt::black, size < 24 ? 2 : 1);

    // Cables leave at both edges.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(0, 14, 4, 4));
    p.drawRect(QRectF(28, 14, 4, 4));

    // Left plug: grip, body and two pins pointing right.
    p.setPen(outline);
    p.setBrush(grey);
    p.drawRect(QRectF(3, 9, 9, 14));
    p.setBrush(dark);
    p.drawRect(QRectF(3, 9, 3, 14));
    p.drawRect(QRectF(12, 11, 2, 10));
    p.setBrush(brass);
    p.drawRect(QRectF(14, 12, 5, 2));
    p.drawRect(QRectF(14, 18, 5, 2));

    // Right plug: the socket face with two holes towards the pins.
    p.setBrush(grey);
    p.drawRect(QRectF(20, 9, 9, 14));
    p.setBrush(dark);
    p.drawRect(QRectF(26, 9, 3, 14));
    p.setBrush(Qt::black);
    p.drawRect(QRectF(20, 12, 2, 2));
    p.drawRect(QRectF(20, 18, 2, 2));
    return image;
}

QImage networkBox(int size) {
    QImage image = canvas(size);
    QPainter p(&image);
    const bool small = size < 24;
    begin(p, size, false);

    // The network line with its taps.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(0, 25, 32, 3));
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(QRectF(2, 24, 3, 5));
    p.drawRect(QRectF(27, 24, 3, 5));
    // The drop cable from the box to the line.
    p.setBrush(Qt::black);
    p.drawRect(QRectF(15, 19, 2, 6));

    // The box.
    p.setPen(QPen(Qt::black, small ? 2 : 1));
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(QRectF(5, 6, 22, 13));
    p.setBrush(QColor(128, 128, 128));
    p.drawRect(QRectF(5, 15, 22, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255));
    p.drawRect(QRectF(6, 7, 20, 2));
    // Port lights.
    const QColor lights[] = {QColor(0, 255, 0), QColor(0, 255, 0), QColor(255, 255, 0),
                             QColor(255, 0, 0)};
    for (int i = 0; i < 4; ++i) {
        p.setBrush(lights[i]);
        p.drawRect(QRectF(8 + 4 * i, 11, 2, 2));
    }
    return image;
}

} // namespace art
