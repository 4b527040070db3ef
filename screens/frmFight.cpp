#include "screens/frmFight.h"

#include "core/Rules.h"
#include "net/Connection.h"
#include "screens/Controls.h"
#include "screens/Forms.h"
#include "screens/Helpers.h"
#include "screens/Platform.h"
#include "screens/Twips.h"
#include "screens/Vars.h"
#include "screens/frmpics.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

const QColor LightGrey(192, 192, 192);

QLabel* portraitBox(QWidget* parent, int index, int top) {
    auto* box = new QLabel(parent);
    box->setObjectName(QStringLiteral("pic(%1)").arg(index));
    box->setGeometry(twips::rect(120, top, 735, 735));
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    box->setToolTip(QStringLiteral("Chicken Portrait"));
    box->setFocusPolicy(Qt::StrongFocus);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, Qt::black);
    box->setPalette(palette);
    box->setAutoFillBackground(true);
    return box;
}

QProgressBar* chargeBar(QWidget* parent, const char* name, int top) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setGeometry(twips::rect(0, top, 1455, 135));
    bar->setRange(0, rules::FullCharge);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

// A label here shows a few dozen characters. A name of megabytes (a hand-made
// chicken file) is cut to this many bytes before Qt lays it out, which would
// otherwise hold the screen up for seconds.
constexpr size_t ShownBytes = 1000;

QString shown(const std::string& bytes) {
    return Vars::displayText(bytes.size() > ShownBytes ? bytes.substr(0, ShownBytes) : bytes);
}

// The matches handed over by the host's (0) and the joiner's (1) connection screen.
std::array<match::Match*, 2> handed{};

size_t sideOf(bool hosting) {
    return hosting ? 0 : 1;
}

// The fight screen as the match left it: only the fight's opening loads it, so a
// screen that has been unloaded is not brought back by what its match still does.
frmFight* fight() {
    return Forms::loaded<frmFight>() ? &Forms::get<frmFight>() : nullptr;
}

QString hitPointsText(int16_t hitPoints) {
    return QStringLiteral("HP:   ") + QString::number(hitPoints);
}

} // namespace

frmFight::frmFight() {
    using namespace controls;
    setupWindow(this, QStringLiteral("frmFight"), QStringLiteral("Fight!"), Border::FixedTool, 3540,
                3360, palette().color(QPalette::WindowText));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/fight.ico")));

    const QFont labelFont = arial(9.75, true);
    const auto label1 = [&](int index, const char* text, int left, int top, int width, int height,
                            const QFont& font) {
        Label1[static_cast<size_t>(index)] =
            label(this, QStringLiteral("Label1(%1)").arg(index), QString::fromLatin1(text), left,
                  top, width, height, font, LightGrey);
    };
    pic[0] = portraitBox(this, 0, 120);
    label1(0, "HP:", 0, 960, 330, 240, labelFont);
    label1(4, "Name:", 0, 1200, 615, 240, labelFont);
    bar1 = chargeBar(this, "bar1", 1440);
    pic[1] = portraitBox(this, 1, 1800);
    label1(1, "HP:", 0, 2640, 330, 225, labelFont);
    label1(5, "Name:", 0, 2880, 615, 240, labelFont);
    bar2 = chargeBar(this, "bar2", 3120);
    label1(2, "Actions:", 1800, 120, 675, 210, arial(8.25, true));

    const char* captions[] = {"&Kick", "&Peck", "&Combo"};
    for (int i = 0; i < 3; ++i) {
        QPushButton* b = button(this, QStringLiteral("cmd(%1)").arg(i),
                                QString::fromLatin1(captions[i]), 2760, 120 + 360 * i, 735, 255);
        b->setEnabled(false);
        connect(b, &QPushButton::clicked, this, [this, i] { cmd_Click(i); });
        cmd[static_cast<size_t>(i)] = b;
    }

    txt = label(this, QStringLiteral("txt"), QString(), 1680, 1920, 1815, 735, arial(9.75),
                LightGrey);
    txt->setWordWrap(true);
    lblScore = label(this, QStringLiteral("lblScore"), QString(), 1680, 2760, 1815, 480,
                     arial(8.25, true), LightGrey);
    lblScore->setWordWrap(true);

    tmr1 = new QTimer(this);
    tmr1->setObjectName(QStringLiteral("tmr1"));
    // Kept to the millisecond at every Speed; a coarse timer may drift by 5%.
    tmr1->setTimerType(Qt::PreciseTimer);
    connect(tmr1, &QTimer::timeout, this, &frmFight::tmr1_Timer);

    // Of these, Qt orders only the controls that take focus (the portraits and
    // the buttons); labels and bars are never visited by the Tab key.
    QWidget* const order[] = {pic[1], pic[0],    cmd[0],    cmd[1],    cmd[2],    bar1,     bar2,
                              txt,    Label1[2], Label1[0], Label1[1], Label1[4], Label1[5]};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    centre(this);
}

void frmFight::Form_Load() {
    const ChickenRecord& own = game().own();
    const ChickenRecord& opponent = game().opponent();
    Vars::DrawGradient(this);
    // An index the gallery has no picture for leaves the box empty and black.
    const frmpics& gallery = Forms::get<frmpics>();
    pic[0]->setPixmap(gallery.picture(own.PortraitIndex));
    pic[1]->setPixmap(gallery.picture(opponent.PortraitIndex));
    showHitPoints();
    setCaption(Label1[4], QStringLiteral("Name: ") + shown(own.Name));
    setCaption(Label1[5], QStringLiteral("Name: ") + shown(opponent.Name));
    if (Vars::Score.against(opponent.Name).played() > 0)
        lblScore->setText(tallyText(own.Name, opponent.Name));
    // The charge and the start line; nothing more when the match loaded this screen.
    game().openFight();
}

