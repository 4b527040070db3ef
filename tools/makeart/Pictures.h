#pragma once

// The game's pictures, drawn with QPainter: the chicken portraits, the splash
// banner and the icon images.

#include <QImage>

namespace art {

constexpr int PortraitCount = 15;
constexpr int PortraitSize = 50;
// The program icon's sizes for desktop menus (PNG, hicolor theme).
constexpr int DesktopIconSizes[] = {32, 48, 64, 128, 256};

// Portrait `index` (0 .. PortraitCount - 1): a cartoon hen, chick or rooster.
QImage portrait(int index);

// The splash banner, 398 x 78: light enough for dark text on top.
QImage splash();

// Icon images, transparent around the figure, `size` pixels square.
QImage joystick(int size);
QImage pigFace(int size);
QImage coop(int size); // the Chicken Coop's desktop icon: a hen house
QImage plugs(int size);
QImage networkBox(int size);

} // namespace art
