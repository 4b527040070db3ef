// The match core without any window or socket: scripts of events in, the
// messages sent and what the front end is told out. Each row is one behaviour
// that the screens and the practice opponent rely on alike.

#include "common/ScriptedRandom.h"
#include "common/fixtures.h"
#include "core/Match.h"

#include <QHash>
#include <QStringList>
#include <QtTest>

#include <functional>

namespace {

// Every message sent, "!" marking those that wait for the peer's acknowledgement,
// and "close" where the match said it would send nothing more.
struct Link final : match::Link {
    QStringList sent;
    bool broken = false;
    bool holding = false; // a record message still waits for its acknowledgement
    bool send(std::string_view m) override { return record(QString::fromLatin1(m)); }
    bool sendAfterAcknowledged(std::string_view m) override {
        return record("!" + QString::fromLatin1(m));
    }
    bool record(const QString& m) { return !broken && (sent << m, true); }
    bool holdsBack() const override { return holding; }
    void closeSending() override { sent << "close"; }
    std::string reason() const override { return "reset by peer"; }
};

// What the front end is told, one short word each; the end with both hit points.
struct View final : match::View {
    QStringList told;
    const ChickenRecord* own = nullptr;
    const ChickenRecord* opponent = nullptr;
    void statusChanged(const std::string& t) override { told << "status " + q(t); }
    void transferRunning(bool r) override { told << (r ? "transfer" : "transfer off"); }
    void waitRunning(bool r) override { told << (r ? "wait" : "wait off"); }
    void fightOpened() override { told << "fight"; }
    void chargeBegins(int ms) override { told << "charge every " + QString::number(ms); }
    void chargeRunning(bool r) override { told << (r ? "charge on" : "charge off"); }
    void refreshed() override { told << "refreshed"; }
    void opponentChargeShown(int c) override { told << "bar2 " + QString::number(c); }
    void actionsOffered(const std::array<bool, 3>& o) override {
        told << QStringLiteral("offer %1%2%3").arg(o[0]).arg(o[1]).arg(o[2]);
    }
    void commented(const std::string& l) override { told << q(l); }
    void sound(match::Sound s) override { told << (s == match::Sound::Hit ? "hit!" : "deflect!"); }
    void resultBoundBegins(int ms) override { told << "bound " + QString::number(ms); }
    void ended(match::Result r) override {
        static const char* const results[] = {"won", "lost", "draw"};
        told << QStringLiteral("%1 %2/%3")
                    .arg(results[int(r)])
                    .arg(own->HitPoints)
                    .arg(opponent->HitPoints);
    }
    void connectionLost(const std::string& s) override { told << "lost " + q(s); }
    void opponentLeft() override { told << "left"; }
    static QString q(const std::string& s) { return QString::fromLatin1(s); }
};

const match::Match::Role Host{"taken", "sending", "sent", false, {}};
const match::Match::Role Join{{}, "sending", "sent", true, "received"};

// Plays the events with the rolls scripted: what was sent, " # ", and what the
// front end was told.
QByteArray play(bool joiner, const QString& events, const QString& rolls) {
    ChickenRecord own = fixture::chicken("Kid", {12, 8, 100, 50, 20, 0, 5, 6, 0, -1});
    ChickenRecord opponent = fixture::chicken("Rex", {12, 8, 100, 100, 10, 0, 5, 6, 0, -1});
    Link link;
    View view;
    ScriptedRandom random;
    match::Match game(own, opponent, joiner ? Join : Host, &link, view, random.source());
    view.own = &game.own();
    view.opponent = &game.opponent();
    for (const QString& r : rolls.split(' ', Qt::SkipEmptyParts))
        random.roll(1, r.section(':', 0, 0).toInt(), r.section(':', 1).toInt());
    QStringList script;
    for (const QString& event : events.split('|'))
        script << (event.startsWith("10*") ? QStringList(10, event.mid(3)) : QStringList{event});
    const QHash<QString, std::function<void()>> plain{
        {"tick", [&] { game.transferTick(); }},       {"wait", [&] { game.waitEnded(); }},
        {"charge", [&] { game.chargeTick(); }},       {"lost", [&] { game.connectionLost(); }},
        {"bound", [&] { game.resultBoundPassed(); }}, {"quit", [&] { game.quit(); }},
        {"break", [&] { link.broken = true; }},       {"hold", [&] { link.holding = true; }},
        {"release", [&] { link.holding = false; }}};
    for (const QString& event : script) {
        const qsizetype before = view.told.size();
        if (plain.contains(event))
            plain[event]();
        else if (event == "open") {
            game.openFight();
            view.told.resize(before); // what opening shows has rows of its own
        } else if (event.startsWith("take "))
            game.joinerTaken(event.mid(5).toStdString());
        else if (event.startsWith("act "))
            game.action(event.mid(4).toInt());
        else
            game.arrival(event.toLatin1().toStdString());
    }
    // The match plays on copies: the records it was given are never lowered.
    return (link.sent.join('|') + " # " + view.told.join('|')).toLatin1() +
           (random.exhausted() ? "" : " and draws left") +
           (own.HitPoints == 20 && opponent.HitPoints == 10 ? "" : " and the records lowered");
}

void add(const char* name, bool joiner, const QString& events, const QString& rolls,
         const QString& sent, const QString& told) {
    fixture::row(name, play(joiner, events, rolls), (sent + " # " + told).toLatin1());
}

} // namespace

