// Writes a pcap file of N Ethernet frames in a fixed, mixed pattern for the
// report benchmark: TCP segments of many sizes (most of the bytes), UDP, ICMP
// echo, ARP, IPX, SNAP and IEEE 802.2 frames. The same N always gives the same file.
//
//   make_bench_capture N FILE
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Be16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void Append(Bytes& out, std::initializer_list<uint8_t> more) { out.insert(out.end(), more); }

void Fill(Bytes& out, size_t size, uint32_t seed) {
    for (size_t i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>((seed + i * 7) % 251));
}

Bytes Mac(uint16_t typeOrLength) {
    Bytes frame{0x00, 0x1B, 0x21, 0x3A, 0x4C, 0x5E, 0x02, 0x00, 0x00, 0x44, 0x55, 0x66};
    Be16(frame, typeOrLength);
    return frame;
}

Bytes Ip(uint8_t protocol, uint16_t payload, uint16_t id) {
    Bytes ip{0x45, 0x00};
    Be16(ip, static_cast<uint16_t>(20 + payload));
    Be16(ip, id);
    Be16(ip, 0x4000);
    Append(ip, {64, protocol, 0xB1, 0xE6, 10, 0, 0, 2, 93, 184, 216, 34});
    return ip;
}

void Pad(Bytes& frame) {
    if (frame.size() < 60) frame.resize(60, 0);
}

Bytes Tcp(uint16_t payload, uint32_t n) {
    Bytes frame = Mac(0x0800);
    const Bytes ip = Ip(6, static_cast<uint16_t>(20 + payload), static_cast<uint16_t>(n));
    frame.insert(frame.end(), ip.begin(), ip.end());
    Be16(frame, 443);
    Be16(frame, static_cast<uint16_t>(49152 + n % 16000));
    Append(frame, {0x1C, 0x2D, 0x3E, static_cast<uint8_t>(n), 0x00, 0x00, 0x75, 0x31, 0x50,
                   static_cast<uint8_t>(payload ? 0x18 : 0x10), 0x01, 0xF6, 0x8A, 0x3B, 0, 0});
    Fill(frame, payload, n);
    Pad(frame);
    return frame;
}

Bytes Udp(uint16_t payload, uint32_t n) {
    Bytes frame = Mac(0x0800);
    const Bytes ip = Ip(17, static_cast<uint16_t>(8 + payload), static_cast<uint16_t>(n));
    frame.insert(frame.end(), ip.begin(), ip.end());
    Be16(frame, 53);
    Be16(frame, static_cast<uint16_t>(30000 + n % 30000));
    Be16(frame, static_cast<uint16_t>(8 + payload));
    Be16(frame, 0x1F2E);
    Fill(frame, payload, n);
    Pad(frame);
    return frame;
}

Bytes IcmpEcho(uint32_t n) {
    Bytes frame = Mac(0x0800);
    const Bytes ip = Ip(1, 64, static_cast<uint16_t>(n));
    frame.insert(frame.end(), ip.begin(), ip.end());
    Append(frame, {8, 0, 0x3C, 0x4D, 0x00, 0x01});
    Be16(frame, static_cast<uint16_t>(n));
    Fill(frame, 56, n);
    return frame;
}

Bytes Arp(uint32_t n) {
    Bytes frame = Mac(0x0806);
    Append(frame, {0x00, 0x01, 0x08, 0x00, 6, 4, 0x00, 0x01, 0x02, 0x00, 0x00, 0x44, 0x55, 0x66,
                   10, 0, 0, 2, 0, 0, 0, 0, 0, 0, 10, 0, 0, static_cast<uint8_t>(n)});
    Pad(frame);
    return frame;
}

Bytes IpxHeader(uint16_t length) {
    Bytes ipx{0xFF, 0xFF, 0, 0, 0x00, 0x11, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
              0xFF, 0x04, 0x52, 0, 0, 0, 2, 0x02, 0x00, 0x00, 0x44, 0x55, 0x66, 0x40, 0x03};
    ipx[2] = static_cast<uint8_t>(length >> 8);
    ipx[3] = static_cast<uint8_t>(length);
    return ipx;
}

Bytes IpxEthernetII(uint32_t n) {
    Bytes frame = Mac(0x8137);
    const Bytes ipx = IpxHeader(30 + 32);
    frame.insert(frame.end(), ipx.begin(), ipx.end());
    Fill(frame, 32, n);
    return frame;
}

Bytes IpxRaw(uint32_t n) {
    Bytes frame = Mac(30 + 20);
    const Bytes ipx = IpxHeader(30 + 20);
    frame.insert(frame.end(), ipx.begin(), ipx.end());
    Fill(frame, 20, n);
    return frame;
}

Bytes Snap(uint32_t n) {
    Bytes frame = Mac(46);
    Append(frame, {0xAA, 0xAA, 0x03, 0x00, 0x00, 0x0C, 0x20, 0x00});
    Fill(frame, 38, n);
    return frame;
}

Bytes SpanningTree(uint32_t n) {
    Bytes frame = Mac(38);
    Append(frame, {0x42, 0x42, 0x03, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00});
    Fill(frame, 29, n);
    Pad(frame);
    return frame;
}

// Twenty kinds of frame, picked in a fixed pseudo-random order.
Bytes Frame(uint32_t kind, uint32_t n) {
    static constexpr uint16_t kTcpPayloads[] = {0, 0, 0, 31, 120, 236, 517, 1000, 1460, 1460, 1460};
    if (kind < 11) return Tcp(kTcpPayloads[kind], n);
    switch (kind) {
    case 11: return Udp(40, n);
    case 12: return Udp(120, n);
    case 13: return Udp(300, n);
    case 14: return IcmpEcho(n);
    case 15: return Arp(n);
    case 16: return IpxEthernetII(n);
    case 17: return IpxRaw(n);
    case 18: return Snap(n);
    default: return SpanningTree(n);
    }
}

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

    uint32_t random = 2463534242u;
    uint32_t second = 1'700'000'000;
    uint32_t micros = 0;
    Bytes record;
    for (unsigned long n = 0; n < frames; ++n) {
        random ^= random << 13; // xorshift32: the same sequence every run
        random ^= random >> 17;
        random ^= random << 5;
        const Bytes frame = Frame(random % 20, static_cast<uint32_t>(n));
        micros += 37 + random % 700;
        second += micros / 1'000'000;
        micros %= 1'000'000;
        record.clear();
        Put32(record, second);
        Put32(record, micros);
        Put32(record, static_cast<uint32_t>(frame.size()));
        Put32(record, static_cast<uint32_t>(frame.size()));
        std::fwrite(record.data(), 1, record.size(), out);
        std::fwrite(frame.data(), 1, frame.size(), out);
    }
    if (std::fclose(out) != 0) {
        std::fprintf(stderr, "make_bench_capture: %s: write failed\n", argv[2]);
        return 1;
    }
    return 0;
}
