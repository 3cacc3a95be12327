// A packet socket from the capture helper, for a process that may not open one
// itself (neither root nor given cap_net_raw). The helper is a small program
// at a path fixed when the library is built; only members of the capture
// group may run it. It opens the socket, bound to the interface for no
// protocol yet, and hands it over a Unix socket pair.
#pragma once

namespace frimble {

// The socket's descriptor (close-on-exec), or -1 with `failed` set to why, in
// one line that names the remedy, for instance "not a member of quarn-capture:
// sudo adduser alice quarn-capture, then log in again". The text stays valid
// until the calling thread's next call.
int OpenSocketThroughHelper(const char* interfaceName, const char*& failed);

} // namespace frimble
