#pragma once

// Window geometry is written in twips, as designed: 15 twips to one logical pixel.
// Every conversion goes through here.

#include <QRect>
#include <QSize>

namespace twips {

constexpr int TwipsPerPixel = 15;

constexpr int px(int t) {
    return (t + TwipsPerPixel / 2) / TwipsPerPixel;
}
inline QRect rect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}
inline QSize size(int width, int height) {
    return QSize(px(width), px(height));
}

} // namespace twips
