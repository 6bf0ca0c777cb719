// Measures, on the X display of $DISPLAY, how fast a program's window answers its hotkeys:
//   HotKeyPresser PRESSES PROGRAM [ARGUMENTS...]
// starts the program, times its start until its first top-level window is mapped, then PRESSES
// times presses Ctrl+Alt+H through XTest and times the press until the window's UnmapNotify,
// and Ctrl+Alt+O until its MapNotify. Prints the medians and 99th percentiles in milliseconds.
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

#include "platform/X11HotKeys.h"

namespace {

using Clock = std::chrono::steady_clock;

struct EventFree {
    void operator()(xcb_generic_event_t* event) const { std::free(event); }
};
using Event = std::unique_ptr<xcb_generic_event_t, EventFree>;

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The nearest-rank percentile: the smallest value that at least that share of the values reach.
double Percentile(std::vector<double> values, double percent)
{
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(percent / 100 * static_cast<double>(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

void PrintFigures(const char* what, int presses, const std::vector<double>& times)
{
    std::printf("%s, median of %d: %.2f ms (99th percentile %.2f, max %.2f)\n", what, presses, Median(times),
                Percentile(times, 99), *std::max_element(times.begin(), times.end()));
}

class Presser {
public:
    Presser() : connection_(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(connection_)) {
            throw std::runtime_error("cannot connect to the X display");
        }
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        control_ = quietpane::KeyCodeOfKeySym(connection_, XK_Control_L);
        alt_ = quietpane::KeyCodeOfKeySym(connection_, XK_Alt_L);
    }
    ~Presser()
    {
        // The program and whatever it started form a process group of their own.
        if (program_ > 0) {
            kill(-program_, SIGTERM);
            waitpid(program_, nullptr, 0);
        }
        xcb_disconnect(connection_);
    }

    // Starts the program and waits for the first of its top-level windows to be mapped.
    xcb_window_t Launch(char** argv, double& startMilliseconds)
    {
        const uint32_t rootEvents = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &rootEvents);
        xcb_flush(connection_);
        const Clock::time_point start = Clock::now();
        program_ = fork();
        if (program_ == 0) {
            setpgid(0, 0);
            execvp(argv[0], argv);
            _exit(127);
        }
        std::vector<xcb_window_t> created;
        while (Event event = WaitForEvent(start + std::chrono::seconds(30))) {
            const uint8_t type = event->response_type & 0x7F;
            if (type == XCB_CREATE_NOTIFY) {
                const xcb_window_t window = reinterpret_cast<xcb_create_notify_event_t*>(event.get())->window;
                const uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &events);
                created.push_back(window);
                if (Viewable(window) && OwnedByProgram(window)) { // mapped before it could be watched
                    startMilliseconds = Milliseconds(Clock::now() - start);
                    return window;
                }
            } else if (type == XCB_MAP_NOTIFY) {
                const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t*>(event.get())->window;
                if (std::find(created.begin(), created.end(), window) != created.end() &&
                    OwnedByProgram(window)) {
                    startMilliseconds = Milliseconds(Clock::now() - start);
                    return window;
                }
            }
        }
        throw std::runtime_error("the program mapped no window");
    }

    // Presses Ctrl+Alt+key and returns the time until the window gets the event type.
    double TimePress(uint32_t keySym, xcb_window_t window, uint8_t answer)
    {
        const xcb_keycode_t key = quietpane::KeyCodeOfKeySym(connection_, keySym);
        const Clock::time_point start = Clock::now();
        for (const xcb_keycode_t down : {control_, alt_, key}) {
            xcb_test_fake_input(connection_, XCB_KEY_PRESS, down, XCB_CURRENT_TIME, root_, 0, 0, 0);
        }
        for (const xcb_keycode_t up : {key, alt_, control_}) {
            xcb_test_fake_input(connection_, XCB_KEY_RELEASE, up, XCB_CURRENT_TIME, root_, 0, 0, 0);
        }
        xcb_flush(connection_);
        while (Event event = WaitForEvent(start + std::chrono::seconds(5))) {
            const uint8_t type = event->response_type & 0x7F;
            const xcb_window_t subject =
                type == XCB_MAP_NOTIFY     ? reinterpret_cast<xcb_map_notify_event_t*>(event.get())->window
                : type == XCB_UNMAP_NOTIFY ? reinterpret_cast<xcb_unmap_notify_event_t*>(event.get())->window
                                           : XCB_NONE;
            if (type == answer && subject == window) {
                return Milliseconds(Clock::now() - start);
            }
        }
        throw std::runtime_error("the window did not answer the hotkey");
    }

    // Lets whatever the window manager still does after a change settle.
    void Settle(std::chrono::milliseconds time)
    {
        const Clock::time_point until = Clock::now() + time;
        while (WaitForEvent(until)) {
        }
    }

private:
    // Telling the program's windows from the frames that the window manager adds.
    bool OwnedByProgram(xcb_window_t window)
    {
        const char name[] = "_NET_WM_PID";
        auto* atom = xcb_intern_atom_reply(connection_,
                                           xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
        auto* reply = xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, atom->atom, XCB_ATOM_CARDINAL, 0, 1),
            nullptr);
        const bool owned =
            reply != nullptr && xcb_get_property_value_length(reply) == 4 &&
            *static_cast<const uint32_t*>(xcb_get_property_value(reply)) == static_cast<uint32_t>(program_);
        std::free(reply);
        std::free(atom);
        return owned;
    }

    bool Viewable(xcb_window_t window)
    {
        auto* reply = xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, window), nullptr);
        const bool viewable = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(reply);
        return viewable;
    }

    Event WaitForEvent(Clock::time_point deadline)
    {
        while (Clock::now() < deadline) {
            if (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                return Event(event);
            }
            if (xcb_connection_has_error(connection_)) {
                throw std::runtime_error("lost the X display");
            }
            usleep(50);
        }
        return nullptr;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
    xcb_keycode_t control_;
    xcb_keycode_t alt_;
    pid_t program_ = -1;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PRESSES PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    try {
        const int presses = std::stoi(argv[1]);
        Presser presser;
        double startMilliseconds = 0;
        const xcb_window_t window = presser.Launch(argv + 2, startMilliseconds);
        presser.Settle(std::chrono::milliseconds(500));
        std::vector<double> hides, restores;
        // Presses come a fifth of a second apart, as no hand is faster: a press right after the
        // window came back would wait for the web view's first paint.
        constexpr std::chrono::milliseconds pause(200);
        for (int press = 0; press < presses; ++press) {
            hides.push_back(presser.TimePress(XK_h, window, XCB_UNMAP_NOTIFY));
            presser.Settle(pause);
            restores.push_back(presser.TimePress(XK_o, window, XCB_MAP_NOTIFY));
            presser.Settle(pause);
        }
        std::printf("window 0x%x\n", window);
        std::printf("start to window mapped: %.1f ms\n", startMilliseconds);
        PrintFigures("hide (press to UnmapNotify)", presses, hides);
        PrintFigures("restore (press to MapNotify)", presses, restores);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "HotKeyPresser: %s\n", error.what());
        return 1;
    }
    return 0;
}
