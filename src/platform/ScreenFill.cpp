// Showing a maximised top-level window where no window manager is there to maximise it.
#include "platform/ScreenFill.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

// The window named by a window-valued property, or XCB_WINDOW_NONE.
xcb_window_t WindowProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property)
{
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != sizeof(xcb_window_t))
        return XCB_WINDOW_NONE;
    return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
}

} // namespace

bool WindowManagerMaximises()
{
    // Other platforms place their windows themselves (the offscreen one may offer an X11
    // interface too, without a connection).
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return true;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    static const char name[] = "_NET_SUPPORTING_WM_CHECK";
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, sizeof(name) - 1, name), nullptr));
    if (!screen || !atom || atom->atom == XCB_ATOM_NONE)
        return false;
    // A running window manager names its check window on the root window, and the check window
    // names itself; a property left behind by one that has gone names a window that is gone.
    const xcb_window_t check = WindowProperty(connection, screen->root, atom->atom);
    return check != XCB_WINDOW_NONE && WindowProperty(connection, check, atom->atom) == check;
}

void ShowMaximised(QWidget* window)
{
    if (QScreen* screen = window->screen()) {
        // Under a window manager the normal size fills the screen too: a window whose layout grows
        // once it is shown asks for a larger size, and the window manager takes that as the end of
        // the maximised state.
        if (WindowManagerMaximises())
            window->resize(screen->availableGeometry().size());
        else
            window->setGeometry(screen->availableGeometry());
    }
    window->show();
}
