// Cartoon chicken portraits. Each is laid out on a 100-unit square, rendered at
// four times its final size and scaled down by area averaging, which gives clean
// edges at 50 x 50.
// Every figure is drawn facing right; a left-facing one is mirrored.

#include "Pictures.h"

#include <QPainter>
#include <QPainterPath>

#include <cstdint>

namespace art {

namespace {

enum class Kind { Hen, Chick, Rooster };
enum class Pose { Standing, Pecking, Crowing };
enum class Extra { None, Speckles, Crest, Eggshell, Stripes, Clucking, Flapping };

struct Look {
    Kind kind;
    QColor body;
    QColor wing;
    QColor skyTop;
    QColor skyBottom;
    QColor ground;
    Pose pose = Pose::Standing;
    bool facingLeft = false;
    Extra extra = Extra::None;
    QColor hackle = {}; // roosters: neck feathers
    QColor tailA = {};  // roosters: sickle feathers
    QColor tailB = {};
    QColor comb = QColor(218, 38, 40);
    QColor beak = QColor(246, 170, 40);
};

const Look looks[PortraitCount] = {
    {Kind::Hen, {250, 248, 240}, {222, 216, 200}, {140, 196, 246}, {214, 236, 255}, {112, 178, 76}},
    {Kind::Hen,
     {176, 84, 40},
     {122, 52, 26},
     {196, 232, 160},
     {240, 250, 214},
     {166, 126, 70},
     Pose::Standing,
     true},
    {Kind::Chick, {255, 218, 56}, {242, 184, 30}, {250, 192, 210}, {255, 236, 242}, {122, 188, 86}},
    {Kind::Rooster,
     {182, 62, 30},
     {128, 40, 22},
     {255, 226, 140},
     {255, 248, 214},
     {148, 114, 70},
     Pose::Standing,
     true,
     Extra::None,
     {242, 168, 48},
     {24, 84, 62},
     {18, 32, 30}},
    {Kind::Hen,
     {48, 48, 58},
     {82, 92, 112},
     {255, 186, 116},
     {255, 232, 196},
     {118, 162, 68},
     Pose::Pecking},
    {Kind::Hen,
     {150, 150, 164},
     {112, 112, 128},
     {198, 186, 242},
     {236, 232, 255},
     {140, 178, 90},
     Pose::Standing,
     true,
     Extra::Speckles},
    {Kind::Chick,
     {255, 228, 84},
     {244, 196, 44},
     {160, 210, 250},
     {226, 242, 255},
     {218, 190, 120},
     Pose::Standing,
     false,
     Extra::Eggshell},
    {Kind::Rooster,
     {250, 250, 246},
     {222, 222, 226},
     {96, 148, 228},
     {184, 212, 250},
     {96, 160, 70},
     Pose::Crowing,
     false,
     Extra::None,
     {255, 236, 190},
     {236, 236, 240},
     {196, 200, 214}},
    {Kind::Hen,
     {232, 180, 98},
     {196, 136, 58},
     {144, 214, 206},
     {216, 246, 240},
     {196, 160, 90},
     Pose::Standing,
     false,
     Extra::Clucking},
    {Kind::Chick,
     {188, 136, 82},
     {140, 94, 52},
     {255, 232, 120},
     {255, 250, 210},
     {120, 176, 80},
     Pose::Standing,
     true,
     Extra::Stripes,
     {},
     {},
     {},
     QColor(218, 38, 40),
     QColor(232, 140, 40)},
    {Kind::Rooster,
     {44, 34, 40},
     {150, 56, 32},
     {176, 238, 196},
     {230, 255, 236},
     {150, 124, 80},
     Pose::Standing,
     false,
     Extra::None,
     {228, 96, 32},
     {20, 64, 54},
     {76, 28, 96}},
    {Kind::Hen,
     {246, 242, 236},
     {220, 214, 206},
     {244, 184, 198},
     {255, 230, 236},
     {130, 186, 96},
     Pose::Standing,
     false,
     Extra::Crest},
    {Kind::Hen,
     {110, 132, 174},
     {76, 94, 136},
     {255, 164, 124},
     {255, 222, 170},
     {150, 120, 80},
     Pose::Standing,
     true,
     Extra::Flapping},
    {Kind::Chick,
     {250, 236, 150},
     {236, 212, 104},
     {168, 224, 148},
     {222, 246, 204},
     {98, 160, 66},
     Pose::Pecking},
    {Kind::Rooster,
     {226, 166, 44},
     {196, 92, 32},
     {120, 186, 240},
     {252, 220, 172},
     {120, 150, 70},
     Pose::Crowing,
     true,
     Extra::None,
     {252, 210, 90},
     {36, 46, 112},
     {22, 96, 72}},
};

const QColor Outline(48, 32, 26);
constexpr double Line = 3.2; // outline width on the 100-unit canvas

QPainterPath circle(double x, double y, double r) {
    QPainterPath p;
    p.addEllipse(QPointF(x, y), r, r);
    return p;
}

QPainterPath ellipse(double x, double y, double rx, double ry, double degrees = 0) {
    QPainterPath p;
    p.addEllipse(QPointF(0, 0), rx, ry);
    QTransform t;
    t.translate(x, y);
    t.rotate(degrees);
    return t.map(p);
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
    QPainterPath p;
    p.addPolygon(QPolygonF(QList<QPointF>(points)));
    p.closeSubpath();
    return p;
}

void fill(QPainter& p, const QPainterPath& path, const QColor& colour, double line = Line) {
    p.setPen(line > 0 ? QPen(Outline, line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)
                      : QPen(Qt::NoPen));
    p.setBrush(colour);
    p.drawPath(path);
}

void stroke(QPainter& p, const QPainterPath& path, const QColor& colour, double width) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Outline, width + Line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

// Small deterministic generator for speckles.
struct Dice {
    std::uint32_t state;
    double next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0;
    }
};

void drawBackground(QPainter& p, const Look& look) {
    QLinearGradient sky(0, 0, 0, 100);
    sky.setColorAt(0, look.skyTop);
    sky.setColorAt(1, look.skyBottom);
    p.fillRect(QRectF(0, 0, 100, 100), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(look.ground);
    p.drawEllipse(QPointF(50, 108), 78, 19);
}

void drawLegs(QPainter& p, const Look& look, double x1, double x2, double top, double foot) {
    QPainterPath legs;
    for (double x : {x1, x2}) {
        legs.moveTo(x, top);
        legs.lineTo(x - 1, foot);
        legs.moveTo(x - 7, foot + 1);
        legs.lineTo(x - 1, foot);
        legs.lineTo(x + 6, foot + 1.5);
    }
    stroke(p, legs, look.beak.darker(108), 2.6);
}

// The eye with its white, pupil and highlight; `happy` closes it to an arc.
void drawEye(QPainter& p, QPointF at, double r, bool happy) {
    if (happy) {
        QPainterPath arc;
        arc.moveTo(at.x() - r, at.y() + 1);
        arc.quadTo(at.x(), at.y() - r * 1.2, at.x() + r, at.y() + 1);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Outline, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(arc);
        return;
    }
    fill(p, circle(at.x(), at.y(), r), Qt::white, 2.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 16, 16));
    p.drawEllipse(QPointF(at.x() + r * 0.25, at.y() + r * 0.05), r * 0.62, r * 0.62);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(at.x() + r * 0.42, at.y() - r * 0.22), r * 0.22, r * 0.22);
}

