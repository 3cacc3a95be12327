// The filter window's OK action without the window: the state of one filter's
// controls, and the rule that reads both filters' controls into their slots.
#pragma once

#include <string>

#include "filter/frame_filter.h"

// What one filter's controls hold when OK is pressed.
struct FilterControls {
    bool EnableFilter = false;
    bool MACSource = false;
    std::string MACSourceText;
    bool MACDest = false;
    std::string MACDestText;
    bool IPSource = false;
    std::string IPSourceText;
    bool IPDest = false;
    std::string IPDestText;
    bool IPXSource = false;
    std::string IPXSourceText;
    bool IPXDest = false;
    std::string IPXDestText;
    bool IP = false;
    bool TCP = false;
    bool UDP = false;
    bool ICMP = false;
    bool IPX = false;
    bool NETBEUI = false;
};

// Write the controls of Filter 1, then of Filter 2, field by field into the
// two slots. A MAC field that is ticked in an enabled filter must hold exactly
// twelve hexadecimal digits; at the first that does not, reading stops and
// false is returned: what was written before stays written (including that
// field's own flag), its address and everything after it are unchanged.
// In a disabled Filter 2 a ticked MAC field is read as a node address (taken
// only as a 17-character text); in a disabled Filter 1 it is not read.
// The IP addresses of a filter are cleared and re-read; MAC and IPX
// addresses whose box is unticked keep their bytes.
bool ReadFilterControls(const FilterControls& controls1, const FilterControls& controls2, FrameFilter& filter1,
                        FrameFilter& filter2);
