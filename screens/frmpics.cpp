#include "screens/frmpics.h"

#include "screens/Controls.h"
#include "screens/Twips.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>

namespace {

constexpr int Spacing = 840; // twips between neighbouring portraits
constexpr int Box = 750;     // a 50-pixel portrait
constexpr int Columns = 5;

// Rows one and two run left to right, row three right to left.
int column(int index) {
    const int row = index / Columns;
    return row == 2 ? Columns - 1 - index % Columns : index % Columns;
}

bool valid(int index) {
    return index >= 0 && index < frmpics::PortraitCount;
}

} // namespace

frmpics::frmpics() {
    using namespace controls;
    setupWindow(this, QStringLiteral("frmpics"),
                QStringLiteral("Click a portrait for your chicken:"), Border::FixedTool, 4125, 2445,
                QApplication::palette("QMenu").color(QPalette::WindowText));
    for (int i = 0; i < PortraitCount; ++i) {
        pictures_[i] =
            QPixmap(QStringLiteral(":/pictures/portrait%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        QLabel* box = new QLabel(this);
        box->setObjectName(QStringLiteral("pic(%1)").arg(i));
        box->setGeometry(twips::rect(column(i) * Spacing, i / Columns * Spacing, Box, Box));
        box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        box->setPixmap(pictures_[i]);
        pic_[i] = box;
    }
    centre(this);
}

QPixmap frmpics::picture(int index) const {
    return valid(index) ? pictures_[static_cast<std::size_t>(index)] : QPixmap();
}

QLabel* frmpics::pic(int index) const {
    return valid(index) ? pic_[static_cast<std::size_t>(index)] : nullptr;
}
