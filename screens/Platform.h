#pragma once

// The program's few contacts with the desktop that tests need to replace: modal
// boxes, the end of the program and the sound player. Each defaults to the real
// thing; tests install their own through seams().

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

// A host heard announcing its match on the local network.
struct HeardHost {
    QString name;    // shown as plain text
    QString address; // what choosing the host puts in the address field

    bool operator==(const HeardHost&) const = default;
};

// What the address prompt offers: the hosts heard, the newest first, then the
// addresses this player joined before, the most recent first. Hosts may come
// and go while the prompt is open; it follows them.
class HeardHosts : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    const QList<HeardHost>& list() const { return hosts; }
    const QStringList& joinedBefore() const { return addresses; }
    // Each emits changed() when `now` differs from the list held.
    void set(const QList<HeardHost>& now);
    void setJoinedBefore(const QStringList& now);

signals:
    void changed();

private:
    QList<HeardHost> hosts;
    QStringList addresses;
};

// The title that boxes without a caption of their own carry.
inline const QString AppTitle = QStringLiteral("Quorvel");

struct Seams {
    // A modal box with one OK button and no icon; returns when it is closed.
    std::function<void(const QString& text, const QString& caption)> messageBox;
    // A modal prompt with OK and Cancel; Cancel gives the empty text. With hosts
    // heard (`heard` not null and not empty) it lists them too, and its field
    // holds the first one's address instead of `defaultAnswer` until the player
    // types or chooses. The addresses joined before are listed after them, and
    // fill the field only when chosen. With nothing to list it is the plain
    // prompt.
    std::function<QString(const QString& prompt, const QString& defaultAnswer,
                          const HeardHosts* heard)>
        inputBox;
    // Ends the program at once with `status`: no close or unload step runs.
    std::function<void(int status)> endProgram;
    // Starts playing the WAV file at `path` and returns at once; a new sound
    // cuts off the one playing; a missing file plays nothing.
    std::function<void(const QString& path)> playSound;
    // A modal box with OK (Return and Escape too) and Play again, no icon, the
    // program's title; true when Play again was chosen.
    std::function<bool(const QString& text)> resultBox;
};

// The seams in force (the real implementations unless a test replaced them).
Seams& seams();
// Puts the real implementations back and forgets that the program ended.
void resetSeams();

void MsgBox(const QString& text, const QString& caption = AppTitle);
QString InputBox(const QString& prompt, const QString& defaultAnswer,
                 const HeardHosts* heard = nullptr);
// How the prompt lists a host: "Rex at 192.168.1.23".
QString describe(const HeardHost& host);
// The box at the end of a match: true when the player plays again.
bool ResultBox(const QString& text);
// Ends the program with `status` once the running handler returns: the event
// loop is left, and main() takes every screen down, so that each object
// undoes what it started. Callers return straight after it.
void EndProgram(int status);
// True once EndProgram has been called.
bool programEnded();
int endStatus();

} // namespace platform
