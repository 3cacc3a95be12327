#include "tests/support/mixed_frames.h"

#include <string_view>

namespace {

Bytes Text(std::string_view text) { return {text.begin(), text.end()}; }

// The eight frames' IP: TTL 64 and a fixed checksum, padded to 60 bytes.
Bytes BenchIp(uint8_t protocol, const Bytes& payload)
{
    return PadTo(IpFrame({.protocol = protocol, .ttl = 0x40, .checksum = 0xB1E6}, payload), 60);
}

// The benchmark capture's frames go from 10.0.0.2 to 93.184.216.34 through a router.
constexpr std::string_view kRouter = "00 1B 21 3A 4C 5E";

Bytes CaptureIp(uint8_t protocol, uint32_t n, const Bytes& payload)
{
    const IpHeader ip{.protocol = protocol,
                      .ttl = 64,
                      .id = static_cast<uint16_t>(n),
                      .checksum = 0xB1E6,
                      .source = 0x0A000002,
                      .destination = 0x5DB8D822};
    return PadTo(Join({EthernetHeader(0x0800, kRouter), IpPacket(ip, payload)}), 60);
}

Bytes Tcp(uint16_t payload, uint32_t n)
{
    return CaptureIp(
        6, n,
        Join({Be16(443), Be16(static_cast<uint16_t>(49152 + n % 16000)),
              Bytes{0x1C, 0x2D, 0x3E, static_cast<uint8_t>(n)}, Hex("00 00 75 31 50"),
              Bytes{static_cast<uint8_t>(payload ? 0x18 : 0x10)}, Hex("01 F6 8A 3B 00 00"), SeededFiller(payload, n)}));
}

Bytes Udp(uint16_t payload, uint32_t n)
{
    return CaptureIp(17, n,
                     Join({Be16(53), Be16(static_cast<uint16_t>(30000 + n % 30000)),
                           Be16(static_cast<uint16_t>(8 + payload)), Be16(0x1F2E), SeededFiller(payload, n)}));
}

Bytes IcmpEcho(uint32_t n)
{
    return CaptureIp(1, n, Join({Hex("08 00 3C 4D 00 01"), Be16(static_cast<uint16_t>(n)), SeededFiller(56, n)}));
}

Bytes Arp(uint32_t n)
{
    return PadTo(Join({EthernetHeader(0x0806, kRouter),
                       Hex("00 01 08 00 06 04 00 01 02 00 00 44 55 66 0A 00 00 02 00 00 00 00 00 00 0A 00 00"),
                       Bytes{static_cast<uint8_t>(n)}}),
                 60);
}

Bytes IpxHeader(uint16_t length)
{
    return Join({Hex("FF FF"), Be16(length), Hex("00 11 00 00 00 01 FF FF FF FF FF FF 04 52 00 00 00 02"),
                 Hex("02 00 00 44 55 66 40 03")});
}

// Twenty kinds of frame; most of the bytes are TCP segments.
Bytes CaptureFrame(uint32_t kind, uint32_t n)
{
    static constexpr uint16_t kTcpPayloads[] = {0, 0, 0, 31, 120, 236, 517, 1000, 1460, 1460, 1460};
    if (kind < 11)
        return Tcp(kTcpPayloads[kind], n);
    switch (kind) {
    case 11:
        return Udp(40, n);
    case 12:
        return Udp(120, n);
    case 13:
        return Udp(300, n);
    case 14:
        return IcmpEcho(n);
    case 15:
        return Arp(n);
    case 16:
        return Join({EthernetHeader(0x8137, kRouter), IpxHeader(30 + 32), SeededFiller(32, n)});
    case 17:
        return Ieee8023Frame(Join({IpxHeader(30 + 20), SeededFiller(20, n)}), kRouter); // Netware raw
    case 18:
        return Ieee8023Frame(Join({Hex("AA AA 03 00 00 0C 20 00"), SeededFiller(38, n)}), kRouter); // SNAP
    default:
        return Ieee8023Frame(Join({Hex("42 42 03 00 00 00 00 80 00"), SeededFiller(29, n)}), kRouter);
    }
}

} // namespace

std::vector<Bytes> EightKindsOfFrame()
{
    const Bytes ports = Hex("04 0B 00 50 00 00 10 00 00 00 00 00"); // ports, sequence, acknowledgement
    const Bytes rest = Hex("20 00 12 34 00 00");                    // window, checksum, urgent pointer
    const Bytes ipx = Join({Hex("FF FF 00 28 00 04 00 00 00 00 FF FF FF FF FF FF 04 52 00 00 00 01"),
                            Hex("02 00 00 44 55 66 40 00"), Text("QUERY-0001")});
    // The length field says 38: one byte more than the BPDU's 37.
    const Bytes stp = Hex("42 42 03 00 00 00 00 80 00 02 00 00 44 55 66 00 00 00 00 80 00"
                          "02 00 00 44 55 66 80 01 00 00 14 00 02 00 0F 00 00");
    const Bytes arp = Hex("00 01 08 00 06 04 00 01 02 00 00 44 55 66 C0 A8 01 0A 00 00 00 00 00 00 C0 A8 01 14");
    return {
        BenchIp(6, Join({ports, Hex("60 02"), rest, Hex("02 04 05 B4")})), // SYN with a 4-byte option
        BenchIp(6, Join({ports, Hex("50 18"), rest, PrintableText(1460)})),
        BenchIp(6, Join({ports, Hex("50 10"), rest})), // ACK
        BenchIp(17, Join({Hex("C0 00 00 35 00 30 12 34"), PrintableText(40)})),
        PadTo(Join({EthernetHeader(0x0806), arp}), 60),
        BenchIp(1, Join({Hex("08 00 F7 FF 00 01 00 02"), PrintableText(56)})),
        Ieee8023Frame(ipx),
        Ieee8023Frame(stp),
    };
}

CapturedFrame MixedCapture::Next()
{
    random_ ^= random_ << 13; // xorshift32: the same sequence every run
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    CapturedFrame frame{.bytes = CaptureFrame(random_ % 20, number_++)};
    micros_ += 37 + random_ % 700;
    second_ += micros_ / 1'000'000;
    micros_ %= 1'000'000;
    frame.when = {static_cast<time_t>(second_), static_cast<long>(micros_) * 1000};
    return frame;
}
