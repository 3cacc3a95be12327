// A filter written as text on a command line: one item for each control of
// one filter in the filter window, so that the text can make every setting
// the window can make, and nothing else.
//
//   mac-src=MAC    mac-dst=MAC     "MAC adresses": Source: / Destination:
//   ip-src=IP      ip-dst=IP       "IP adresses"
//   ipx-src=NODE   ipx-dst=NODE    "IPX adresses"
//   ip tcp udp icmp ipx netbeui    the "Protocols" boxes
//
// Items are separated by commas, in any order, each at most once; names are
// read in any letter case. Giving a filter ticks its "Enable Filter" box. As
// in the window, ticking TCP, UDP or ICMP ticks IP too. Example:
// "mac-src=00:1a:2b:3c:4d:5e,tcp,ip-dst=10.0.0.1".
//
// The texts become bytes later, by the window's own rules (ReadFilterControls).
// Here they are only checked, more strictly than the window checks them, so
// that a typing slip is refused instead of silently becoming another address:
// a MAC address as the window's "Invalid MAC address" rule wants it (twelve
// hexadecimal digits, at most 17 characters), an IP address as four numbers
// 0 to 255 joined by dots, an IPX node address as six two-digit hexadecimal
// groups with a separator between them (00:1a:2b:3c:4d:5e).
#pragma once

#include <string>
#include <string_view>

#include "filter/filter_settings.h"

// Read text into controls (replacing them whole). False with problem set to a
// one-line reason that names the item, such as "mac-src: Invalid MAC address".
bool ReadFilterOption(std::string_view text, FilterControls& controls, std::string& problem);
