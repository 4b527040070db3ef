// The baseline for start-up time and memory: the least Qt Widgets program that
// shows a window, a small one with one line of text.

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Minimal"));
    window.resize(400, 80);
    window.show();
    return QApplication::exec();
}
