#include "mixed_frames.h"

#include <cstddef>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Ethernet(uint16_t type) {
    return {0x02, 0x00, 0x00, 0x11, 0x22, 0x33, 0x02, 0x00, 0x00, 0x44, 0x55, 0x66,
            static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type)};
}

Bytes Ip(uint8_t protocol, uint16_t payload) {
    const uint16_t total = static_cast<uint16_t>(20 + payload);
    Bytes frame = Ethernet(0x0800);
    const Bytes ip = {0x45, 0x00, static_cast<uint8_t>(total >> 8), static_cast<uint8_t>(total), 0x1A, 0x2B,
                      0x40, 0x00, 0x40, protocol, 0xB1, 0xE6, 0xC0, 0xA8, 0x01, 0x0A, 0xC0, 0xA8, 0x01, 0x14};
    frame.insert(frame.end(), ip.begin(), ip.end());
    return frame;
}

Bytes Append(Bytes frame, const Bytes& more, size_t padTo = 60) {
    frame.insert(frame.end(), more.begin(), more.end());
    if (frame.size() < padTo) frame.resize(padTo, 0);
    return frame;
}

Bytes Text(size_t count) {
    Bytes text;
    for (size_t i = 0; i < count; ++i) text.push_back(static_cast<uint8_t>(i % 95 + 32));
    return text;
}

} // namespace

std::vector<std::vector<uint8_t>> MixedFrames() {
    const Bytes tcpHeader = {0x04, 0x0B, 0x00, 0x50, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x50, 0x18, 0x20, 0x00, 0x12, 0x34, 0x00, 0x00};
    Bytes syn = tcpHeader;
    syn[12] = 0x60;
    syn[13] = 0x02;
    syn.insert(syn.end(), {0x02, 0x04, 0x05, 0xB4});
    Bytes ack = tcpHeader;
    ack[13] = 0x10;
    Bytes data = tcpHeader;
    const Bytes payload = Text(1460);
    data.insert(data.end(), payload.begin(), payload.end());
    Bytes udp = {0xC0, 0x00, 0x00, 0x35, 0x00, 0x30, 0x12, 0x34};
    const Bytes query = Text(40);
    udp.insert(udp.end(), query.begin(), query.end());
    Bytes icmp = {0x08, 0x00, 0xF7, 0xFF, 0x00, 0x01, 0x00, 0x02};
    const Bytes ping = Text(56);
    icmp.insert(icmp.end(), ping.begin(), ping.end());

    Bytes ipx = Ethernet(40);
    ipx = Append(ipx, {0xFF, 0xFF, 0x00, 0x28, 0x00, 0x04, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                       0x04, 0x52, 0, 0, 0, 1, 0x02, 0x00, 0x00, 0x44, 0x55, 0x66, 0x40, 0x00,
                       'Q', 'U', 'E', 'R', 'Y', '-', '0', '0', '0', '1'});
    Bytes stp = Ethernet(38);
    stp = Append(stp, {0x42, 0x42, 0x03, 0, 0, 0, 0, 0x80, 0, 0x02, 0, 0, 0x44, 0x55, 0x66, 0, 0, 0, 0, 0x80, 0,
                       0x02, 0, 0, 0x44, 0x55, 0x66, 0x80, 0x01, 0, 0, 0x14, 0, 0x02, 0, 0x0F, 0});
    Bytes arp = Ethernet(0x0806);
    arp = Append(arp, {0x00, 0x01, 0x08, 0x00, 0x06, 0x04, 0x00, 0x01, 0x02, 0x00, 0x00, 0x44, 0x55, 0x66,
                       0xC0, 0xA8, 0x01, 0x0A, 0, 0, 0, 0, 0, 0, 0xC0, 0xA8, 0x01, 0x14});

    return {
        Append(Ip(6, static_cast<uint16_t>(syn.size())), syn),
        Append(Ip(6, static_cast<uint16_t>(data.size())), data),
        Append(Ip(6, static_cast<uint16_t>(ack.size())), ack),
        Append(Ip(17, static_cast<uint16_t>(udp.size())), udp),
        arp,
        Append(Ip(1, static_cast<uint16_t>(icmp.size())), icmp),
        ipx,
        stp,
    };
}
