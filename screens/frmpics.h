#pragma once

// The portrait gallery: the fifteen chicken portraits as the control array
// `pic`, indexed by a chicken's PortraitIndex. The program never shows this
// window; screens take their portraits from it. Each entry is a QLabel named
// "pic(i)", like every control array of the program.

#include <QPixmap>
#include <QWidget>

#include <array>

class QLabel;

class frmpics : public QWidget {
    Q_OBJECT
public:
    static constexpr int PortraitCount = 15;

    frmpics();
    void Form_Load() {}

    // The portrait for PortraitIndex `index`: 0..14 give a picture; any other
    // index a null pixmap.
    QPixmap picture(int index) const;
    QLabel* pic(int index) const; // nullptr outside 0..14

private:
    std::array<QLabel*, PortraitCount> pic_{};
    std::array<QPixmap, PortraitCount> pictures_{};
};
