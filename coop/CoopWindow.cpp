#include "coop/CoopWindow.h"

#include "coop/Coop.h"
#include "core/Hatchery.h"
#include "net/ChickenStore.h"
#include "screens/Controls.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int PortraitPixels = 50;
constexpr int PortraitColumns = 5;

QPixmap portrait(int index) {
    return QPixmap(QStringLiteral(":/pictures/portrait%1.jpg").arg(index, 2, 10, QLatin1Char('0')));
}

template <typename W> W* named(W* widget, const QString& objectName, const QString& accessible) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessible);
    return widget;
}

// A label whose text is what it shows: a screen reader reads the text as its
// name (an accessible name of its own would hide it); `role` says what it is.
QLabel* textLabel(const QString& objectName, const QString& role) {
    auto* label = new QLabel;
    label->setObjectName(objectName);
    label->setAccessibleDescription(role);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// The game's look: white and red on black. Group titles stand out in red; the
// chosen portrait has a red frame, the one with the keyboard focus a dotted one.
const QString Look = QStringLiteral("#frmCoop { background: black; }"
                                    "QLabel { color: rgb(235, 235, 235); }"
                                    "QLabel#lblMessage[trouble=\"true\"] { color: red; }"
                                    "QGroupBox { color: red; font-weight: bold; }"
                                    "QToolButton { border: 3px solid black; padding: 1px; }"
                                    "QToolButton:focus { border: 3px dotted white; }"
                                    "QToolButton:checked { border: 3px solid red; }"
                                    "QToolButton:checked:focus { border: 3px dotted red; }");

} // namespace

