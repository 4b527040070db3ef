#include "link/Connection.h"

#include "link/Winsock.h"

bool SocketLink::send(std::string_view message) {
    return socket.SendData(message);
}

bool SocketLink::sendAfterAcknowledged(std::string_view message) {
    return socket.SendWhenAcknowledged(message);
}

bool SocketLink::holdsBack() const {
    return socket.Queued() > 0;
}

std::string SocketLink::reason() const {
    return socket.ErrorText().toStdString();
}
