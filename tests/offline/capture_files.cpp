#include "capture_files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

void Put16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(Bytes& out, uint32_t value) {
    Put16(out, static_cast<uint16_t>(value));
    Put16(out, static_cast<uint16_t>(value >> 16));
}

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

void Pad4(Bytes& out) {
    while (out.size() % 4 != 0) out.push_back(0);
}

// A pcapng block: type, total length, body (padded), total length again.
Bytes Block(uint32_t type, Bytes body) {
    Pad4(body);
    Bytes block;
    const uint32_t total = static_cast<uint32_t>(body.size() + 12);
    Put32(block, type);
    Put32(block, total);
    Append(block, body);
    Put32(block, total);
    return block;
}

uint32_t WireLength(const CapturedFrame& frame) {
    return frame.wireLength != 0 ? frame.wireLength : static_cast<uint32_t>(frame.bytes.size());
}

// Big-endian fields as they sit in a frame.
void Be16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

Bytes MacHeader(uint8_t last) {
    return {0x02, 0x00, 0x00, 0x11, 0x22, last, 0x02, 0x00, 0x00, 0x44, 0x55, 0x66};
}

Bytes Ipv4(uint8_t protocol, uint16_t payloadLength, uint16_t fragment = 0) {
    Bytes ip{0x45, 0x00};
    Be16(ip, static_cast<uint16_t>(20 + payloadLength));
    Be16(ip, 0x1A2B);
    Be16(ip, fragment);
    ip.push_back(0x80);
    ip.push_back(protocol);
    Be16(ip, 0x0000);
    Append(ip, {192, 168, 1, 10, 192, 168, 1, 20});
    return ip;
}

Bytes EthernetII(uint16_t type, const Bytes& payload, uint8_t mac = 0x33) {
    Bytes frame = MacHeader(mac);
    Be16(frame, type);
    Append(frame, payload);
    while (frame.size() < 60) frame.push_back(0);
    return frame;
}

// An 802.3 frame: length field, then the LLC bytes and the rest.
Bytes Ieee8023(const Bytes& llcAndData) {
    Bytes frame = MacHeader(0x77);
    Be16(frame, static_cast<uint16_t>(llcAndData.size()));
    Append(frame, llcAndData);
    while (frame.size() < 60) frame.push_back(0);
    return frame;
}

Bytes Filler(size_t size, uint8_t first) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(first + i);
    return data;
}

Bytes IpxHeader(uint16_t length) {
    Bytes ipx{0xFF, 0xFF};
    Be16(ipx, length);
    Append(ipx, {0x00, 0x04});                               // transport control, type
    Append(ipx, {0x00, 0x00, 0x00, 0x01});                   // destination network
    Append(ipx, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});       // destination node
    Be16(ipx, 0x0452);
    Append(ipx, {0x00, 0x00, 0x00, 0x02});                   // source network
    Append(ipx, {0x02, 0x00, 0x00, 0x44, 0x55, 0x66});
    Be16(ipx, 0x4003);
    return ipx;
}

} // namespace

Bytes PcapFile(const std::vector<CapturedFrame>& frames, bool nanoseconds, uint32_t linkType) {
    Bytes file;
    Put32(file, nanoseconds ? 0xA1B23C4D : 0xA1B2C3D4);
    Put16(file, 2);
    Put16(file, 4);
    Put32(file, 0); // time zone
    Put32(file, 0); // accuracy
    Put32(file, 65535);
    Put32(file, linkType);
    for (const CapturedFrame& frame : frames) {
        Put32(file, static_cast<uint32_t>(frame.when.tv_sec));
        Put32(file, static_cast<uint32_t>(nanoseconds ? frame.when.tv_nsec
                                                      : frame.when.tv_nsec / 1000));
        Put32(file, static_cast<uint32_t>(frame.bytes.size()));
        Put32(file, WireLength(frame));
        Append(file, frame.bytes);
    }
    return file;
}