CoopWindow::CoopWindow(const QString& programFolder)
    : programFolder_(programFolder), random_(randomness::unpredictable()) {
    setObjectName(QStringLiteral("frmCoop"));
    setWindowTitle(QStringLiteral("Chicken Coop"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/program.ico")));
    setFont(controls::arial(9));
    setStyleSheet(Look);

    // The chicken shown: the one the game fights with (the player's own, else the
    // sample beside it), or one picked or hatched.
    auto* shown = new QGroupBox(QStringLiteral("Your chicken"));
    lblSource = textLabel(QStringLiteral("lblSource"), QStringLiteral("Chicken file"));
    lblSource->setWordWrap(true);
    lblSource->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblSource->setFocusPolicy(Qt::StrongFocus); // a screen reader reads it on Tab
    picPortrait = named(new QLabel, QStringLiteral("picPortrait"), QStringLiteral("Portrait"));
    picPortrait->setFixedSize(PortraitPixels, PortraitPixels);
    lblStats = textLabel(QStringLiteral("lblStats"), QStringLiteral("Stats"));
    lblStats->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblStats->setFocusPolicy(Qt::StrongFocus);
    auto* shownLayout = new QGridLayout(shown);
    shownLayout->addWidget(lblSource, 0, 0, 1, 2);
    shownLayout->addWidget(picPortrait, 1, 0, Qt::AlignTop);
    shownLayout->addWidget(lblStats, 1, 1);

    // The flock.
    auto* flock = new QGroupBox(QStringLiteral("Pick one of the flock"));
    cboFlock = named(new QComboBox, QStringLiteral("cboFlock"), QStringLiteral("Flock chicken"));
    cmdPick = named(new QPushButton(QStringLiteral("&Pick")), QStringLiteral("cmdPick"),
                    QStringLiteral("Pick this flock chicken"));
    const QDir flockDir(chickenstore::flockFolder(programFolder));
    if (!flockDir.path().isEmpty() && flockDir.exists()) {
        for (const QString& file :
             flockDir.entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name)) {
            const coop::Reading reading = coop::read(flockDir.filePath(file));
            if (reading.problem.isEmpty())
                cboFlock->addItem(QString::fromLatin1(reading.chicken->Name.c_str()),
                                  flockDir.filePath(file));
        }
    }
    cmdPick->setEnabled(cboFlock->count() > 0);
    auto* flockLayout = new QHBoxLayout(flock);
    flockLayout->addWidget(cboFlock, 1);
    flockLayout->addWidget(cmdPick);

    // The hatchery.
    auto* hatchery = new QGroupBox(QStringLiteral("Hatch a new chicken"));
    txtName = named(new QLineEdit, QStringLiteral("txtName"), QStringLiteral("New chicken's name"));
    txtName->setMaxLength(static_cast<int>(hatchery::MaxNameLength));
    auto* nameLabel = new QLabel(QStringLiteral("&Name:"));
    nameLabel->setBuddy(txtName);
    portraits_ = new QButtonGroup(this);
    auto* portraitGrid = new QGridLayout;
    portraitGrid->setSpacing(2);
    for (int i = 0; i < hatchery::PortraitCount; ++i) {
        auto* button = named(new QToolButton, QStringLiteral("optPortrait(%1)").arg(i),
                             QStringLiteral("Portrait %1").arg(i));
        button->setCheckable(true);
        button->setIcon(QIcon(portrait(i)));
        button->setIconSize(QSize(PortraitPixels, PortraitPixels));
        button->setFocusPolicy(Qt::StrongFocus);
        portraits_->addButton(button, i);
        portraitGrid->addWidget(button, i / PortraitColumns, i % PortraitColumns);
    }
    portraits_->button(static_cast<int>(hatchery::PortraitCount * random_()))->setChecked(true);
    cmdHatch = named(new QPushButton(QStringLiteral("&Hatch (roll again)")),
                     QStringLiteral("cmdHatch"), QStringLiteral("Hatch: roll the stats"));
    auto* hatchLayout = new QGridLayout(hatchery);
    hatchLayout->addWidget(nameLabel, 0, 0);
    hatchLayout->addWidget(txtName, 0, 1);
    hatchLayout->addLayout(portraitGrid, 1, 0, 1, 2);
    hatchLayout->addWidget(cmdHatch, 2, 0, 1, 2);

    cmdSave = named(new QPushButton(QStringLiteral("&Save as my chicken")),
                    QStringLiteral("cmdSave"), QStringLiteral("Save as my chicken"));
    cmdSave->setEnabled(false);
    lblMessage = textLabel(QStringLiteral("lblMessage"), QStringLiteral("Message"));
    lblMessage->setWordWrap(true);

    auto* left = new QVBoxLayout;
    left->addWidget(shown);
    left->addWidget(flock);
    left->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(hatchery);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(lblMessage);
    layout->addWidget(cmdSave, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdPick, &QPushButton::clicked, this, &CoopWindow::cmdPick_Click);
    connect(cmdHatch, &QPushButton::clicked, this, &CoopWindow::cmdHatch_Click);
    connect(cmdSave, &QPushButton::clicked, this, &CoopWindow::cmdSave_Click);
    connect(txtName, &QLineEdit::returnPressed, this, &CoopWindow::cmdHatch_Click);

    showCurrent();
    txtName->setFocus();
}

void CoopWindow::showCurrent() {
    const coop::GameChicken current = coop::gameChicken(programFolder_);
    const QString heading = QStringLiteral("File: %1").arg(current.path);
    if (current.reading.problem.isEmpty())
        showChicken(*current.reading.chicken, heading);
    else
        showProblem(heading, current.reading.problem);
    if (current.sample)
        say(coop::SampleNote, false);
}

void CoopWindow::showChicken(const ChickenRecord& chicken, const QString& heading) {
    lblSource->setText(heading);
    picPortrait->setPixmap(chicken.PortraitIndex >= 0 &&
                                   chicken.PortraitIndex < hatchery::PortraitCount
                               ? portrait(chicken.PortraitIndex)
                               : QPixmap());
    picPortrait->setAccessibleDescription(QStringLiteral("Portrait %1").arg(chicken.PortraitIndex));
    lblStats->setText(coop::describe(chicken).join(QLatin1Char('\n')));
}

void CoopWindow::showProblem(const QString& heading, const QString& problem) {
    lblSource->setText(heading);
    picPortrait->setPixmap(QPixmap());
    lblStats->setText(QStringLiteral("No chicken to show: ") + problem + QLatin1Char('.'));
}

void CoopWindow::say(const QString& message, bool trouble) {
    lblMessage->setProperty("trouble", trouble);
    lblMessage->style()->unpolish(lblMessage);
    lblMessage->style()->polish(lblMessage);
    lblMessage->setText(message);
}

void CoopWindow::cmdPick_Click() {
    const QString path = cboFlock->currentData().toString();
    const coop::Reading reading = coop::read(path);
    if (!reading.problem.isEmpty()) {
        say(QStringLiteral("Cannot pick it: ") + reading.problem + QLatin1Char('.'), true);
        return;
    }
    candidate_ = reading.chicken;
    hatched_ = false;
    showChicken(*candidate_, QStringLiteral("Picked from the flock, not saved yet: %1").arg(path));
    cmdSave->setEnabled(true);
    say(QStringLiteral("Save to make it your chicken."), false);
}

void CoopWindow::cmdHatch_Click() {
    const chickenstore::NameCheck check = chickenstore::checkName(txtName->text().trimmed());
    if (!check.refusal.isEmpty()) {
        say(check.refusal, true);
        txtName->setFocus();
        return;
    }
    candidate_ =
        hatchery::hatch(check.bytes, static_cast<int16_t>(portraits_->checkedId()), random_);
    hatched_ = true;
    showChicken(*candidate_, QStringLiteral("Hatched, not saved yet"));
    cmdSave->setEnabled(true);
    say(QStringLiteral("Hatch again for other stats, or save to make it your chicken."), false);
}

void CoopWindow::cmdSave_Click() {
    if (!candidate_)
        return;
    if (hatched_) {
        // The name and portrait as they stand now, with the stats rolled.
        const chickenstore::NameCheck check = chickenstore::checkName(txtName->text().trimmed());
        if (!check.refusal.isEmpty()) {
            say(check.refusal + QStringLiteral(" Nothing was saved."), true);
            return;
        }
        candidate_->Name = check.bytes;
        candidate_->PortraitIndex = static_cast<int16_t>(portraits_->checkedId());
    }
    const QString path = chickenstore::playerChickenPath();
    const QString failure = chickenstore::save(path, *candidate_, random_);
    if (!failure.isEmpty()) {
        say(QStringLiteral("Not saved: %1.").arg(failure), true);
        return;
    }
    candidate_.reset();
    cmdSave->setEnabled(false);
    showCurrent();
    say(QStringLiteral("Saved. The game fights with this chicken from now on."), false);
}
