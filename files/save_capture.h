// The session buffer saved as a capture file that tcpdump, Wireshark and
// quarn-report read: pcap with nanosecond time stamps, written by libpcap.
#pragma once

#include <string>

// Writes the frames the session buffer holds, in the order the report reads
// them (from the first slot, Count() of them), each with its stored length and
// its capture time at the precision held, to path ("-": standard output). The
// file is written whole or not at all, as a report is (see file_destination.h);
// a name that is no regular file (a FIFO, a device) is refused. Returns false
// with problem set (one line, without the file name) on failure; an existing
// file is then left as it was. Not while a capture runs.
bool SaveSessionCapture(const std::string& path, std::string& problem);
// The same frames written to a descriptor the caller has opened (for
// instance a FileDestination not yet committed), which stays open. A program
// that writes several outputs opens them all before it commits any.
bool WriteSessionCapture(int fd, std::string& problem);
