#pragma once

// What the host and join screens share: the layout, the blinking status line,
// the record transfer, the wait before the fight and the one receive handler
// through which the peer's messages reach this program for the whole match.
// The two screens differ only in their socket's set-up and in the few steps that
// Role describes.

#include "link/Wire.h"

#include <QString>
#include <QWidget>

#include <string_view>

class QCloseEvent;
class QLabel;
class QTimer;
class Winsock;

class ConnectionScreen : public QWidget, private wire::Receiver {
    Q_OBJECT
public:
    static constexpr quint16 MatchPort = wire::MatchPort;

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

protected:
    // Where the two sides of the exchange differ.
    struct Role {
        QString screenName;
        QString caption;
        QString socketName;
        // Status once the peer's ready signal hands us the turn of sending.
        QString sendingStatus;
        // Status after our own last record message (transfer step 9).
        QString sentStatus;
        // True: step 9 hands the turn to the peer with the ready signal (the
        // joiner sends first). False: step 9 starts the wait before the fight.
        bool handsOverTurn;
        // Non-empty: the peer's last record message ("I") ends the exchange on
        // this side, shows this status and starts the wait (the joiner).
        QString receivedStatus;
    };

    explicit ConnectionScreen(const Role& role);

    // The receive handler: everything waiting on the connection is one arrival.
    void DataArrival();
    // Sends one message as one write; a failed send counts as a lost connection.
    bool send(std::string_view message);
    // The connection has gone (or a send failed).
    void connectionLost();
    void setStatus(const QString& text);

    void closeEvent(QCloseEvent* event) override;
    // Unloads the concrete screen through Forms, which runs Form_Unload.
    virtual void unloadScreen() = 0;

    Winsock* const link;

private:
    // The peer's messages, one by one.
    void onControl(std::string_view word) override;
    void onRecord(const wire::Message& record) override;
    void onCharge(float charge) override;
    void onDamage(int16_t damage) override;
    void damagePath();
    void noDamagePath();
    // True once nothing more may be handled: the match or the program has ended.
    bool ended() const override;

    const Role role;
};
