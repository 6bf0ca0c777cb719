#include "platform/WindowHiding.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include "platform/X11Connection.h"

namespace quietpane {

namespace {

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name)
{
    XcbReply<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(strlen(name)), name), nullptr)};
    return reply ? reply->atom : XCB_NONE;
}

struct SkipAtoms {
    xcb_atom_t state;
    xcb_atom_t skipTaskBar;
    xcb_atom_t skipPager;
};

const SkipAtoms& SkipAtomsOf(xcb_connection_t* connection)
{
    static xcb_connection_t* internedFor = nullptr;
    static SkipAtoms atoms{};
    if (internedFor != connection) {
        atoms = SkipAtoms{InternAtom(connection, "_NET_WM_STATE"),
                          InternAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                          InternAtom(connection, "_NET_WM_STATE_SKIP_PAGER")};
        internedFor = connection;
    }
    return atoms;
}

// Before a window is mapped its client writes _NET_WM_STATE itself; the window manager reads
// it when it takes the window over. The states already there are kept.
void AddSkipStatesToUnmappedWindow(xcb_connection_t* connection, xcb_window_t window)
{
    const SkipAtoms& atoms = SkipAtomsOf(connection);
    XcbReply<xcb_get_property_reply_t> reply{xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, atoms.state, XCB_ATOM_ATOM, 0, 1024), nullptr)};
    std::vector<xcb_atom_t> states;
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        states.assign(values, values + xcb_get_property_value_length(reply.get()) / 4);
    }
    for (const xcb_atom_t wanted : {atoms.skipTaskBar, atoms.skipPager}) {
        if (std::find(states.begin(), states.end(), wanted) == states.end()) {
            states.push_back(wanted);
        }
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atoms.state, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(states.size()), states.data());
    xcb_flush(connection);
}

xcb_window_t RootWindow(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// The window manager hears what is sent to the root window for its redirection.
void SendToWindowManager(xcb_connection_t* connection, const void* event)
{
    xcb_send_event(connection, 0, RootWindow(connection),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   static_cast<const char*>(event));
    xcb_flush(connection);
}

// A request about a managed window goes to the window manager as a message to the root.
void AskWindowManager(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t type,
                      std::initializer_list<uint32_t> data)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    std::copy(data.begin(), data.end(), message.data.data32);
    SendToWindowManager(connection, &message);
}

// A mapped window's state belongs to the window manager: the client asks it for a change.
void AskForSkipStates(xcb_connection_t* connection, xcb_window_t window)
{
    const SkipAtoms& atoms = SkipAtomsOf(connection);
    constexpr uint32_t addState = 1, sourceApplication = 1;
    AskWindowManager(connection, window, atoms.state,
                     {addState, atoms.skipTaskBar, atoms.skipPager, sourceApplication});
}

// Watches one top-level window for both jobs; one filter, so that their steps before a show
// come in the order the window manager needs.
class WindowHider final : public QObject {
public:
    static WindowHider& Of(QWidget& window)
    {
        for (QObject* child : window.children()) {
            if (auto* hider = dynamic_cast<WindowHider*>(child)) {
                return *hider;
            }
        }
        auto* hider = new WindowHider(window);
        window.installEventFilter(hider);
        return *hider;
    }

    bool keepOffTaskBar = false;
    bool hideWhenMinimised = false;
    std::function<bool()> hide;

