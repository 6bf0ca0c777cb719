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
