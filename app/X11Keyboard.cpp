#include "X11Keyboard.h"

#include <QGuiApplication>

#if defined(ZV_HAVE_XCB_XKB)
#include <xcb/xcb.h>
// xkb.h names a structure member "explicit".
#define explicit xcb_explicit
#include <xcb/xkb.h>
#undef explicit
#include <cstdlib>
#endif

namespace {
#if defined(ZV_HAVE_XCB_XKB)
xcb_connection_t *qtConnection()
{
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}
#endif
}

bool requestDetectableAutoRepeat()
{
#if defined(ZV_HAVE_XCB_XKB)
    xcb_connection_t *connection = qtConnection();
    if (!connection)
        return false;
    // The flag belongs to the connection: it has to be Qt's own, the one the keys come by.
    xcb_xkb_use_extension_reply_t *use = xcb_xkb_use_extension_reply(
        connection, xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr);
    const bool haveXkb = use && use->supported;
    std::free(use);
    if (!haveXkb)
        return false;
    const uint32_t flag = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    xcb_xkb_per_client_flags_reply_t *reply = xcb_xkb_per_client_flags_reply(
        connection, xcb_xkb_per_client_flags(connection, XCB_XKB_ID_USE_CORE_KBD, flag, flag, 0, 0, 0),
        nullptr);
    const bool granted = reply && (reply->supported & flag) && (reply->value & flag);
    std::free(reply);
    return granted;
#else
    return false;
#endif
}

std::optional<bool> x11KeyHeld()
{
#if defined(ZV_HAVE_XCB_XKB)
    xcb_connection_t *connection = qtConnection();
    if (!connection)
        return std::nullopt;
    const xcb_query_keymap_cookie_t keymapCookie = xcb_query_keymap(connection);
    const xcb_get_modifier_mapping_cookie_t modifiersCookie = xcb_get_modifier_mapping(connection);
    xcb_query_keymap_reply_t *keymap = xcb_query_keymap_reply(connection, keymapCookie, nullptr);
    xcb_get_modifier_mapping_reply_t *modifiers =
        xcb_get_modifier_mapping_reply(connection, modifiersCookie, nullptr);
    std::optional<bool> held;
    if (keymap) {
        uint8_t down[32];
        for (int i = 0; i < 32; ++i)
            down[i] = keymap->keys[i];
        // Shift, Ctrl, Alt and the like do not hold the scoreboard's keys.
        if (modifiers) {
            const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(modifiers);
            const int count = xcb_get_modifier_mapping_keycodes_length(modifiers);
            for (int i = 0; i < count; ++i)
                down[codes[i] / 8] &= uint8_t(~(1u << (codes[i] % 8)));
        }
        held = false;
        for (uint8_t byte : down)
            held = *held || byte != 0;
    }
    std::free(keymap);
    std::free(modifiers);
    return held;
#else
    return std::nullopt;
#endif
}
