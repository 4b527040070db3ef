#pragma once

// What the hostile-peer and vanishing-peer suites share: the peer's half of a
// whole exchange as named steps for either role, and a wait for the program to
// have read everything the peer sent.

#include "core/ChickenRecord.h"

#include <QByteArray>
#include <QList>

#include <functional>

class ConnectionScreen;
class Peer;

namespace hostile {

// The program's connection screen for GameMode `mode` (1 host, 2 join), or
// nullptr when it is not loaded.
ConnectionScreen* connectionScreen(int mode);

// The peer's half of a whole exchange, from the first contact to the fight on
// the program's screen, as steps run one at a time. With mode 1 the program
// hosts and the peer joins; with mode 2 the peer hosts. Each step that waits
// for the program also checks what the program sent: its ready signal, its
// nine record messages of Vars::OwnChicken exactly (and, joining, its ready
// signal after them).
class Exchange {
public:
    Exchange(Peer& peer, int mode, const ChickenRecord& peerChicken);

    // Runs the steps not yet run up to and including the one named `last` (what
    // the peer has just done: "connected", "got 0", "sent A".."sent I", "sent 0",
    // "got record", or hosting "accepted"; the last, "fight", is the program
    // showing the fight); false (and the failing step in failure()) as soon as
    // one fails.
    bool runThrough(const QByteArray& last);
    QByteArray failure() const { return failed; }

    // Sends `message` instead of the record message with `tag` (one write; a
    // large one is read to its end before the next step).
    void replaceRecord(char tag, const QByteArray& message);

private:
    bool sendRecord(int index);

    Peer& peer;
    const int mode;
    QList<QByteArray> records;
    struct Step {
        QByteArray name;
        std::function<bool()> action;
    };
    QList<Step> steps;
    int done = 0;
    QByteArray failed;
};

// The peer has gone, and within `timeoutMs` the program says so: before the
// fight the connection screen (GameMode `mode`) says so and stops; in the fight
// the player is told and the program ends with status 1.
void reportsPeerGone(int mode, bool inFight, int timeoutMs = 5000);

// Waits until the peer has handed all of `sent` to the system and the program
// has read its last bytes (its latest arrival is a tail of `sent`).
bool waitUntilRead(Peer& peer, const QByteArray& sent, int timeoutMs = 30000);

} // namespace hostile
