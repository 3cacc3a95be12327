#include "files/save_capture.h"

#include <pcap/pcap.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/file_destination.h"
#include "session/session_buffer.h"

// libpcap writes through a stream of its own on a copy of the destination's
// descriptor, so the destination still syncs and closes the file itself.
bool WriteSessionCapture(int fd, std::string& problem)
{
    pcap_t* dead = pcap_open_dead_with_tstamp_precision(DLT_EN10MB, static_cast<int>(kFrameBufferSize),
                                                        PCAP_TSTAMP_PRECISION_NANO);
    const int copy = dead != nullptr ? dup(fd) : -1;
    FILE* stream = copy >= 0 ? fdopen(copy, "wb") : nullptr;
    if (stream == nullptr) {
        problem = std::string("cannot write: ") + std::strerror(errno);
        if (copy >= 0)
            close(copy);
        if (dead != nullptr)
            pcap_close(dead);
        return false;
    }
    pcap_dumper_t* dumper = pcap_dump_fopen(dead, stream);
    if (dumper == nullptr) {
        problem = std::string("cannot write: ") + pcap_geterr(dead);
        fclose(stream);
        pcap_close(dead);
        return false;
    }
    // The first failure's errno is the reason; writing stops there.
    errno = 0;
    bool written = ferror(stream) == 0;
    const uint32_t count = SessionBuffer::Count();
    for (uint32_t i = 0; i < count && written; ++i) {
        const SessionBuffer::SlotContents slot = SessionBuffer::SlotAt(i);
        if (slot.frame == nullptr)
            break;
        pcap_pkthdr header{};
        header.ts.tv_sec = slot.moment.tv_sec;
        header.ts.tv_usec = slot.moment.tv_nsec; // nanoseconds in a nanosecond file
        header.caplen = header.len = slot.length;
        pcap_dump(reinterpret_cast<u_char*>(dumper), &header, slot.frame);
        written = ferror(stream) == 0;
    }
    written = written && pcap_dump_flush(dumper) == 0;
    const int reason = errno;
    pcap_dump_close(dumper); // closes the stream and the copy
    pcap_close(dead);
    if (!written)
        problem = reason != 0 ? std::string("write error: ") + std::strerror(reason) : "write error";
    return written;
}

bool SaveSessionCapture(const std::string& path, std::string& problem)
{
    FileDestination destination;
    // A regular file only: the analyzer saves on its window's thread, which a
    // FIFO would hold until someone read it.
    if (!OpenFileDestination(path, destination, problem, DirectOutput::Refused))
        return false;
    if (!WriteSessionCapture(destination.fd, problem)) {
        DiscardFileDestination(destination);
        return false;
    }
    return CommitFileDestination(destination, problem);
}
