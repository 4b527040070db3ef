#pragma once

// What a match shows on the game's screens: the connection screen that made the
// connection (its status line) and the fight screen (loaded, hidden, by the
// first thing the fight shows, and its charge timer), the sound cues and the
// boxes at the end.

#include "match/Match.h"

class ConnectionScreen;

class ScreenView final : public match::View {
public:
    // `screen` may be null: the fight screen on its own, with no connection.
    explicit ScreenView(ConnectionScreen* shownOn) : screen(shownOn) {}

    void statusChanged(const std::string& text) override;
    void fightOpened() override;
    void chargeBegins(int intervalMs) override;
    void chargeRunning(bool run) override;
    void chargeShown(int charge) override;
    void refreshed() override;
    void opponentChargeShown(int charge) override;
    void actionsOffered(const std::array<bool, 3>& offered) override;
    void hitPointsShown() override;
    void commented(const std::string& line) override;
    void sound(match::Sound cue) override;
    void ended(match::Result result) override;
    void connectionLost(const std::string& status) override;
    void opponentLeft() override;
    bool halted() const override;

private:
    ConnectionScreen* const screen;
};
