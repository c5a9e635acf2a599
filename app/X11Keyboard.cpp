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

bool requestDetectableAutoRepeat()
{
#if defined(ZV_HAVE_XCB_XKB)
    auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
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