void drawBeak(QPainter& p, const Look& look, QPointF at, double size, bool open) {
    const double x = at.x();
    const double y = at.y();
    if (open) {
        fill(p, polygon({{x, y - size * 0.75}, {x + size * 1.2, y - size * 0.55}, {x, y}}),
             look.beak, 2.4);
        fill(p, polygon({{x, y + size * 0.25}, {x + size, y + size * 0.85}, {x, y + size * 0.8}}),
             look.beak.darker(115), 2.4);
    } else {
        fill(p, polygon({{x, y - size * 0.55}, {x + size * 1.15, y}, {x, y + size * 0.55}}),
             look.beak, 2.4);
    }
}

QPainterPath combPath(const Look& look) {
    QPainterPath comb;
    if (look.kind == Kind::Rooster) {
        comb = circle(59, 19, 5).united(circle(64, 13, 6)).united(circle(70, 11, 6.2));
        comb = comb.united(circle(76, 14, 5.4)).united(circle(80, 20, 4.2));
        comb = comb.united(ellipse(70, 21, 11, 5));
    } else {
        comb = circle(63, 21, 4.6).united(circle(68.5, 18.5, 5.2)).united(circle(74, 21, 4.2));
        comb = comb.united(ellipse(69, 23, 7, 3.5));
    }
    return comb;
}

QPainterPath wattlePath(const Look& look) {
    if (look.kind == Kind::Rooster)
        return ellipse(80, 44, 4, 8, -8).united(ellipse(84.5, 42, 3.2, 6.5, -12));
    return ellipse(81, 43, 3.4, 5.4, -8);
}

