// Writes a pcap file of N Ethernet frames in a fixed, mixed pattern for the
// report benchmark: TCP segments of many sizes (most of the bytes), UDP, ICMP
// echo, ARP, IPX, SNAP and IEEE 802.2 frames (MixedCapture of the test
// support). The same N always gives the same file.
//
//   make_bench_capture N FILE
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/support/mixed_frames.h"

namespace {

void Put32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_bench_capture N FILE\n");
        return 2;
    }
    const unsigned long frames = std::strtoul(argv[1], nullptr, 10);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "make_bench_capture: %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    static char buffer[1 << 20];
    std::setvbuf(out, buffer, _IOFBF, sizeof buffer);

    Bytes header;
    Put32(header, 0xA1B2C3D4);
    Put32(header, 0x00040002); // version 2.4
    Put32(header, 0);
    Put32(header, 0);
    Put32(header, 65535);
    Put32(header, 1); // Ethernet
    std::fwrite(header.data(), 1, header.size(), out);

    MixedCapture capture;
    Bytes record;
    for (unsigned long n = 0; n < frames; ++n) {
        const CapturedFrame frame = capture.Next();
        record.clear();
        Put32(record, static_cast<uint32_t>(frame.when.tv_sec));
        Put32(record, static_cast<uint32_t>(frame.when.tv_nsec / 1000));
        Put32(record, static_cast<uint32_t>(frame.bytes.size()));
        Put32(record, static_cast<uint32_t>(frame.bytes.size()));
        std::fwrite(record.data(), 1, record.size(), out);
        std::fwrite(frame.bytes.data(), 1, frame.bytes.size(), out);
    }
    if (std::fclose(out) != 0) {
        std::fprintf(stderr, "make_bench_capture: %s: write failed\n", argv[2]);
        return 1;
    }
    return 0;
}
