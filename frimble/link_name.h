// The link name of an adapter: "\\.\Packet_" followed by the adapter name
// from its ninth character on (the eight before it are the "\Device\" prefix).
#pragma once

#include "frimble/frimble.h"

namespace frimble {

// Writes the link name into field. False, leaving the field empty, when the
// name is shorter than the prefix or the link name does not fit the field.
bool FormatLinkName(const char* adapterName, char (&field)[FRIMBLE_LINK_NAME_SIZE]);
// The interface part of an adapter name (past the prefix); null when too short.
const char* InterfacePart(const char* adapterName);

} // namespace frimble
