#pragma once

// Building blocks for the screens: controls placed in twips, named after their
// designed names (the Qt object name too, so tests and screen readers find
// them), with the designed fonts and colours.

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace controls {

// Arial (or its metric-compatible stand-in) at `points`.
QFont arial(double points, bool bold = false, bool italic = false);

// A top-level window with a fixed client area given in twips.
enum class Border {
    None,        // no border, no title bar
    FixedSingle, // title bar with minimise and close, not resizable
    FixedTool,   // small title bar with close only, not resizable
};
void setupWindow(QWidget* window, const QString& objectName, const QString& caption, Border border,
                 int widthTwips, int heightTwips, const QColor& background);

// Centres the window on its screen.
void centre(QWidget* window);

// A label with transparent background; `text` is shown as plain text, never markup.
QLabel* label(QWidget* parent, const QString& objectName, const QString& text, int left, int top,
              int width, int height, const QFont& font, const QColor& colour,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop);

// A push button; "&" in the caption marks the access key (Alt+letter).
QPushButton* button(QWidget* parent, const QString& objectName, const QString& caption, int left,
                    int top, int width, int height);

// A label whose width follows its text (keeping left, top and height).
void fitWidthToText(QLabel* label);

} // namespace controls
