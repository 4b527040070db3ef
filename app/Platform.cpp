#include "app/Platform.h"

#include "app/Forms.h"
#include "app/Sound.h"

#include <QApplication>
#include <QInputDialog>
#include <QLoggingCategory>
#include <QMessageBox>

#include <cstdio>
#include <unistd.h>

namespace platform {

// Every box's text, for whoever watches the program from outside (enable with
// QT_LOGGING_RULES="quorvel.boxes.info=true").
Q_LOGGING_CATEGORY(lcBoxes, "quorvel.boxes", QtWarningMsg)

namespace {

bool ended = false;
int status = 0;

void realMessageBox(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString realInputBox(const QString& prompt, const QString& defaultAnswer) {
    QInputDialog dialog;
    dialog.setWindowTitle(AppTitle);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultAnswer);
    dialog.setInputMode(QInputDialog::TextInput);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

[[noreturn]] void realEndProgram(int exitStatus) {
    // Immediate: no window gets a close event and no destructor runs. The
    // kernel closes the connection with the process.
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(exitStatus);
}

Seams realSeams() {
    return Seams{realMessageBox, realInputBox, realEndProgram, sound::play};
}

} // namespace

Seams& seams() {
    static Seams current = realSeams();
    return current;
}

void resetSeams() {
    seams() = realSeams();
    ended = false;
    status = 0;
}

void MsgBox(const QString& text, const QString& caption) {
    qCInfo(lcBoxes).noquote() << "box:" << caption << "|" << text;
    seams().messageBox(text, caption);
}

QString InputBox(const QString& prompt, const QString& defaultAnswer) {
    return seams().inputBox(prompt, defaultAnswer);
}

void EndProgram(int exitStatus) {
    ended = true;
    status = exitStatus;
    seams().endProgram(exitStatus);
}

bool programEnded() {
    return ended;
}
int endStatus() {
    return status;
}

} // namespace platform

namespace Forms {

std::vector<std::function<void()>>& detail::registry() {
    static std::vector<std::function<void()>> unloaders;
    return unloaders;
}

void unloadAll() {
    for (const auto& unload : detail::registry())
        unload();
}

} // namespace Forms
