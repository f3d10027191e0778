#include "gui/app/display_probe.h"

#include <cstdlib>

#if BRINDLECOT_X11_PROBE
#include <xcb/xcb.h>
#endif

namespace brindlecot {
namespace {

bool EnvironmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

bool X11DisplayReachable() {
#if BRINDLECOT_X11_PROBE
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
#else
    return true;
#endif
}

}  // namespace

bool DisplayAvailable() {
    // A platform named explicitly (offscreen, vnc, wayland...) is the caller's choice.
    if (EnvironmentSet("QT_QPA_PLATFORM"))
        return true;
    if (EnvironmentSet("DISPLAY"))
        return X11DisplayReachable() || EnvironmentSet("WAYLAND_DISPLAY");
    return EnvironmentSet("WAYLAND_DISPLAY");
}

}  // namespace brindlecot
