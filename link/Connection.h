#pragma once

// The glue between a match and the socket control it is played over, for every
// front end of the match (the game's screens and the practice opponent).

#include "match/Match.h"

class Winsock;

// The match's messages, written on a socket control.
class SocketLink final : public match::Link {
public:
    explicit SocketLink(Winsock& control) : socket(control) {}

    bool send(std::string_view message) override;
    bool sendAfterAcknowledged(std::string_view message) override;
    bool holdsBack() const override;
    std::string reason() const override;

private:
    Winsock& socket;
};
