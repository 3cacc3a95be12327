// The forms in which the address database stores addresses: forms that the
// filter window's own reading rules take, whichever edit a pick lands in.
#pragma once

#include <string>
#include <string_view>

// A MAC or IPX node address that both ReadValidatedMAC (Filter 1's MAC edits)
// and ReadNodeAddress (Filter 2's MAC edits, the IPX edits) read, i.e. six
// two-digit hexadecimal groups with separators. On success `stored` is
// xx:xx:xx:xx:xx:xx in lower case; otherwise `reason` says what is wrong.
bool StoredNodeAddress(std::string_view what, std::string_view text, std::string& stored, std::string& reason);

// Four dotted decimal parts of 0-255, read by ReadDottedIP to the same four
// bytes. On success `stored` is the plain dotted form (no leading zeros).
bool StoredIPAddress(std::string_view text, std::string& stored, std::string& reason);
