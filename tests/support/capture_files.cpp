#include "tests/support/capture_files.h"

#include <pcap/pcap.h>

namespace {

// value's low bytes, least significant first
void Put(Bytes& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> 8 * i));
}

// A pcapng block: type, total length, body padded to 4 bytes, total length again.
void PutBlock(Bytes& file, uint32_t type, Bytes body)
{
    body.resize((body.size() + 3) / 4 * 4, 0);
    Put(file, type, 4);
    Put(file, body.size() + 12, 4);
    file.insert(file.end(), body.begin(), body.end());
    Put(file, body.size() + 12, 4);
}

void PutFrame(Bytes& out, const CapturedFrame& frame)
{
    Put(out, frame.bytes.size(), 4);
    Put(out, frame.wireLength ? frame.wireLength : frame.bytes.size(), 4);
    out.insert(out.end(), frame.bytes.begin(), frame.bytes.end());
}

} // namespace

Bytes PcapHeader(bool nanoseconds, uint32_t linkType)
{
    Bytes file;
    Put(file, nanoseconds ? 0xA1B23C4D : 0xA1B2C3D4, 4);
    Put(file, 2, 2);
    Put(file, 4, 2);
    Put(file, 0, 8); // time zone, accuracy
    Put(file, 65535, 4);
    Put(file, linkType, 4);
    return file;
}

void AppendPcapRecord(Bytes& file, const CapturedFrame& frame, bool nanoseconds)
{
    Put(file, static_cast<uint64_t>(frame.when.tv_sec), 4);
    Put(file, static_cast<uint64_t>(nanoseconds ? frame.when.tv_nsec : frame.when.tv_nsec / 1000), 4);
    PutFrame(file, frame);
}

Bytes PcapFile(const std::vector<CapturedFrame>& frames, bool nanoseconds, uint32_t linkType)
{
    Bytes file = PcapHeader(nanoseconds, linkType);
    for (const CapturedFrame& frame : frames)
        AppendPcapRecord(file, frame, nanoseconds);
    return file;
}

Bytes PcapngFile(const std::vector<CapturedFrame>& frames, bool nanoseconds, uint32_t linkType)
{
    Bytes file, section, interface;
    Put(section, 0x1A2B3C4D, 4);
    Put(section, 1, 2);
    Put(section, 0, 2);
    Put(section, ~0ull, 8); // section length unknown
    PutBlock(file, 0x0A0D0D0A, section);
    Put(interface, linkType, 2);
    Put(interface, 0, 6); // reserved, no snapshot limit
    if (nanoseconds) {
        Put(interface, 9, 2); // if_tsresol, 1 byte: 10^-9 s
        Put(interface, 1, 2);
        Put(interface, 9, 4);
        Put(interface, 0, 4); // end of options
    }
    PutBlock(file, 1, interface);
    for (const CapturedFrame& frame : frames) {
        const uint64_t units = static_cast<uint64_t>(frame.when.tv_sec) * (nanoseconds ? 1'000'000'000 : 1'000'000)
            + static_cast<uint64_t>(nanoseconds ? frame.when.tv_nsec : frame.when.tv_nsec / 1000);
        Bytes packet;
        Put(packet, 0, 4); // interface 0
        Put(packet, units >> 32, 4);
        Put(packet, units, 4);
        PutFrame(packet, frame);
        PutBlock(file, 6, packet);
    }
    return file;
}

ReadBackCapture ReadCaptureFile(const std::string& path)
{
    ReadBackCapture out;
    char error[PCAP_ERRBUF_SIZE] = "";
    pcap_t* capture = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_NANO, error);
    if (capture == nullptr) {
        out.error = error[0] != '\0' ? error : "cannot open";
        return out;
    }
    out.linkType = pcap_datalink(capture);
    out.snapLength = pcap_snapshot(capture);
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    while (pcap_next_ex(capture, &header, &bytes) == 1)
        out.frames.push_back({Bytes(bytes, bytes + header->caplen), header->len,
                              timespec{header->ts.tv_sec, header->ts.tv_usec}}); // nanoseconds
    pcap_close(capture);
    return out;
}
