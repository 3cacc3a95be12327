// Network-layer lines: the IPv4 header, ARP and ICMP.
#include "report/decoders.h"
#include "report/name_tables.h"
#include "report/payload_cursor.h"
#include "report/report_line.h"

namespace {

constexpr size_t kOptionBytesPerLine = 26;
constexpr size_t kAddressColumn = 40; // the destination address starts after it
constexpr uint8_t kIcmpEchoReply = 0;
constexpr uint8_t kIcmpEcho = 8;
constexpr size_t kArpLabelWidth = 33;

void AppendDotted(LineBuilder& line, const FrameView& frame, size_t offset, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (i != 0)
            line.Char('.');
        line.Dec(frame.At(offset + i));
    }
}

void WriteIpOptions(const FrameView& frame, size_t count)
{
    StartLine().Text("IP header contains an option list:").Write();
    LineBuilder* line = &StartLine();
    for (size_t i = 0; i < count; ++i) {
        line->Hex2(frame.At(kTransportOffset + i)).Char(' ');
        if ((i + 1) % kOptionBytesPerLine == 0) {
            line->Write();
            line = &StartLine();
        }
    }
    if (count % kOptionBytesPerLine != 0)
        line->Write();
}

} // namespace

void DecodeIp(const FrameView& frame)
{
    if (!IsIp(frame))
        return;
    const size_t ip = kNetworkOffset;
    const uint8_t ihl = frame.At(ip) & 0x0F;
    const uint16_t totalLength = frame.Be16(ip + 2);
    const uint16_t fragmentOffset = static_cast<uint16_t>((frame.At(ip + 6) & 0x1F) << 8 | frame.At(ip + 7));
    const uint8_t protocol = frame.At(kIpProtocolOffset);

    StartLine().Text("Protocol: IP").Write();
    StartLine()
        .Format("IP 4 bits IP version:               %Xh  IP 4 bits Header length:              %Xh",
                {static_cast<uint32_t>(frame.At(ip) >> 4), ihl})
        .Write();
    StartLine()
        .Format("IP 8 bits Type of service:         %02Xh  IP 16 bits Total length:           %04dd",
                {frame.At(ip + 1), totalLength})
        .Write();
    StartLine()
        .Format("IP 16 bits Identification:       %02X%02Xh  IP 3 bits Flags:                      %Xh",
                {frame.At(ip + 4), frame.At(ip + 5), static_cast<uint32_t>((frame.At(ip + 6) & 0xE0) >> 5)})
        .Write();
    StartLine()
        .Format("IP 13 bits Fragment Offset:      %04Xh  IP 8 bits TTL:                       %02Xh",
                {fragmentOffset, frame.At(ip + 8)})
        .Write();
    firstFragment = fragmentOffset == 0;
    StartLine()
        .Text("IP 8 bits Protocol type:")
        .Text(IpProtocolName(protocol))
        .Format(" = %02Xh  IP 16 bits Header Checksum:        %02X%02Xh",
                {protocol, frame.At(ip + 10), frame.At(ip + 11)})
        .Write();

    // The source, padded with blanks, fills exactly the first 40 columns.
    LineBuilder& addresses = StartLine().Text("IP source address: ");
    AppendDotted(addresses, frame, kIpSourceOffset, kIpAddressBytes);
    addresses.Blanks(29).Truncate(kAddressColumn);
    addresses.Text("IP destination address: ");
    AppendDotted(addresses, frame, kIpDestinationOffset, kIpAddressBytes);
    addresses.Write();

    PayloadCursor& cursor = ReportCursor();
    cursor.remaining = static_cast<uint16_t>(totalLength - kIpHeaderBytes);
    cursor.MoveTo(kTransportOffset);
    if (ihl <= 5)
        return;
    const size_t optionBytes = 4u * ihl - kIpHeaderBytes;
    cursor.MoveTo(static_cast<uint32_t>(kNetworkOffset + 4u * ihl));
    cursor.Lower(static_cast<uint32_t>(optionBytes));
    WriteIpOptions(frame, optionBytes);
}

void DecodeArp(const FrameView& frame)
{
    if (!IsArp(frame))
        return;
    const size_t arp = kNetworkOffset;
    const uint8_t hardwareLength = frame.At(arp + 4);
    const uint8_t protocolLength = frame.At(arp + 5);
    const uint16_t operation = frame.Be16(arp + 6);

    StartLine().Text("Protocol: ARP").Write();
    StartLine()
        .Format("ARP 16 bits hardware type:    %02X%02Xh  ARP 16 bits protocol type:         %02X%02Xh",
                {frame.At(arp), frame.At(arp + 1), frame.At(arp + 2), frame.At(arp + 3)})
        .Write();
    StartLine()
        .Format("ARP 8 bits length of MAC address:  %02Xh  ARP 8 bits lenght of IP address:     %02Xh",
                {hardwareLength, protocolLength})
        .Write();
    StartLine()
        .Format("ARP 16 bits operation code:      %02X%02Xh ", {frame.At(arp + 6), frame.At(arp + 7)})
        .Text(ArpOperationName(operation))
        .Write();

    // Addresses as long as their length bytes say; bytes past the frame read as 0.
    size_t offset = arp + 8;
    const struct {
        std::string_view label;
        uint8_t length;
        bool hardware;
    } lines[] = {
        {"ARP MAC source address:", hardwareLength, true},
        {"ARP IP source address:", protocolLength, false},
        {"ARP MAC destination address:", hardwareLength, true},
        {"ARP IP destination address:", protocolLength, false},
    };
    for (const auto& entry : lines) {
        LineBuilder& line = StartLine().Text(entry.label);
        line.Blanks(kArpLabelWidth - entry.label.size());
        if (entry.hardware)
            AppendHexBytes(line, frame, offset, entry.length, ':');
        else
            AppendDotted(line, frame, offset, entry.length);
        line.Write();
        offset += entry.length;
    }
    ReportCursor().remaining = 0;
}

void DecodeIcmp(const FrameView& frame)
{
    if (!FirstFragmentCarries(frame, kIpProtocolIcmp))
        return;
    // Read at byte 34 whatever the header length says.
    const size_t icmp = kTransportOffset;
    const uint8_t type = frame.At(icmp);

    StartLine().Format("ICMP type field: %02dd ", {type}).Text(IcmpTypeName(type)).Write();
    StartLine()
        .Format("ICMP code field:                   %02dd  ICMP checksum:                     %02X%02Xh",
                {frame.At(icmp + 1), frame.At(icmp + 2), frame.At(icmp + 3)})
        .Write();
    PayloadCursor& cursor = ReportCursor();
    cursor.MoveTo(icmp + 4);
    cursor.Lower(4);
    if (type != kIcmpEchoReply && type != kIcmpEcho)
        return;
    // Identifier and sequence number print their second byte first.
    StartLine()
        .Format("ICMP identifier:                 %02X%02Xh  ICMP sequence number:              %02X%02Xh",
                {frame.At(icmp + 5), frame.At(icmp + 4), frame.At(icmp + 7), frame.At(icmp + 6)})
        .Write();
    cursor.MoveTo(icmp + 8);
    cursor.Lower(4);
}