    // Sends the map request of the hidden window at once, with its task-bar state in place, so
    // that the server and the window manager map it while the widgets' show events, the page's
    // sound and the focus are dealt with. The show that follows must not write the state again:
    // by then the window may be managed, and its state the window manager's.
    void MapAtOnce(QWidget& window)
    {
        // A first show tells the window manager much more (type, hints, place) before the map.
        xcb_connection_t* connection = ApplicationX11Connection();
        if (connection == nullptr || !shownBefore_)
            return;
        const auto id = static_cast<xcb_window_t>(window.winId());
        if (keepOffTaskBar)
            AddSkipStatesToUnmappedWindow(connection, id);
        xcb_map_window(connection, id);
        xcb_flush(connection);
        mappedAtOnce_ = true;
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = static_cast<QWidget*>(watched);
        // A Show that the program asks for comes before the window is mapped; a spontaneous
        // one (the window manager restoring an iconified window) needs nothing.
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            shownBefore_ = true;
            if (!std::exchange(mappedAtOnce_, false))
                BeforeShow(*window);
        } else if (event->type() == QEvent::WindowStateChange && hideWhenMinimised && window->isMinimized() &&
                   window->isVisible()) {
            // Leaving the minimised state now would map the window again at once: that waits
            // for the next show, or for the next round of the loop when the hide is refused.
            if (!hide) {
                window->hide();
            } else if (!hide()) {
                QTimer::singleShot(0, window, [window] { ShowInFront(*window); });
            }
        }
        return false;
    }

private:
    explicit WindowHider(QWidget& window) : QObject(&window) {}

    void BeforeShow(QWidget& window) const
    {
        xcb_connection_t* connection = ApplicationX11Connection();
        if (keepOffTaskBar && connection != nullptr) {
            AddSkipStatesToUnmappedWindow(connection, static_cast<xcb_window_t>(window.winId()));
        }
        // Shown minimised, the window would come back iconified; leaving the state maps it,
        // after the task-bar state is in place.
        if (window.isMinimized()) {
            window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        }
    }

    bool shownBefore_ = false;
    bool mappedAtOnce_ = false;
};

} // namespace

void KeepOffTaskBar(QWidget& window)
{
    WindowHider::Of(window).keepOffTaskBar = true;
    if (xcb_connection_t* connection = ApplicationX11Connection();
        connection != nullptr && window.isVisible()) {
        AskForSkipStates(connection, static_cast<xcb_window_t>(window.winId()));
    }
}

void HideWhenMinimised(QWidget& window, std::function<bool()> hide)
{
    WindowHider& hider = WindowHider::Of(window);
    hider.hideWhenMinimised = true;
    hider.hide = std::move(hide);
}

void WithdrawFromScreen(QWidget& window)
{
    xcb_connection_t* connection = ApplicationX11Connection();
    if (connection == nullptr) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_unmap_window(connection, id);
    // The synthetic notice tells the window manager the window is withdrawn, not iconified.
    xcb_unmap_notify_event_t notice{};
    notice.response_type = XCB_UNMAP_NOTIFY;
    notice.event = RootWindow(connection);
    notice.window = id;
    SendToWindowManager(connection, &notice);
}

void ReturnToScreen(QWidget& window)
{
    if (xcb_connection_t* connection = ApplicationX11Connection(); connection != nullptr) {
        xcb_map_window(connection, static_cast<xcb_window_t>(window.winId()));
        xcb_flush(connection);
    }
}

void ShowInFront(QWidget& window)
{
    // A window hidden after a minimise leaves that state first, which is the show's own work.
    if (!window.isVisible() && !window.isMinimized()) {
        WindowHider::Of(window).MapAtOnce(window);
    }
    if (window.isVisible() && window.isMinimized()) {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    }
    window.show();
    window.raise();
    window.activateWindow();
}

void ActivateAfterUserAction(QWidget& window)
{
    xcb_connection_t* connection = ApplicationX11Connection();
    if (connection == nullptr) {
        window.activateWindow();
        return;
    }
    // Marked as the user's own doing, with no time of its own: the user has just acted (closed
    // a box, say), and the window manager's focus-stealing rules are for windows that ask unbidden.
    constexpr uint32_t sourceUser = 2, now = XCB_CURRENT_TIME;
    AskWindowManager(connection, static_cast<xcb_window_t>(window.winId()),
                     InternAtom(connection, "_NET_ACTIVE_WINDOW"), {sourceUser, now});
}

} // namespace quietpane
