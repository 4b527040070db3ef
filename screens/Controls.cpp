#include "screens/Controls.h"

#include "screens/Twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

namespace controls {

QFont arial(double points, bool bold, bool italic) {
    QFont font(QStringLiteral("Arial"));
    // Where Arial itself is not installed, fontconfig maps it to Liberation Sans,
    // which has the same metrics, so texts fit their boxes as designed.
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

void setupWindow(QWidget* window, const QString& objectName, const QString& caption, Border border,
                 int widthTwips, int heightTwips, const QColor& background) {
    window->setObjectName(objectName);
    window->setWindowTitle(caption);
    Qt::WindowFlags flags;
    switch (border) {
    case Border::None:
        flags = Qt::Window | Qt::FramelessWindowHint;
        break;
    case Border::FixedSingle:
        flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
        break;
    case Border::FixedTool:
        flags =
            Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
        break;
    }
    window->setWindowFlags(flags);
    window->setFixedSize(twips::size(widthTwips, heightTwips));
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, background);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

void centre(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QRect frame(QPoint(0, 0), window->size());
    frame.moveCenter(area.center());
    window->move(frame.topLeft());
}

QLabel* label(QWidget* parent, const QString& objectName, const QString& text, int left, int top,
              int width, int height, const QFont& font, const QColor& colour,
              Qt::Alignment alignment) {
    auto* l = new QLabel(parent);
    l->setObjectName(objectName);
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    l->setGeometry(twips::rect(left, top, width, height));
    l->setFont(font);
    l->setAlignment(alignment);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->setAutoFillBackground(false);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, colour);
    l->setPalette(palette);
    return l;
}

QPushButton* button(QWidget* parent, const QString& objectName, const QString& caption, int left,
                    int top, int width, int height) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(objectName);
    b->setGeometry(twips::rect(left, top, width, height));
    b->setAutoDefault(false);
    return b;
}

void fitWidthToText(QLabel* label) {
    label->resize(label->fontMetrics().horizontalAdvance(label->text()) + 1, label->height());
}

} // namespace controls
