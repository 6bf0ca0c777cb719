#pragma once

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <xcb/xcb.h>

namespace quietpane::test {

// Moves the symbols of a key to a key that carries none, as switching to another keyboard
// layout would, and returns that key (0 when there is no free key). Header only: it is for
// the tests that link xcb.
inline xcb_keycode_t MoveKeyToAFreeKey(xcb_connection_t* connection, xcb_keycode_t key)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto* mapping = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr);
    if (mapping == nullptr) {
        return 0;
    }
    const int perKey = mapping->keysyms_per_keycode;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping);
    xcb_keycode_t free = 0;
    for (int index = count - 1; index >= 0 && free == 0; --index) {
        if (std::all_of(symbols + index * perKey, symbols + (index + 1) * perKey,
                        [](xcb_keysym_t symbol) { return symbol == 0; })) {
            free = static_cast<xcb_keycode_t>(setup->min_keycode + index);
        }
    }
    const int from = key - setup->min_keycode;
    const std::vector<xcb_keysym_t> moved(symbols + from * perKey, symbols + (from + 1) * perKey);
    const std::vector<xcb_keysym_t> nothing(perKey, 0);
    std::free(mapping);
    if (free != 0) {
        xcb_change_keyboard_mapping(connection, 1, free, static_cast<uint8_t>(perKey), moved.data());
        xcb_change_keyboard_mapping(connection, 1, key, static_cast<uint8_t>(perKey), nothing.data());
        xcb_flush(connection);
    }
    return free;
}

} // namespace quietpane::test