Bytes PcapngFile(const std::vector<CapturedFrame>& frames, bool nanoseconds, uint32_t linkType) {
    Bytes section;
    Put32(section, 0x1A2B3C4D);
    Put16(section, 1);
    Put16(section, 0);
    Put32(section, 0xFFFFFFFF); // section length unknown
    Put32(section, 0xFFFFFFFF);
    Bytes file = Block(0x0A0D0D0A, section);

    Bytes interface;
    Put16(interface, static_cast<uint16_t>(linkType));
    Put16(interface, 0);
    Put32(interface, 0); // no snapshot limit
    if (nanoseconds) {
        Put16(interface, 9); // if_tsresol: 10^-9 s
        Put16(interface, 1);
        Append(interface, {9, 0, 0, 0});
        Put32(interface, 0); // end of options
    }
    Append(file, Block(1, interface));

    for (const CapturedFrame& frame : frames) {
        const uint64_t units = static_cast<uint64_t>(frame.when.tv_sec) *
                                   (nanoseconds ? 1'000'000'000 : 1'000'000) +
                               static_cast<uint64_t>(nanoseconds ? frame.when.tv_nsec
                                                                 : frame.when.tv_nsec / 1000);
        Bytes packet;
        Put32(packet, 0); // interface 0
        Put32(packet, static_cast<uint32_t>(units >> 32));
        Put32(packet, static_cast<uint32_t>(units));
        Put32(packet, static_cast<uint32_t>(frame.bytes.size()));
        Put32(packet, WireLength(frame));
        Append(packet, frame.bytes);
        Append(file, Block(6, packet));
    }
    return file;
}

std::vector<CapturedFrame> MixedFrames() {
    Bytes tcp;
    Be16(tcp, 1035);
    Be16(tcp, 80);
    Append(tcp, {0x00, 0x00, 0x10, 0x00, 0, 0, 0, 0, 0x60, 0x02, 0x20, 0x00, 0, 0, 0, 0,
                 0x02, 0x04, 0x05, 0xB4});
    Bytes ipTcp = Ipv4(6, static_cast<uint16_t>(tcp.size()));
    Append(ipTcp, tcp);

    Bytes udp;
    Be16(udp, 53);
    Be16(udp, 1034);
    Be16(udp, 8 + 40);
    Be16(udp, 0);
    Append(udp, Filler(40, 'a'));
    Bytes ipUdp = Ipv4(17, static_cast<uint16_t>(udp.size()));
    Append(ipUdp, udp);

    Bytes icmp{8, 0, 0x4D, 0x5A, 0x00, 0x01, 0x00, 0x07};
    Append(icmp, Filler(32, 'A'));
    Bytes ipIcmp = Ipv4(1, static_cast<uint16_t>(icmp.size()));
    Append(ipIcmp, icmp);

    Bytes ipFragment = Ipv4(17, 24, 0x00B9); // offset 185 x 8: no UDP header here
    Append(ipFragment, Filler(24, 0x30));

    Bytes arp{0x00, 0x01, 0x08, 0x00, 6, 4, 0x00, 0x01, 0x02, 0x00, 0x00, 0x44, 0x55, 0x66,
              192, 168, 1, 10, 0, 0, 0, 0, 0, 0, 192, 168, 1, 20};

    Bytes ipx = IpxHeader(30 + 16);
    Append(ipx, Filler(16, 0x80));

    Bytes snap{0xAA, 0xAA, 0x03, 0x00, 0x00, 0x0C, 0x20, 0x00};
    Append(snap, Filler(30, 0x10));

    Bytes spanningTree{0x42, 0x42, 0x03, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00};
    Append(spanningTree, Filler(26, 0x01));

    Bytes bigUdp;
    Be16(bigUdp, 2049);
    Be16(bigUdp, 2049);
    Be16(bigUdp, static_cast<uint16_t>(8 + 1558));
    Be16(bigUdp, 0);
    Append(bigUdp, Filler(1558, 0x20));
    Bytes ipBig = Ipv4(17, static_cast<uint16_t>(bigUdp.size()));
    Append(ipBig, bigUdp); // 14 + 20 + 1566 = 1600 bytes

    Bytes runt = MacHeader(0x99);
    runt.resize(10);

    // Time stamps cross seconds and sit just below hundredths boundaries, where
    // a wrong scale or rounding of the fraction shows in the header line.
    std::vector<CapturedFrame> frames{
        {EthernetII(0x0800, ipTcp), 0, {920'000'467, 250'000'000}},
        {EthernetII(0x0800, ipUdp), 0, {920'000'467, 259'999'999}},
        {EthernetII(0x0800, ipIcmp), 0, {920'000'468, 999'999'000}},
        {EthernetII(0x0800, ipFragment), 0, {920'003'599, 5'000'000}},
        {EthernetII(0x0806, arp), 0, {920'003'600, 0}},
        {EthernetII(0x8137, ipx), 0, {920'003'600, 10'000'000}},
        {Ieee8023(ipx), 0, {920'003'601, 990'000'000}},
        {Ieee8023(snap), 0, {920'003'602, 123'456'789}},
        {Ieee8023(spanningTree), 0, {920'003'603, 500'000'000}},
        {runt, 0, {920'003'604, 0}},
        {EthernetII(0x0800, ipBig), 0, {920'003'605, 70'000'000}},
        {EthernetII(0x0800, ipTcp, 0x34), 1600, {920'003'606, 0}}, // stored shorter than on the wire
    };
    return frames;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