// Head group transform: pecking bends the neck down, crowing stretches it up.
QTransform headTransform(const Look& look) {
    QTransform t;
    if (look.pose == Pose::Pecking) {
        const QPointF pivot = look.kind == Kind::Chick ? QPointF(50, 60) : QPointF(58, 56);
        t.translate(pivot.x(), pivot.y());
        t.rotate(look.kind == Kind::Chick ? 38 : 50);
        t.translate(-pivot.x(), -pivot.y());
    } else if (look.pose == Pose::Crowing) {
        t.translate(58, 58);
        t.rotate(-24);
        t.translate(-58, -58);
    }
    return t;
}

void drawTail(QPainter& p, const Look& look) {
    if (look.kind == Kind::Rooster) {
        QPainterPath dark;
        dark.moveTo(26, 60);
        dark.cubicTo(18, 28, 2, 22, 2, 48);
        QPainterPath mid;
        mid.moveTo(26, 62);
        mid.cubicTo(14, 36, 0, 40, 4, 64);
        QPainterPath light;
        light.moveTo(28, 56);
        light.cubicTo(26, 22, 12, 12, 8, 30);
        stroke(p, dark, look.tailA, 6.5);
        stroke(p, light, look.tailB, 5.5);
        stroke(p, mid, look.tailA.lighter(135), 5.5);
        return;
    }
    if (look.kind == Kind::Hen) {
        QPainterPath tail;
        tail.moveTo(24, 62);
        tail.cubicTo(12, 54, 8, 38, 13, 26);
        tail.cubicTo(20, 32, 30, 40, 40, 50);
        tail.closeSubpath();
        fill(p, tail, look.wing);
        QPainterPath lines;
        lines.moveTo(16, 32);
        lines.quadTo(20, 46, 28, 54);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Outline, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(lines);
    }
}