class TestMatch : public QObject {
    Q_OBJECT

private slots:
    // Events, between bars: "take FIRST" (the joiner taken with its first arrival), "tick"
    // (transfer), "wait", "open", "charge", "act N", "lost", "bound" (the wait for the result has
    // passed), "quit", "break" (sends fail from now on), "hold"/"release" (a record message waits
    // for its acknowledgement / has gone), or anything else: an arrival; "10*" repeats one ten
    // times. Rolls: Random(1, n) results in order, as "n:result". Sent and told: between bars.
    void events_data() {
        fixture::columns();
        const QString records = "!AKid|!B12|!C8|!D100|!E50|!F20|!G0|!H5|!I6",
                      charges = "J1|J2|J3|J4|J5|J6|J7|J8|J9|J10";
        const QString opening = "fight|charge every 10|Kid VS Rex|";
        // After the own finishing blow nothing more is sent; the result waits for
        // the peer's stream to end, a blow that crossed ours, or the bound.
        const QString finishing = "|refreshed|hit!|charge off|offer 000|bound 1800|";
        add("host: the joiner's ready hands over the turn", false, "take ARex|0|10*tick", "",
            records, "status taken|status sending|transfer|status sent|transfer off|wait");
        add("join: records, then the ready signal; the host's last record", true, "0|10*tick|I7",
            "", records + "|!0",
            "status sending|transfer|status sent|transfer off|status received|wait");
        add("a record held back holds the exchange's steps", false,
            "take ARex|0|tick|hold|tick|tick|release|tick", "", "!AKid|!B12",
            "status taken|status sending|transfer");
        add("probe answered at any step", false, "90", "", "91", "");
        add("the wait's end opens the fight once", false, "wait|open", "", "",
            "wait off|" + opening.chopped(1));
        add("an early charge opens the fight first", false, "J4|J5", "", "",
            opening + "bar2 4|bar2 5");
        add("full charge offers what the chicken can do", false, "open|10*charge", "100:1", charges,
            "charge off|offer 110");
        add("a refusal keeps the charge running, from 1", false, "open|10*charge", "100:100",
            charges + "|10", "Kid refuses to fight.|refreshed");
        add("a hit is sent, taken off and told", false, "open|act 0", "17:9 8:3 3:1", "K6",
            "refreshed|Kid does 6 point(s) of damage!|refreshed|hit!");
        add("a miss sends nothing", false, "open|act 1", "14:2 8:5 3:3", "",
            "refreshed|deflect!|Kid misses.|refreshed");
        add("finishing blow; one sent before ours is applied; the stream's end wins", false,
            "open|act 0|90|K9|lost|act 0|bound", "17:17 8:1 3:1 3:2", "K16|close",
            "refreshed|Kid does 16 point(s) of damage!" + finishing +
                "Rex whacks Kid for 9 point(s)!|hit!|charge off|Kid wins the match!|won 11/-6");
        add("host: finishing blows crossed, a draw with both lowered", false,
            "open|act 0|K25|bound|lost", "17:17 8:1 3:1 3:3", "K16|close",
            "refreshed|Kid does 16 point(s) of damage!" + finishing +
                "Rex attacks for 25 damage!|hit!|charge off|draw -5/-6");
        add("join: finishing blows crossed at exactly 0, a draw", true, "open|act 0|K20",
            "17:12 8:2 3:3 3:1", "K10|close",
            "refreshed|Kid attacks for 10 damage!" + finishing +
                "Rex does 20 point(s) of damage!|hit!|charge off|draw 0/0");
        add("finishing blow, nothing comes: won at the bound; then nothing is told", false,
            "open|act 0|bound|lost|K30", "17:17 8:1 3:2", "K16|close",
            "refreshed|Kid whacks Rex for 16 point(s)!" + finishing +
                "charge off|Kid wins the match!|won 20/-6");
        add("a losing blow received ends it at once, later ones are not read", false, "K40|K3|lost",
            "3:2", "close",
            opening +
                "Rex whacks Kid for 40 point(s)!|hit!|charge off|Rex wins the match!|lost -20/10");
        add("no damage received refreshes", false, "open|K0", "3:1", "",
            "deflect!|Rex's attack has been deflected.|refreshed");
        add("lost before the fight: the status says why", false, "take ARex|lost", "", "",
            "status taken|transfer off|wait off|lost Connection lost: reset by peer");
        add("a failed send is a lost connection", false, "open|break|charge|charge", "", "",
            "charge off|offer 000|left");
        add("leaving ends it quietly", false, "open|quit|lost|10", "", "", "charge off");
    }
    void events() { fixture::compareRow(); }
};

QTEST_MAIN(TestMatch)
#include "test_match.moc"
