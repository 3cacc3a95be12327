#include "frimble/link_name.h"

#include <cstdio>
#include <cstring>

namespace frimble {

const char* InterfacePart(const char* adapterName)
{
    if (adapterName == nullptr || strnlen(adapterName, FRIMBLE_NAME_PREFIX_LENGTH) < FRIMBLE_NAME_PREFIX_LENGTH)
        return nullptr;
    return adapterName + FRIMBLE_NAME_PREFIX_LENGTH;
}

bool FormatLinkName(const char* adapterName, char (&field)[FRIMBLE_LINK_NAME_SIZE])
{
    field[0] = '\0';
    const char* rest = InterfacePart(adapterName);
    if (rest == nullptr)
        return false;
    const int n = std::snprintf(field, sizeof field, "\\\\.\\%s%s", "Packet_", rest);
    if (n < 0 || static_cast<size_t>(n) >= sizeof field) {
        field[0] = '\0';
        return false;
    }
    return true;
}

} // namespace frimble
