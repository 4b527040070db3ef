// The bench's client. Two uses:
//
//   bench_peer --port P --probes N
//       Keep-alive round trips against any server (the baseline echo server):
//       sends "90", waits for "91", N times.
//
//   bench_peer --match --host-pid PID [--idle S] [--probes N] [--echo-port E]
//              [--ticks M]
//       Plays the joiner's side of a whole match against the running host screen
//       on port 1425: measures the host's processor time while it waits S seconds
//       for a joiner, connects, takes the ready signal, sends its name, runs N keep-alive round
//       trips (in blocks taking turns with N round trips to the server on port E,
//       so that both see the same load on the machine), exchanges the records, then charges and
//       hits like a player while it timestamps the host's charge messages; after M charge intervals
//       it reads the host's peak memory (fight screen open) and lands the final hit. It stays until
//       the host has ended and closed the connection.
//
// Results are "key=value" lines on standard output; progress goes to standard error.

#include "catalogue.h"
#include "proc.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench_peer: %s\n", what.c_str());
    std::exit(1);
}

struct Options {
    int port = 1425;
    bool match = false;
    int hostPid = 0;
    double idleSeconds = 0;
    int probes = 0;
    int echoPort = 0;
    int ticks = 0;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                fail("missing value after " + arg);
            return argv[++i];
        };
        if (arg == "--port")
            o.port = std::stoi(value());
        else if (arg == "--match")
            o.match = true;
        else if (arg == "--host-pid")
            o.hostPid = std::stoi(value());
        else if (arg == "--idle")
            o.idleSeconds = std::stod(value());
        else if (arg == "--probes")
            o.probes = std::stoi(value());
        else if (arg == "--echo-port")
            o.echoPort = std::stoi(value());
        else if (arg == "--ticks")
            o.ticks = std::stoi(value());
        else
            fail("unknown argument " + arg);
    }
    return o;
}

// Nearest-rank percentile of a sorted sample.
double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty())
        return 0;
    const auto rank =
        static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

void printStats(const char* name, std::vector<double> sample) {
    std::sort(sample.begin(), sample.end());
    double sum = 0;
    for (double v : sample)
        sum += v;
    const double mean = sample.empty() ? 0 : sum / static_cast<double>(sample.size());
    std::printf("%s_n=%zu\n%s_mean_ms=%.4f\n%s_median_ms=%.4f\n%s_p99_ms=%.4f\n%s_max_ms=%.4f\n",
                name, sample.size(), name, mean, name, percentile(sample, 50), name,
                percentile(sample, 99), name, sample.empty() ? 0 : sample.back());
}

// utime + stime of a process, in seconds.
double processorSeconds(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos)
        fail("cannot read /proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(line.substr(close + 2));
    std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
    if (f.size() < 13)
        fail("short /proc stat line");
    // Fields 14 and 15 of the line; the first after ")" is field 3.
    const double ticks = std::stod(f[11]) + std::stod(f[12]);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

class Link {
public:
    explicit Link(int port) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            fail("cannot connect to port " + std::to_string(port) + ": " + std::strerror(errno));
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        localPort = ntohs(address.sin_port);
    }
    ~Link() { ::close(fd); }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    void send(const std::string& message) {
        if (::send(fd, message.data(), message.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(message.size()))
            fail("send failed: " + std::string(std::strerror(errno)));
        ++sent[message.substr(0, message[0] >= 'A' ? 1 : std::string::npos)];
        ++sentTotal;
    }

    // Handles what arrives until `done` holds or `deadline` passes; false on the
    // deadline. Each read is split into the catalogue's messages and handed on
    // with the time it was read.
    using Handler = std::function<void(const std::string&, Clock::time_point)>;
    bool pump(Clock::time_point deadline, const std::function<bool()>& done,
              const Handler& onMessage) {
        char buffer[4096];
        while (!done()) {
            const auto now = Clock::now();
            if (now >= deadline)
                return false;
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0)
                continue;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            const auto at = Clock::now();
            if (n <= 0) {
                closed = true;
                return done();
            }
            ++reads;
            const auto messages = bench::split(std::string_view(buffer, static_cast<size_t>(n)));
            if (!messages) {
                ++malformed;
                continue;
            }
            if (messages->size() > 1)
                ++merged;
            for (const std::string& m : *messages) {
                ++received[m.substr(0, m[0] >= 'A' ? 1 : std::string::npos)];
                ++receivedTotal;
                onMessage(m, at);
            }
        }
        return true;
    }

    int fd = -1;
    int localPort = 0;
    bool closed = false;
    long reads = 0, merged = 0, malformed = 0, sentTotal = 0, receivedTotal = 0;
    std::map<std::string, long> sent, received;
};

void ignore(const std::string&, Clock::time_point) {}

std::vector<double> probe(Link& link, int count) {
    std::vector<double> rtt;
    rtt.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        bool answered = false;
        const auto start = Clock::now();
        link.send("90");
        Clock::time_point end{};
        link.pump(
            start + std::chrono::seconds(5), [&] { return answered; },
            [&](const std::string& m, Clock::time_point at) {
                if (m == "91") {
                    answered = true;
                    end = at;
                }
            });
        if (!answered)
            fail("no answer to keep-alive probe " + std::to_string(i));
        rtt.push_back(milliseconds(end - start));
    }
    return rtt;
}

