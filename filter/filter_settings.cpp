#include "filter/filter_settings.h"

#include "filter/filter_text.h"

namespace {

// How a filter's MAC fields are read while the filter is disabled.
enum class DisabledMAC { NotRead, NodeAddress };

// One MAC field: its flag first, then its address. False when the field is
// examined and does not hold exactly twelve hexadecimal digits.
bool ReadMACField(bool enabled, DisabledMAC disabledRule, bool ticked, const std::string& text, bool& on,
                  uint8_t (&address)[6])
{
    on = ticked;
    if (!ticked)
        return true;
    if (enabled)
        return ReadValidatedMAC(text, address);
    if (disabledRule == DisabledMAC::NodeAddress)
        ReadNodeAddress(text, address); // a text of another form is ignored
    return true;
}

void ReadIPField(bool ticked, const std::string& text, bool& on, uint8_t (&address)[4])
{
    on = ticked;
    for (uint8_t& byte : address)
        byte = 0;
    if (ticked)
        ReadDottedIP(text, address);
}

void ReadIPXField(bool ticked, const std::string& text, bool& on, uint8_t (&address)[6])
{
    on = ticked;
    if (ticked)
        ReadNodeAddress(text, address);
}

bool ReadOneFilter(const FilterControls& c, DisabledMAC disabledRule, FrameFilter& f)
{
    f.Enabled = c.EnableFilter;
    if (!ReadMACField(f.Enabled, disabledRule, c.MACSource, c.MACSourceText, f.MACSourceOn, f.MACSource))
        return false;
    if (!ReadMACField(f.Enabled, disabledRule, c.MACDest, c.MACDestText, f.MACDestOn, f.MACDest))
        return false;
    ReadIPField(c.IPSource, c.IPSourceText, f.IPSourceOn, f.IPSource);
    ReadIPField(c.IPDest, c.IPDestText, f.IPDestOn, f.IPDest);
    ReadIPXField(c.IPXSource, c.IPXSourceText, f.IPXSourceOn, f.IPXSource);
    ReadIPXField(c.IPXDest, c.IPXDestText, f.IPXDestOn, f.IPXDest);
    f.ProtoIP = c.IP;
    f.ProtoTCP = c.TCP;
    f.ProtoUDP = c.UDP;
    f.ProtoICMP = c.ICMP;
    f.ProtoIPX = c.IPX;
    f.ProtoNETBEUI = c.NETBEUI;
    return true;
}

} // namespace

bool ReadFilterControls(const FilterControls& controls1, const FilterControls& controls2, FrameFilter& filter1,
                        FrameFilter& filter2)
{
    return ReadOneFilter(controls1, DisabledMAC::NotRead, filter1)
        && ReadOneFilter(controls2, DisabledMAC::NodeAddress, filter2);
}
