#pragma once

// This computer's address on the local network, as the title screen shows it and
// the router mapper asks the router to forward to.

#include <QString>

namespace net {

// The first IPv4 address of an interface that is up, running and not loopback;
// "127.0.0.1" when there is none.
QString localIP();

} // namespace net
