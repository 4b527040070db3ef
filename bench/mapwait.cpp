// Start-up probe: starts a program on the X display and times how long it takes
// until the program's first window is mapped, watching the root window's
// structure events (nothing else may map windows on that display meanwhile).
//
//   bench_mapwait [--hold MS] [--cwd DIR] -- PROGRAM [ARGS...]
//
// Prints "map_ms=" (from just before fork to the MapNotify event). With --hold it
// then waits MS milliseconds and prints the program's "hwm_kb=" (peak resident
// memory). The program is then ended.

#include "proc.h"

#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    int hold = 0;
    const char* cwd = nullptr;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--hold") == 0 && i + 1 < argc)
            hold = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--cwd") == 0 && i + 1 < argc)
            cwd = argv[++i];
    }
    if (i + 1 >= argc) {
        std::fprintf(stderr, "usage: bench_mapwait [--hold MS] [--cwd DIR] -- PROGRAM [ARGS...]\n");
        return 2;
    }
    char** command = argv + i + 1;

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "bench_mapwait: cannot open the display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    // A round trip, so that the server selects the events before the program starts.
    std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (cwd != nullptr && ::chdir(cwd) != 0)
            _exit(126);
        ::execv(command[0], command);
        _exit(127);
    }

    bool mapped = false;
    const auto deadline = start + std::chrono::seconds(30);
    while (!mapped && std::chrono::steady_clock::now() < deadline) {
        pollfd p{xcb_get_file_descriptor(x), POLLIN, 0};
        ::poll(&p, 1, 100);
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && !mapped) {
                mapped = true;
                const std::chrono::duration<double, std::milli> took =
                    std::chrono::steady_clock::now() - start;
                std::printf("map_ms=%.3f\n", took.count());
            }
            std::free(event);
        }
        if (xcb_connection_has_error(x))
            break;
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "bench_mapwait: %s ended before mapping a window\n", command[0]);
            return 1;
        }
    }
    if (mapped && hold > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(hold));
        std::printf("hwm_kb=%ld\n", bench::statusKb(child, "VmHWM"));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    xcb_disconnect(x);
    if (!mapped)
        std::fprintf(stderr, "bench_mapwait: no window mapped within 30 s\n");
    return mapped ? 0 : 1;
}
