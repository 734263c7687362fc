// SPDX-License-Identifier: GPL-3.0-or-later
// mapwatch PROGRAM [ARGS...]: starts PROGRAM on the X display of $DISPLAY and prints, in
// tab-separated rows, the time from just before the start until the X server maps its first
// top-level window ("mapped", microseconds), then the program's resident memory a second later
// ("rss", MB); then it ends the program. It listens for the map instead of polling for the
// window, so nothing else competes with the program for the processor while it starts.
// Exits 1 without a window within 30 s, or when the program ends first.
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double residentMegabytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return 0;
}

bool hasEnded(pid_t pid)
{
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!hasEnded(pid)) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: mapwatch PROGRAM [ARGS...]\n");
        return 2;
    }
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "mapwatch: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t selected =
        xcb_change_window_attributes_checked(connection, root, XCB_CW_EVENT_MASK, &events);
    if (std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
            xcb_request_check(connection, selected), &std::free);
        error) {
        std::fprintf(stderr, "mapwatch: cannot watch the root window\n");
        return 2;
    }

    const auto started = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        std::perror("mapwatch");
        _exit(127);
    }
    if (pid < 0) {
        std::perror("mapwatch");
        return 2;
    }

    // The wait is for events, with a look every 50 ms at whether the program is still there.
    const auto deadline = started + std::chrono::seconds(30);
    bool mapped = false;
    while (!mapped) {
        xcb_flush(connection);
        while (std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event{
                   xcb_poll_for_event(connection), &std::free}) {
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY)
                continue;
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event.get());
            if (map->override_redirect)
                continue; // menus and tooltips, never the first window of a start
            const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
                Clock::now() - started);
            std::printf("mapped\t%lld\tus\n", static_cast<long long>(elapsed.count()));
            mapped = true;
            break;
        }
        if (mapped)
            break;
        if (xcb_connection_has_error(connection) || hasEnded(pid) || Clock::now() > deadline) {
            std::fprintf(stderr, "mapwatch: no window\n");
            stop(pid);
            return 1;
        }
        pollfd wait{xcb_get_file_descriptor(connection), POLLIN, 0};
        poll(&wait, 1, 50);
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::printf("rss\t%.1f\tMB\n", residentMegabytes(pid));
    std::fflush(stdout);
    stop(pid);
    xcb_disconnect(connection);
    return 0;
}