int playMatch(const Options& o) {
    using namespace std::chrono_literals;
    if (o.hostPid <= 0)
        fail("--match needs --host-pid");

    if (o.idleSeconds > 0) {
        const double before = processorSeconds(o.hostPid);
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(o.idleSeconds));
        const double used = processorSeconds(o.hostPid) - before;
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("idle_wall_s=%.3f\nidle_cpu_s=%.3f\nidle_cpu_percent=%.3f\n", wall, used,
                    100.0 * used / wall);
        std::fflush(stdout);
    }

    Link link(o.port);
    std::printf("client_port=%d\n", link.localPort);
    std::fflush(stdout);

    bool ready = false;
    if (!link.pump(
            Clock::now() + 10s, [&] { return ready; },
            [&](const std::string& m, Clock::time_point) { ready = ready || m == "0"; }))
        fail("no ready signal from the host");
    std::fprintf(stderr, "bench_peer: connected, ready signal received\n");
    // The name record first: until it comes the host only judges the connection
    // (and would take a probe for a stranger's bytes).
    const char* record[] = {"APeer", "B10", "C10", "D90", "E100", "F100", "G5", "H5", "I5"};
    link.send(record[0]);
    link.pump(
        Clock::now() + 200ms, [] { return false; }, ignore);

    if (o.probes > 0) {
        std::vector<double> host, echo;
        std::unique_ptr<Link> echoLink;
        if (o.echoPort > 0)
            echoLink = std::make_unique<Link>(o.echoPort);
        constexpr int block = 500;
        for (int done = 0; done < o.probes; done += block) {
            const int n = std::min(block, o.probes - done);
            if (echoLink) {
                const auto e = probe(*echoLink, n);
                echo.insert(echo.end(), e.begin(), e.end());
            }
            const auto h = probe(link, n);
            host.insert(host.end(), h.begin(), h.end());
        }
        printStats("rtt", host);
        if (echoLink)
            printStats("echo", echo);
        std::fflush(stdout);
    }

    // The rest of our record, one message per 200 ms, then the ready signal that hands the host
    // its turn: the joiner's half of the exchange.
    for (const char* message : std::span(record).subspan(1)) {
        link.send(message);
        link.pump(
            Clock::now() + 200ms, [] { return false; }, ignore);
    }
    link.send("0");

    std::string hostName;
    long hostHitPoints = -1;
    bool recordDone = false;
    std::vector<Clock::time_point> charges;
    const auto onFight = [&](const std::string& m, Clock::time_point at) {
        if (m[0] == 'A')
            hostName = m.substr(1);
        else if (m[0] == 'F')
            hostHitPoints = std::atol(m.c_str() + 1);
        else if (m[0] == 'I')
            recordDone = true;
        else if (m[0] == 'J')
            charges.push_back(at);
    };
    if (!link.pump(
            Clock::now() + 10s, [&] { return recordDone; }, onFight))
        fail("the host's record did not arrive");
    std::fprintf(stderr, "bench_peer: host chicken \"%s\", %ld hit points\n", hostName.c_str(),
                 hostHitPoints);
    if (hostHitPoints < 1)
        fail("no hit points in the host's record");

    // The fight: our own charge every 110 ms (Speed 90), a 3-point hit at every
    // full charge, while the host's charge messages are timestamped.
    const auto firstCharge = Clock::now() + 5s;
    if (!link.pump(
            firstCharge, [&] { return !charges.empty(); }, onFight))
        fail("the host's fight screen sent no charge message");
    std::fprintf(stderr, "bench_peer: fight screen open\n");
    int charge = 0;
    long damageSent = 0;
    const double fightCpuBefore = processorSeconds(o.hostPid);
    const auto fightStart = Clock::now();
    auto nextTick = Clock::now() + 110ms;
    const auto enough = [&] { return charges.size() > static_cast<size_t>(o.ticks); };
    const auto fightDeadline = Clock::now() + std::chrono::milliseconds(20L * o.ticks + 10000);
    while (!enough()) {
        if (Clock::now() > fightDeadline || link.closed)
            fail("the host's charge messages stopped");
        link.pump(nextTick, enough, onFight);
        if (Clock::now() < nextTick)
            continue;
        nextTick += 110ms;
        ++charge;
        link.send("J" + std::to_string(charge));
        if (charge == 10 && damageSent + 3 < hostHitPoints) {
            link.send("K3");
            damageSent += 3;
            charge = 1;
        } else if (charge == 10) {
            charge = 1;
        }
    }
    std::vector<double> periods;
    for (size_t i = 1; i <= static_cast<size_t>(o.ticks); ++i)
        periods.push_back(milliseconds(charges[i] - charges[i - 1]));
    printStats("tick", periods);
    const double fightWall = std::chrono::duration<double>(Clock::now() - fightStart).count();
    std::printf("fight_cpu_percent=%.3f\n",
                100.0 * (processorSeconds(o.hostPid) - fightCpuBefore) / fightWall);
    std::printf("fight_hwm_kb=%ld\nfight_rss_kb=%ld\n", bench::statusKb(o.hostPid, "VmHWM"),
                bench::statusKb(o.hostPid, "VmRSS"));
    std::fflush(stdout);

    // The final hit; the host shows "You Lose!" and, once that is closed, ends.
    link.send("K" + std::to_string(hostHitPoints - damageSent));
    std::fprintf(stderr, "bench_peer: final hit sent, waiting for the host to end\n");
    link.pump(
        Clock::now() + 60s, [] { return false; }, ignore);
    std::printf("host_closed=%d\n", link.closed ? 1 : 0);

    std::printf("sent_messages=%ld\nreceived_messages=%ld\nreads=%ld\nmerged_reads=%ld\n"
                "malformed_reads=%ld\n",
                link.sentTotal, link.receivedTotal, link.reads, link.merged, link.malformed);
    for (const auto& [kind, count] : link.received)
        std::printf("received_%s=%ld\n", kind.c_str(), count);
    return link.closed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    if (o.match)
        return playMatch(o);
    Link link(o.port);
    printStats("rtt", probe(link, o.probes));
    return 0;
}
