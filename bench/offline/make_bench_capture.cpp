// Writes a pcap file of N Ethernet frames in a fixed, mixed pattern for the
// report benchmark: TCP segments of many sizes (most of the bytes), UDP, ICMP
// echo, ARP, IPX, SNAP and IEEE 802.2 frames (MixedCapture of the test
// support). The same N always gives the same file.
//
//   make_bench_capture N FILE
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/capture_files.h"
#include "tests/support/mixed_frames.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_bench_capture N FILE\n");
        return 2;
    }
    char* end = nullptr;
    const unsigned long frames = std::strtoul(argv[1], &end, 10);
    if (end == argv[1] || *end != '\0') {
        std::fprintf(stderr, "make_bench_capture: N must be a whole number: %s\n", argv[1]);
        return 2;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "make_bench_capture: %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    // Only a regular file is removed after a failed write, never a device.
    struct stat opened {};
    const bool regular = fstat(fileno(out), &opened) == 0 && S_ISREG(opened.st_mode);
    static char buffer[1 << 20];
    std::setvbuf(out, buffer, _IOFBF, sizeof buffer);

    const Bytes header = PcapHeader();
    std::fwrite(header.data(), 1, header.size(), out);
    MixedCapture capture;
    Bytes record;
    for (unsigned long n = 0; n < frames; ++n) {
        record.clear();
        AppendPcapRecord(record, capture.Next());
        std::fwrite(record.data(), 1, record.size(), out);
    }
    // A write that failed on the way (a full disk) leaves the error flag set
    // even when the last flush succeeds. No cut-short file is left behind:
    // bench/offline/run reuses any file it finds.
    const bool failed = std::ferror(out) != 0;
    if (std::fclose(out) != 0 || failed) {
        std::fprintf(stderr, "make_bench_capture: %s: write failed\n", argv[2]);
        if (regular)
            std::remove(argv[2]);
        return 1;
    }
    return 0;
}
