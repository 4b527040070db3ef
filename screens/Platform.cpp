#include "screens/Platform.h"

#include "screens/Sound.h"

#include <QApplication>
#include <QBoxLayout>
#include <QInputDialog>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

#include <cstdio>

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

// The hosts heard and the addresses joined before, listed between the prompt
// and the field of an input dialog, and shown only while there are any. The
// field follows the newest host until the player types in it or chooses an
// entry.
class HostList : public QObject {
public:
    HostList(QInputDialog& owner, const QString& fallback, const HeardHosts& hosts)
        : QObject(&owner), dialog(owner), defaultAnswer(fallback), heard(hosts),
          list(new QListWidget(&owner)), filled(fallback) {
        list->setObjectName(QStringLiteral("lstHosts"));
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->hide();
        owner.installEventFilter(this);
        connect(list, &QListWidget::currentRowChanged, this, &HostList::choose);
        connect(list, &QListWidget::itemDoubleClicked, &owner, &QDialog::accept);
        connect(&hosts, &HeardHosts::changed, this, &HostList::refresh);
        refresh();
    }

private:
    // The dialog lays itself out (the prompt, the field, the buttons) as it is
    // shown; the list goes in under the prompt then.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !placed) {
            if (auto* layout = qobject_cast<QBoxLayout*>(dialog.layout())) {
                layout->insertWidget(1, list);
                placed = true;
                dialog.adjustSize();
            }
        }
        return QObject::eventFilter(watched, event);
    }

    void refresh() {
        const QList<HeardHost>& hosts = heard.list();
        const bool following = !chosen && dialog.textValue() == filled;
        refreshing = true;
        list->clear();
        QStringList entries;
        for (const HeardHost& host : hosts)
            entries << describe(host);
        for (const QString& address : heard.joinedBefore())
            entries << address + QStringLiteral(" (joined before)");
        for (const QString& entry : entries) {
            list->addItem(entry);
            qCInfo(lcBoxes).noquote() << "prompt offers:" << entry;
        }
        // Wide enough for the longest entry, high enough for four of them.
        const int frame = 2 * list->frameWidth();
        list->setMinimumWidth(list->sizeHintForColumn(0) + frame +
                              list->verticalScrollBar()->sizeHint().width());
        list->setFixedHeight(list->sizeHintForRow(0) * int(std::min<qsizetype>(entries.size(), 4)) +
                             frame);
        list->setVisible(!entries.isEmpty());
        refreshing = false;
        if (following) {
            filled = hosts.isEmpty() ? defaultAnswer : hosts.first().address;
            dialog.setTextValue(filled);
        }
        dialog.adjustSize();
    }

    void choose(int row) {
        const qsizetype hosts = heard.list().size();
        if (refreshing || row < 0 || row >= hosts + heard.joinedBefore().size())
            return;
        chosen = true; // the field no longer follows the newest host
        dialog.setTextValue(row < hosts ? heard.list().at(row).address
                                        : heard.joinedBefore().at(row - hosts));
    }

    QInputDialog& dialog;
    const QString defaultAnswer;
    const HeardHosts& heard;
    QListWidget* const list;
    QString filled; // what the field was last filled with
    bool chosen = false;
    bool refreshing = false;
    bool placed = false;
};

QString realInputBox(const QString& prompt, const QString& defaultAnswer, const HeardHosts* heard) {
    QInputDialog dialog;
    dialog.setWindowTitle(AppTitle);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultAnswer);
    dialog.setInputMode(QInputDialog::TextInput);
    if (heard)
        new HostList(dialog, defaultAnswer, *heard);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

void realEndProgram(int exitStatus) {
    std::fflush(stdout);
    std::fflush(stderr);
    QCoreApplication::exit(exitStatus);
}

bool realResultBox(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, AppTitle, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    QPushButton* again = box.addButton(QStringLiteral("&Play again"), QMessageBox::AcceptRole);
    again->setObjectName(QStringLiteral("cmdPlayAgain"));
    // Return and Escape give OK, as the one-button box did.
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == again;
}

Seams realSeams() {
    return Seams{realMessageBox, realInputBox, realEndProgram, sound::play, realResultBox};
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

QString InputBox(const QString& prompt, const QString& defaultAnswer, const HeardHosts* heard) {
    return seams().inputBox(prompt, defaultAnswer, heard);
}

QString describe(const HeardHost& host) {
    return host.name + QStringLiteral(" at ") + host.address;
}

void HeardHosts::set(const QList<HeardHost>& now) {
    if (now == hosts)
        return;
    hosts = now;
    emit changed();
}

void HeardHosts::setJoinedBefore(const QStringList& now) {
    if (now == addresses)
        return;
    addresses = now;
    emit changed();
}

bool ResultBox(const QString& text) {
    qCInfo(lcBoxes).noquote() << "box:" << AppTitle << "|" << text;
    const bool again = seams().resultBox(text);
    qCInfo(lcBoxes).noquote() << (again ? "chosen: Play again" : "chosen: OK");
    return again;
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
