#pragma once

// What the host and join screens share: the layout, the blinking status line,
// the record transfer, the wait before the fight and the one receive handler
// through which the peer's messages reach this program for the whole match.
// The two screens differ only in their socket's set-up and in the few steps that
// Role describes.

#include "link/Connection.h"
#include "link/ScreenView.h"
#include "match/Match.h"

#include <QString>
#include <QWidget>

#include <string>
#include <string_view>

class QCloseEvent;
class QLabel;
class QTimer;
class Winsock;

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
    const std::string& lastArrival() const { return received; }

    // The match of the connection screen that is loaded, else null.
    static match::Match* loadedMatch();

protected:
    // Where the two screens differ.
    struct Role {
        QString screenName;
        QString caption;
        QString socketName;
        match::Match::Role match;
    };

    explicit ConnectionScreen(const Role& role);

    // The receive handler: everything waiting on the connection is one arrival,
    // and it serves the whole match, the fight included.
    void DataArrival();

    void closeEvent(QCloseEvent* event) override;
    // Unloads the concrete screen through Forms, which runs Form_Unload.
    virtual void unloadScreen() = 0;
    // The host listens again for a joiner; only the host screen does.
    virtual void waitForNextJoiner() {}
    friend class ScreenView;

    Winsock* const link;
    SocketLink socketLink;
    ScreenView view;
    match::Match game;

private:
    std::string received;
};
