#pragma once

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

namespace quietpane {

// Replies and errors of xcb are malloc'ed for the caller.
struct XcbFree {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using XcbReply = std::unique_ptr<T, XcbFree>;

// The X connection through which the application's windows and native events pass; null when
// there is none (no QGuiApplication, or a platform other than xcb: offscreen, Wayland).
xcb_connection_t* ApplicationX11Connection();

} // namespace quietpane