void drawChicken(QPainter& p, const Look& look) {
    const bool chick = look.kind == Kind::Chick;
    const bool rooster = look.kind == Kind::Rooster;
    const QTransform head = headTransform(look);

    // Legs first: the body covers their tops.
    if (chick)
        drawLegs(p, look, 40, 54, 84, 93);
    else if (rooster)
        drawLegs(p, look, 40, 52, 78, 93);
    else
        drawLegs(p, look, 40, 53, 80, 93);

    drawTail(p, look);

    // Comb and wattle sit behind the head outline.
    if (!chick && look.extra != Extra::Crest) {
        fill(p, head.map(combPath(look)), look.comb);
        fill(p, head.map(wattlePath(look)), look.comb);
    }

    QPainterPath body;
    QPainterPath headShape;
    QPointF eye;
    QPointF beak;
    double eyeSize = 5.2;
    double beakSize = 8;
    if (chick) {
        body = circle(46, 66, 24);
        headShape = circle(58, 40, 17);
        eye = QPointF(64, 36);
        eyeSize = 6;
        beak = QPointF(74, 41);
        beakSize = 6.5;
    } else if (rooster) {
        body = ellipse(44, 62, 25, 19, -18);
        headShape = ellipse(62, 42, 9, 16, 18).united(circle(69, 30, 12.5));
        eye = QPointF(72, 27);
        beak = QPointF(80, 32);
    } else {
        body = ellipse(45, 62, 30, 22, -6);
        headShape = ellipse(62, 46, 11, 15, 12).united(circle(68, 33, 14));
        eye = QPointF(72, 29.5);
        beak = QPointF(81, 35);
    }
    headShape = head.map(headShape);
    eye = head.map(eye);
    beak = head.map(beak);
    const QPainterPath silhouette = body.united(headShape);
    fill(p, silhouette, look.body);

    // Silkie-style pompom crest.
    if (look.extra == Extra::Crest) {
        QPainterPath crest = circle(57, 21, 6).united(circle(63, 15, 7)).united(circle(70, 14, 6));
        crest = crest.united(circle(60, 24, 5));
        fill(p, head.map(crest), look.body);
    }

    // Markings, clipped to the figure.
    p.save();
    p.setClipPath(silhouette);
    if (rooster) {
        QPainterPath hackle = ellipse(58, 46, 13, 16, 20);
        p.setPen(Qt::NoPen);
        p.setBrush(look.hackle);
        p.drawPath(head.map(hackle).subtracted(head.map(circle(69, 30, 12.5))));
    }
    if (look.extra == Extra::Speckles) {
        Dice dice{42};
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 250, 252));
        for (int i = 0; i < 46; ++i) {
            const double x = 12 + dice.next() * 80;
            const double y = 30 + dice.next() * 60;
            p.drawEllipse(QPointF(x, y), 2.1, 2.1);
        }
    }
    if (look.extra == Extra::Stripes) {
        QPainterPath stripes;
        stripes.moveTo(48, 28);
        stripes.quadTo(56, 22, 66, 26);
        stripes.moveTo(46, 36);
        stripes.quadTo(52, 30, 58, 31);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(look.wing.darker(130), 4.2, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(head.map(stripes));
    }
    p.restore();
    fill(p, silhouette, Qt::transparent);

    // Wing.
    if (look.extra == Extra::Flapping) {
        QPainterPath wing;
        wing.moveTo(56, 56);
        wing.cubicTo(50, 38, 36, 22, 16, 14);
        wing.lineTo(24, 25);
        wing.lineTo(12, 27);
        wing.lineTo(24, 35);
        wing.lineTo(15, 40);
        wing.lineTo(30, 46);
        wing.cubicTo(38, 56, 46, 62, 56, 56);
        fill(p, wing, look.wing, 2.6);
        QPainterPath feathers;
        feathers.moveTo(24, 25);
        feathers.quadTo(36, 34, 46, 50);
        feathers.moveTo(24, 35);
        feathers.quadTo(34, 42, 40, 52);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Outline, 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(feathers);
    } else if (chick) {
        fill(p, ellipse(38, 66, 11, 7.5, 28), look.wing, 2.4);
    } else {
        QPainterPath wing = ellipse(42, 62, 17, 11, -12);
        fill(p, wing, look.wing, 2.4);
        QPainterPath feathers;
        feathers.moveTo(30, 60);
        feathers.quadTo(40, 66, 52, 62);
        feathers.moveTo(32, 66);
        feathers.quadTo(40, 70, 48, 68);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Outline, 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(feathers);
    }

    // Chick's tuft.
    if (chick) {
        QPainterPath tuft;
        tuft.moveTo(57, 24);
        tuft.quadTo(54, 16, 49, 15);
        tuft.moveTo(59, 24);
        tuft.quadTo(62, 15, 67, 14);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Outline, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(head.map(tuft));
    }

    const bool open = look.pose == Pose::Crowing || look.extra == Extra::Clucking;
    drawBeak(p, look, beak, beakSize, open);
    drawEye(p, eye, eyeSize, look.pose == Pose::Crowing);

    if (look.pose == Pose::Pecking) {
        p.setPen(QPen(Outline, 0.8));
        p.setBrush(QColor(236, 200, 96));
        for (const QPointF& seed : {QPointF(84, 95), QPointF(92, 93.5), QPointF(78, 97.5)})
            p.drawEllipse(seed, 2, 1.3);
    }

    if (look.extra == Extra::Eggshell) {
        QPainterPath shell;
        shell.moveTo(19, 72);
        const double teeth[] = {64, 73, 63, 72, 62, 71, 63, 72};
        for (int i = 0; i < 8; ++i)
            shell.lineTo(24 + 6.8 * i, teeth[i]);
        shell.lineTo(76, 70);
        shell.cubicTo(78, 88, 64, 98, 47, 98);
        shell.cubicTo(30, 98, 17, 88, 19, 72);
        shell.closeSubpath();
        fill(p, shell, QColor(250, 246, 232));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(226, 214, 190));
        p.drawEllipse(QPointF(34, 86), 3, 2);
        p.drawEllipse(QPointF(58, 90), 2.4, 1.6);
    }
}

} // namespace

QImage portrait(int index) {
    const Look& look = looks[index];
    constexpr int Scale = 4;
    QImage canvas(PortraitSize * Scale, PortraitSize * Scale, QImage::Format_RGB32);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(PortraitSize * Scale / 100.0, PortraitSize * Scale / 100.0);
        drawBackground(p, look);
        if (look.facingLeft) {
            p.translate(100, 0);
            p.scale(-1, 1);
        }
        // Room in front for a lowered head; a rooster's tail needs room behind.
        if (look.pose == Pose::Pecking)
            p.translate(-8, 0);
        if (look.kind == Kind::Rooster) {
            p.translate(52, 96);
            p.scale(0.92, 0.92);
            p.translate(-48, -96);
        }
        drawChicken(p, look);
    }
    return canvas.scaled(PortraitSize, PortraitSize, Qt::IgnoreAspectRatio,
                         Qt::SmoothTransformation);
}

} // namespace art
