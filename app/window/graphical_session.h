// Whether the windows can be shown at all. Without a display server Qt aborts
// while the application object is built; the program says why instead.
#pragma once

#include <string_view>

inline constexpr std::string_view kNoGraphicalSession
    = "analyzer: no graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set): the "
      "analyzer needs one; quarn-report writes the report of a capture file without one";

// True when DISPLAY or WAYLAND_DISPLAY is set, or the user chose a Qt platform
// of their own with QT_QPA_PLATFORM (offscreen, vnc, linuxfb, ...).
bool HaveGraphicalSession();
