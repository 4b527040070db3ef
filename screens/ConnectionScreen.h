#pragma once

// What the host and join screens share: the layout, the blinking status line,
// and the connection (net/Connection.h) that runs the record transfer, the wait
// before the fight and the one receive handler through which the peer's
// messages reach this program for the whole match. The two screens differ only
// in their socket's set-up and in the texts and steps that Setup describes.

#include "net/Connection.h"

#include <QLoggingCategory>
#include <QString>
#include <QWidget>

#include <memory>
#include <string>

// The status lines as they change, for finding out where a match stalled:
// QT_LOGGING_RULES="quorvel.status.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcStatus)

class QCloseEvent;
class QLabel;
class QTimer;

// Shows the title screen again. Defined with the title screen, the one screen
// that opens the connection screens.
void returnToTitle();

class ConnectionScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr quint16 MatchPort = wire::MatchPort;
    ~ConnectionScreen() override;

    QLabel* Image1;
    QLabel* txt; // the status line
    QTimer* tmrFlash;
    QTimer* tmrWait;     // the connection's
    QTimer* tmrTransfer; // the connection's

    void tmrFlash_Timer();
    void tmrTransfer_Timer();
    void tmrWait_Timer();
    // Closing the screen: the connection goes and the title screen comes back.
    void Form_Unload();
    // After a match: this screen and its connection go, the chicken is read
    // again from its file, and a fresh screen of the same kind makes the next
    // match's connection.
    void playAgain();

    void setStatus(const QString& text);
    // The most recent arrival, one character per byte.
    const std::string& lastArrival() const { return connection->lastArrival(); }
    // The match played over this screen's connection.
    match::Match& game() { return connection->game(); }

protected:
    // Where the two screens differ.
    struct Setup {
        QString screenName;
        QString caption;
        QString socketName;
        Connection::Side side;
        Connection::Statuses statuses;
        int heightTwips = 705; // of the client area; the width is the same for both
    };

    explicit ConnectionScreen(const Setup& setup);

    void closeEvent(QCloseEvent* event) override;
    // Unloads the concrete screen through Forms, which runs Form_Unload.
    virtual void unloadScreen() = 0;
    // Shows a fresh screen of the concrete kind for the next match.
    virtual void openAgain() = 0;

    // What the match shows: the fight screen, and here the status line; made
    // before the connection, which shows through it.
    const std::unique_ptr<match::View> view;
    // A child of the screen, so that its socket control and timers are found by
    // name there.
    Connection* const connection;

private:
    const bool hosting;
    bool replaced = false; // a fresh screen follows this one, not the title
};
