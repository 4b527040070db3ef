// The keep-alive baseline: the least a server can do to answer "90" with "91" on
// loopback. Plain blocking POSIX sockets, TCP_NODELAY, one connection, no event
// loop. Listens on 127.0.0.1 on a free port, prints "port=N", serves one client
// and exits when it goes.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

int main() {
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (server < 0 || ::bind(server, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(server, 1) != 0 ||
        ::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("bench_echo: listen");
        return 1;
    }
    std::printf("port=%u\n", static_cast<unsigned>(ntohs(address.sin_port)));
    std::fflush(stdout);

    const int client = ::accept(server, nullptr, nullptr);
    if (client < 0) {
        std::perror("bench_echo: accept");
        return 1;
    }
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    char buffer[256];
    while (::read(client, buffer, sizeof buffer) > 0) {
        if (::write(client, "91", 2) != 2)
            break;
    }
    ::close(client);
    ::close(server);
    return 0;
}
