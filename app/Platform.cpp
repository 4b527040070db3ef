#include "app/Platform.h"

#include "app/Forms.h"

#include <QApplication>
#include <QInputDialog>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QSoundEffect>
#include <QUrl>

#include <cstdio>
#include <map>
#include <memory>
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

// One effect per file, loaded on first use and kept, so a cue starts at once.
// Only one plays at a time: a new cue stops the one playing.
void realPlaySound(const QString& path) {
    // Kept for the whole run and never destroyed: they must not outlive the
    // audio back end during static destruction.
    static auto& effects = *new std::map<QString, std::unique_ptr<QSoundEffect>>;
    static QSoundEffect* playing = nullptr;
    if (playing)
        playing->stop();
    auto& effect = effects[path];
    if (!effect) {
        effect = std::make_unique<QSoundEffect>();
        effect->setSource(QUrl::fromLocalFile(path));
    }
    playing = effect.get();
    effect->play();
}

Seams realSeams() {
    return Seams{realMessageBox, realInputBox, realEndProgram, realPlaySound};
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