void frmFight::handOver(bool hosting, match::Match* given) {
    handed[sideOf(hosting)] = given;
}

void frmFight::takeBack(const match::Match* given) {
    for (match::Match*& played : handed)
        if (played == given)
            played = nullptr;
}

match::Match& frmFight::game() {
    // The host's match when this program hosts (GameMode 1), else the joiner's.
    if (match::Match* played = handed[sideOf(Vars::GameMode == 1)])
        return *played;
    if (!alone) {
        aloneView = std::make_unique<FightView>();
        alone = std::make_unique<match::Match>(Vars::OwnChicken, Vars::OpponentChicken,
                                               match::Match::Role{}, nullptr, *aloneView,
                                               Vars::randomSource());
    }
    return *alone;
}

void frmFight::setCaption(QLabel* label, const QString& text) {
    label->setText(text);
    controls::fitWidthToText(label);
}

void frmFight::showHitPoints() {
    setCaption(Label1[0], hitPointsText(game().own().HitPoints));
    setCaption(Label1[1], hitPointsText(game().opponent().HitPoints));
}

void frmFight::comment(const std::string& line) {
    txt->setText(shown(line));
}

void frmFight::tmr1_Timer() {
    game().chargeTick();
}

void frmFight::cmd_Click(int Index) {
    game().action(Index);
}

void frmFight::DOREFRESH() {
    bar1->setValue(1);
    runKeepingBeat(tmr1, true);
    for (QPushButton* b : cmd)
        b->setEnabled(false);
    showHitPoints();
}

void frmFight::closeEvent(QCloseEvent* event) {
    event->accept();
    // Once the own finishing blow has gone, the result box comes with the result.
    if (matchOver() || game().awaitingResult())
        return;
    // Leaving in the middle of a match ends the program; the peer sees the
    // connection go.
    game().quit();
    platform::EndProgram(1);
}

void FightView::fightOpened() {
    Forms::get<frmFight>();
}

void FightView::chargeBegins(int intervalMs) {
    if (frmFight* f = fight()) {
        f->tmr1->setInterval(intervalMs);
        f->tmr1->start();
    }
}

void FightView::chargeRunning(bool on) {
    if (frmFight* f = fight())
        runKeepingBeat(f->tmr1, on);
}

void FightView::chargeShown(int charge) {
    if (frmFight* f = fight())
        f->bar1->setValue(charge);
}

void FightView::refreshed() {
    if (frmFight* f = fight())
        f->DOREFRESH();
}

void FightView::opponentChargeShown(int charge) {
    if (frmFight* f = fight())
        f->bar2->setValue(charge);
}

void FightView::actionsOffered(const std::array<bool, 3>& offered) {
    if (frmFight* f = fight()) {
        for (size_t i = 0; i < offered.size(); ++i)
            f->cmd[i]->setEnabled(offered[i]);
    }
}

void FightView::hitPointsShown() {
    if (frmFight* f = fight())
        f->showHitPoints();
}

void FightView::commented(const std::string& line) {
    if (frmFight* f = fight())
        f->comment(line);
}

void FightView::sound(match::Sound cue) {
    if (cue == match::Sound::Hit)
        Vars::PlayHitSound();
    else
        Vars::PlayDeflectSound();
}

void FightView::ended(match::Result result) {
    static const ChickenRecord unseen;
    frmFight* f = fight();
    if (f != nullptr)
        f->hide();
    const std::string& own = (f != nullptr ? f->game().own() : unseen).Name;
    const std::string& opponent = (f != nullptr ? f->game().opponent() : unseen).Name;
    Vars::Score.record(opponent, result);
    QString text = result == match::Result::Won    ? QStringLiteral("You Win!")
                   : result == match::Result::Lost ? QStringLiteral("You Lose!")
                                                   : QStringLiteral("Draw!");
    if (Vars::Score.against(opponent).played() > 1)
        text += QStringLiteral("\n\n") + tallyText(own, opponent);
    const bool again = endBox(text);
    // The last blow may still be on its way (resent on a lossy link): the next
    // step waits until the peer has it, or for a few seconds.
    deliverLast();
    if (again)
        playAgain();
    else
        platform::EndProgram(0);
}

void FightView::opponentLeft() {
    if (endBox(QStringLiteral("The other player has left the match.")))
        playAgain();
    else
        platform::EndProgram(1);
}

bool FightView::endBox(const QString& text) {
    if (offersPlayAgain())
        return platform::ResultBox(text);
    platform::MsgBox(text);
    return false;
}

QString tallyText(const std::string& own, const std::string& opponent) {
    const score::Tally tally = Vars::Score.against(opponent);
    QString text = shown(own) + QStringLiteral(" %1 \u2013 %2 ").arg(tally.wins).arg(tally.losses) +
                   shown(opponent);
    if (tally.draws > 0)
        text += tally.draws == 1 ? QStringLiteral(" (1 draw)")
                                 : QStringLiteral(" (%1 draws)").arg(tally.draws);
    return text;
}

bool FightView::halted() const {
    return platform::programEnded();
}
