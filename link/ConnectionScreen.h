#pragma once

// What the host and join screens share: the layout, the blinking status line,
// and the connection (link/Connection.h) that runs the record transfer, the wait
// before the fight and the one receive handler through which the peer's
// messages reach this program for the whole match. The two screens differ only
// in their socket's set-up and in the texts and steps that Role describes.

#include "link/Connection.h"
#include "link/ScreenView.h"

#include <QLoggingCategory>
#include <QString>
#include <QWidget>

#include <string>

// The status lines as they change, for finding out where a match stalled:
// QT_LOGGING_RULES="quorvel.status.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcStatus)

class QCloseEvent;
class QLabel;
class QTimer;

class ConnectionScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr quint16 MatchPort = wire::MatchPort;
    ~ConnectionScreen() override;

    QLabel* Image1;
    QLabel* txt; // the status line
    QTimer* tmrFlash;
    QTimer* tmrWait;
    QTimer* tmrTransfer;

    void tmrFlash_Timer();
    void tmrTransfer_Timer();
    void tmrWait_Timer();
    // Closing the screen: the connection goes and the title screen comes back.
    void Form_Unload();

    void setStatus(const QString& text);
    // The most recent arrival, one character per byte.
    const std::string& lastArrival() const { return connection->lastArrival(); }
    // The match played over this screen's connection.
    match::Match& game() { return connection->game; }

protected:
    // Where the two screens differ.
    struct Role {
        QString screenName;
        QString caption;
        QString socketName;
        Connection::Side side;
        Connection::Statuses statuses;
        int heightTwips = 705; // of the client area; the width is the same for both
    };

    explicit ConnectionScreen(const Role& role);

    void closeEvent(QCloseEvent* event) override;
    // Unloads the concrete screen through Forms, which runs Form_Unload.
    virtual void unloadScreen() = 0;
    friend class ScreenView;

private:
    ScreenView view;

protected:
    // A child of the screen, so that its socket control is found by name there.
    Connection* const connection;
};
