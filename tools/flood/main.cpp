// flood: strangers at a host's open port, many a second, for the tests' small
// internet of network namespaces (plain POSIX, no Qt).
//
//   flood [--rate N] [--seconds N] [--mode silent|junk|close] HOST PORT
//
// Opens N connections a second (default 200) for the given seconds (default 10)
// to HOST, a numeric IPv4 or IPv6 address, and PORT, all from one process with
// non-blocking connects. Once made, each does what the mode says: silent holds
// the connection and says nothing until the host closes it or the run ends;
// junk sends "GET / HTTP/1.0\r\n\r\n" and closes; close closes at once.
// Whatever the host sends is read and discarded. At the end it prints one line:
//   made M, closed by the host C, refused or failed F
// where a connect still unanswered when the run ends counts as failed.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>
#include <unordered_map>

namespace {

enum class Mode { Silent, Junk, Close };

long long nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

long long number(const char* text, long long max) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > max)
        return -1;
    return value;
}

int usage() {
    std::fprintf(stderr,
                 "usage: flood [--rate N] [--seconds N] [--mode silent|junk|close] HOST PORT\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    long long rate = 200;
    long long seconds = 10;
    Mode mode = Mode::Silent;
    const char* positional[2] = {nullptr, nullptr};
    int given = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--rate" || arg == "--seconds") && i + 1 < argc) {
            long long& target = arg == "--rate" ? rate : seconds;
            if ((target = number(argv[++i], arg == "--rate" ? 10'000 : 3600)) < 0)
                return usage();
        } else if (arg == "--mode" && i + 1 < argc) {
            const std::string m = argv[++i];
            if (m != "silent" && m != "junk" && m != "close")
                return usage();
            mode = m == "silent" ? Mode::Silent : m == "junk" ? Mode::Junk : Mode::Close;
        } else if (!arg.empty() && arg[0] != '-' && given < 2) {
            positional[given++] = argv[i];
        } else {
            return usage();
        }
    }
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV; // no name look-up: nothing leaves unasked
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* target = nullptr;
    if (given != 2 || getaddrinfo(positional[0], positional[1], &hints, &target) != 0)
        return usage();

    // Held connections need descriptors: as many as the system lets this process have.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);

    const int poller = epoll_create1(EPOLL_CLOEXEC);
    std::unordered_map<int, bool> sockets; // descriptor -> connected (else still connecting)
    long long made = 0, closedByHost = 0, failed = 0, opened = 0;
    const long long total = rate * seconds;
    const long long start = nowMs();
    const long long end = start + seconds * 1000;
    auto drop = [&](int fd) {
        close(fd); // also takes it out of the epoll set
        sockets.erase(fd);
    };
    for (long long at = start; at < end; at = nowMs()) {
        // The k-th connection is due k/rate seconds into the run.
        for (; opened < total && opened * 1000 <= (at - start) * rate; ++opened) {
            const int fd = socket(target->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                ++failed;
                continue;
            }
            if (connect(fd, target->ai_addr, target->ai_addrlen) < 0 && errno != EINPROGRESS) {
                ++failed;
                close(fd);
                continue;
            }
            epoll_event wanted{};
            wanted.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP;
            wanted.data.fd = fd;
            epoll_ctl(poller, EPOLL_CTL_ADD, fd, &wanted);
            sockets[fd] = false;
        }
        const long long next = opened < total ? start + (opened * 1000 + rate - 1) / rate : end;
        epoll_event events[256];
        const int n = epoll_wait(poller, events, 256, static_cast<int>(next > at ? next - at : 0));
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (!sockets[fd]) {
                int error = 0;
                socklen_t length = sizeof error;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
                if (error != 0) {
                    ++failed;
                    drop(fd);
                    continue;
                }
                ++made;
                sockets[fd] = true;
                epoll_event reading{};
                reading.events = EPOLLIN | EPOLLRDHUP;
                reading.data.fd = fd;
                epoll_ctl(poller, EPOLL_CTL_MOD, fd, &reading);
                if (mode == Mode::Junk) {
                    static const char junk[] = "GET / HTTP/1.0\r\n\r\n";
                    send(fd, junk, sizeof junk - 1, MSG_NOSIGNAL);
                }
                if (mode != Mode::Silent) {
                    drop(fd);
                    continue;
                }
            }
            // Read and discard; the end of the host's stream, or a reset, is its close.
            char buffer[4096];
            ssize_t got = 0;
            while ((got = recv(fd, buffer, sizeof buffer, 0)) > 0) {
            }
            if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                ++closedByHost;
                drop(fd);
            }
        }
    }
    for (const auto& [fd, connected] : sockets) {
        failed += connected ? 0 : 1;
        close(fd);
    }
    std::printf("made %lld, closed by the host %lld, refused or failed %lld\n", made, closedByHost,
                failed);
    freeaddrinfo(target);
    close(poller);
    return 0;
}
