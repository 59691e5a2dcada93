#include "PLYScreenAlpha.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

namespace {

std::optional<bool> g_override;

// A compositing manager owns the selection "_NET_WM_CM_S<screen>".
bool x11CompositorRunning() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return false;
    // Qt shows its windows on the display's first X screen (its monitors are outputs of it).
    const QByteArray name = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom) return false;
    const xcb_atom_t selection = atom->atom;
    free(atom);
    if (selection == XCB_ATOM_NONE) return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    if (!owner) return false;
    const bool running = owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return running;
}

}  // namespace

bool PLYScreenAlpha::available() {
    if (g_override) return *g_override;
    // Wayland composes every window; the offscreen platform keeps alpha in its images.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return true;
    return x11CompositorRunning();
}

void PLYScreenAlpha::setOverride(std::optional<bool> available) { g_override = available; }
