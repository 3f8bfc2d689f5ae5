// Starts a program on the X display and reports when its window was first
// mapped and first drawn, and the program's peak resident memory by then:
//
//     first_paint [--timeout-ms N] PROGRAM [ARGS...]
//     map_ms=41.3 paint_ms=97.8 maxrss_kb=38212
//
// "Drawn" is the first damage (DAMAGE extension) to a mapped top-level
// window of at least 100 × 100 pixels after the program was started: the
// moment its content reaches the screen. The program is then ended with
// SIGTERM, so the memory figure is its peak up to its first paint. Works for
// any X client, so two programs are timed the same way; the display should be
// a private one (Xvfb) without a window manager, where the program's windows
// are the only top-level windows created meanwhile.
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Window {
    bool mapped = false;
    bool large = false;
};

int Usage()
{
    std::fprintf(stderr, "usage: first_paint [--timeout-ms N] PROGRAM [ARGS...]\n");
    return 64;
}

}  // namespace

int main(int argc, char* argv[])
{
    int first = 1;
    int timeoutMs = 10000;
    if (argc > 2 && std::strcmp(argv[1], "--timeout-ms") == 0) {
        timeoutMs = std::atoi(argv[2]);
        first = 3;
    }
    if (first >= argc || timeoutMs <= 0)
        return Usage();

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "first_paint: cannot open the display\n");
        return 2;
    }
    const xcb_query_extension_reply_t* damageExt = xcb_get_extension_data(x, &xcb_damage_id);
    if (damageExt == nullptr || !damageExt->present) {
        std::fprintf(stderr, "first_paint: the display has no DAMAGE extension\n");
        return 2;
    }
    // The extension answers nothing until the version is agreed.
    free(xcb_damage_query_version_reply(x, xcb_damage_query_version(x, 1, 1), nullptr));
    const uint8_t damageNotify = damageExt->first_event + XCB_DAMAGE_NOTIFY;

    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0)
        return 2;
    if (child == 0) {
        execvp(argv[first], argv + first);
        std::perror(argv[first]);
        _exit(127);
    }

    std::map<xcb_window_t, Window> windows;
    double mapMs = -1;
    double paintMs = -1;
    bool exited = false;
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    while (paintMs < 0 && !exited) {
        xcb_generic_event_t* event = xcb_poll_for_event(x);
        if (event == nullptr) {
            if (xcb_connection_has_error(x))
                break;
            const int left = timeoutMs - static_cast<int>(MsSince(start));
            if (left <= 0)
                break;
            // Wakes now and then to notice a program that ended without a
            // window.
            poll(&fd, 1, left < 50 ? left : 50);
            exited = waitpid(child, nullptr, WNOHANG) == child;
            continue;
        }
        const uint8_t type = event->response_type & 0x7F;
        if (type == XCB_CREATE_NOTIFY) {
            const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
            // Menus and tooltips are override-redirect; the window is not.
            if (created->parent == root && !created->override_redirect) {
                windows[created->window].large = created->width >= 100 && created->height >= 100;
                xcb_damage_create(x, xcb_generate_id(x), created->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                xcb_flush(x);
            }
        } else if (type == XCB_CONFIGURE_NOTIFY) {
            const auto* configured = reinterpret_cast<xcb_configure_notify_event_t*>(event);
            auto it = windows.find(configured->window);
            if (it != windows.end())
                it->second.large = configured->width >= 100 && configured->height >= 100;
        } else if (type == XCB_MAP_NOTIFY) {
            const auto* mapped = reinterpret_cast<xcb_map_notify_event_t*>(event);
            auto it = windows.find(mapped->window);
            if (it != windows.end()) {
                it->second.mapped = true;
                if (mapMs < 0 && it->second.large)
                    mapMs = MsSince(start);
            }
        } else if (type == damageNotify) {
            const auto* damaged = reinterpret_cast<xcb_damage_notify_event_t*>(event);
            auto it = windows.find(damaged->drawable);
            if (it != windows.end() && it->second.mapped && it->second.large)
                paintMs = MsSince(start);
        }
        free(event);
    }

    if (!exited)
        kill(child, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    xcb_disconnect(x);
    if (paintMs < 0) {
        std::fprintf(stderr, "first_paint: %s drew no window within %d ms\n", argv[first], timeoutMs);
        return 1;
    }
    std::printf("map_ms=%.1f paint_ms=%.1f maxrss_kb=%ld\n", mapMs, paintMs, usage.ru_maxrss);
    return 0;
}
