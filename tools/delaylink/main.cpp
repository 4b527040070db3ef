// delaylink: a wire with a fixed one-way delay between two TUN devices, for the
// tests' small internet of network namespaces (these machines have no netem).
//
//   delaylink [--delay-ms N] [--queue PACKETS] TUN_A TUN_B
//
// Creates the two TUN devices (IP packets, no header) in its own network
// namespace and prints "ready" once both exist. Either interface may then be
// moved to another namespace (ip link set TUN netns NS): the device stays tied to
// this process's file descriptor. Every packet read from one device is written
// to the other after the delay, each direction on its own and in the order the
// packets came. At most PACKETS packets wait in each direction; more are dropped,
// as a router with a full queue drops them. SIGTERM or SIGINT ends it cleanly,
// and the devices go with it.
#include <linux/if.h>
#include <linux/if_tun.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using Nanos = std::int64_t;

Nanos now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return Nanos{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

struct Packet {
    Nanos due;
    std::vector<std::uint8_t> bytes;
};

// One direction of the wire: packets read from `from` wait in `queue` until due.
struct Direction {
    int from;
    int to;
    std::deque<Packet> queue;
    unsigned long dropped = 0;
};

volatile std::sig_atomic_t stopping = 0;
void stop(int) {
    stopping = 1;
}

int openTun(const char* name) {
    if (std::strlen(name) >= IFNAMSIZ) {
        std::fprintf(stderr, "delaylink: interface name too long: %s\n", name);
        return -1;
    }
    const int fd = open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::perror("delaylink: /dev/net/tun");
        return -1;
    }
    ifreq request{};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
    if (ioctl(fd, TUNSETIFF, &request) < 0) {
        std::fprintf(stderr, "delaylink: %s: %s\n", name, std::strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

// Reads every packet waiting on the direction's device. False on a lasting error.
bool take(Direction& d, Nanos delay, std::size_t limit) {
    static std::vector<std::uint8_t> buffer(65536); // the largest packet a TUN device gives
    for (;;) {
        const ssize_t n = read(d.from, buffer.data(), buffer.size());
        if (n < 0) {
            return errno == EAGAIN || errno == EINTR;
        }
        if (d.queue.size() >= limit) {
            ++d.dropped;
            continue;
        }
        d.queue.push_back({now() + delay, {buffer.begin(), buffer.begin() + n}});
    }
}

// Passes on every packet that is due. A packet the system will not take (the
// other interface down, say) is lost, as on a wire.
void give(Direction& d, Nanos at) {
    while (!d.queue.empty() && d.queue.front().due <= at) {
        const auto& bytes = d.queue.front().bytes;
        if (write(d.to, bytes.data(), bytes.size()) < 0 && errno == EAGAIN) {
            return; // full for now: keep the order and try again shortly
        }
        d.queue.pop_front();
    }
}

long long number(const char* text, long long max) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > max) {
        return -1;
    }
    return value;
}

int usage() {
    std::fprintf(stderr, "usage: delaylink [--delay-ms N] [--queue PACKETS] TUN_A TUN_B\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    long long delayMs = 0;
    long long limit = 4096;
    std::vector<const char*> names;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--delay-ms" || arg == "--queue") && i + 1 < argc) {
            long long& target = arg == "--delay-ms" ? delayMs : limit;
            target = number(argv[++i], arg == "--delay-ms" ? 60'000 : 1'000'000);
            if (target < 0 || (arg == "--queue" && target == 0)) {
                return usage();
            }
        } else if (!arg.empty() && arg[0] != '-') {
            names.push_back(argv[i]);
        } else {
            return usage();
        }
    }
    if (names.size() != 2) {
        return usage();
    }

    // The signals are let through only while waiting, so none is missed between
    // a check of `stopping` and the wait.
    struct sigaction action {};
    action.sa_handler = stop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigset_t blocked;
    sigset_t waiting;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &waiting);
    sigdelset(&waiting, SIGTERM);
    sigdelset(&waiting, SIGINT);

    const int a = openTun(names[0]);
    const int b = a < 0 ? -1 : openTun(names[1]);
    if (b < 0) {
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    const Nanos delay = delayMs * 1'000'000;
    Direction directions[2] = {{a, b, {}}, {b, a, {}}};
    int status = 0;
    while (!stopping) {
        const Nanos at = now();
        Nanos wait = -1;
        for (auto& d : directions) {
            give(d, at);
            if (!d.queue.empty()) {
                const Nanos left = d.queue.front().due > at ? d.queue.front().due - at : 0;
                wait = wait < 0 ? left : std::min(wait, left);
            }
        }
        timespec timeout{static_cast<time_t>(wait / 1'000'000'000),
                         static_cast<long>(wait % 1'000'000'000)};
        pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        if (ppoll(fds, 2, wait < 0 ? nullptr : &timeout, &waiting) < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::perror("delaylink: ppoll");
            status = 1;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if ((fds[i].revents & POLLIN) != 0 &&
                !take(directions[i], delay, static_cast<std::size_t>(limit))) {
                std::fprintf(stderr, "delaylink: %s: %s\n", names[i], std::strerror(errno));
                stopping = 1;
                status = 1;
            } else if ((fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                std::fprintf(stderr, "delaylink: %s is gone\n", names[i]);
                stopping = 1;
                status = 1;
            }
        }
    }
    for (int i = 0; i < 2; ++i) {
        if (directions[i].dropped > 0) {
            std::fprintf(stderr, "delaylink: %lu packets from %s dropped (queue full)\n",
                         directions[i].dropped, names[i]);
        }
    }
    close(a);
    close(b);
    return status;
}
