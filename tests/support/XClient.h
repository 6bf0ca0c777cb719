#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <xcb/xcb.h>

#include "support/XServer.h"

namespace quietpane::test {

// X clients of a test besides the program under test: each is a connection of its own.
// Header only: it is for the tests that link xcb.

struct ConnectionCloser {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

inline Connection Connect(const XServer& server)
{
    Connection connection{xcb_connect(server.Display().c_str(), nullptr)};
    if (xcb_connection_has_error(connection.get())) {
        throw std::runtime_error("cannot connect to " + server.Display());
    }
    return connection;
}

inline xcb_window_t RootOf(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// Grabs a key as another program would, checked; true when the server accepted it.
inline bool GrabAsOtherClient(xcb_connection_t* connection, xcb_keycode_t key, uint16_t keyModifiers)
{
    const xcb_void_cookie_t cookie = xcb_grab_key_checked(connection, 1, RootOf(connection), keyModifiers,
                                                          key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_generic_error_t* error = xcb_request_check(connection, cookie);
    std::free(error);
    return error == nullptr;
}

// Reads the connection's pending events; true once a key press was among them, now or before.
inline bool KeyPressArrived(xcb_connection_t* connection, bool& arrived)
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        arrived = arrived || (event->response_type & 0x7f) == XCB_KEY_PRESS;
        std::free(event);
    }
    return arrived;
}

// A window of another program beside the program's: shown at once (the window manager gives it
// the focus, as it does to every new window), it takes typed keys whenever it has the focus.
class OtherProgramWindow {
public:
    explicit OtherProgramWindow(const XServer& server) : connection_(Connect(server))
    {
        xcb_connection_t* connection = connection_.get();
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        window_ = xcb_generate_id(connection);
        const uint32_t values[] = {screen->white_pixel, XCB_EVENT_MASK_KEY_PRESS};
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 300, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        const char title[] = "Another program";
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            sizeof title - 1, title);
        xcb_map_window(connection, window_);
        xcb_flush(connection);
    }

    xcb_window_t Id() const { return window_; }

    // True once a typed key reached this window.
    bool KeyArrived() { return KeyPressArrived(connection_.get(), keyArrived_); }

private:
    Connection connection_;
    xcb_window_t window_ = XCB_NONE;
    bool keyArrived_ = false;
};

// Looks at windows the way the window manager and a task bar do: from outside.
class Observer {
public:
    explicit Observer(const XServer& server) : connection_(Connect(server)) {}

    bool Mapped(xcb_window_t window) const
    {
        auto* reply = xcb_get_window_attributes_reply(
            connection_.get(), xcb_get_window_attributes(connection_.get(), window), nullptr);
        const bool mapped = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(reply);
        return mapped;
    }

    // The window manager puts WM_STATE on the windows it manages and takes it off withdrawn ones.
    bool Managed(xcb_window_t window) const { return !Property(window, "WM_STATE", XCB_ATOM_ANY).empty(); }

    bool ShownAndManaged(xcb_window_t window) const { return Mapped(window) && Managed(window); }
    // Hidden by its program, not iconified by the window manager.
    bool Withdrawn(xcb_window_t window) const { return !Mapped(window) && !Managed(window); }

    // The window with the keyboard focus (none, or the pointer's root, are no window of anyone's).
    xcb_window_t Focus() const
    {
        auto* reply =
            xcb_get_input_focus_reply(connection_.get(), xcb_get_input_focus(connection_.get()), nullptr);
        const xcb_window_t focus = reply != nullptr ? reply->focus : XCB_NONE;
        std::free(reply);
        return focus;
    }

    bool HasState(xcb_window_t window, const char* state) const
    {
        const std::vector<uint32_t> states = Property(window, "_NET_WM_STATE", XCB_ATOM_ATOM);
        return std::find(states.begin(), states.end(), Atom(state)) != states.end();
    }

private:
    xcb_atom_t Atom(const char* name) const
    {
        auto* reply = xcb_intern_atom_reply(
            connection_.get(),
            xcb_intern_atom(connection_.get(), 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    }

    std::vector<uint32_t> Property(xcb_window_t window, const char* name, xcb_atom_t type) const
    {
        auto* reply = xcb_get_property_reply(
            connection_.get(), xcb_get_property(connection_.get(), 0, window, Atom(name), type, 0, 64),
            nullptr);
        std::vector<uint32_t> values;
        if (reply != nullptr && reply->format == 32) {
            const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
            values.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        return values;
    }

    Connection connection_;
};

} // namespace quietpane::test
