// Ethernet facts that the filter and the report share: where fields sit in a
// frame (offsets count from the first byte of the destination address) and the
// values that tell one kind of frame from another. Each is stated here alone.
#pragma once

#include <cstddef>
#include <cstdint>

// Link header.
inline constexpr size_t kMacDestinationOffset = 0;
inline constexpr size_t kMacSourceOffset = 6;
inline constexpr size_t kMacAddressBytes = 6;
inline constexpr size_t kTypeOffset = 12;    // EtherType, or an 802.3 length
inline constexpr size_t kNetworkOffset = 14; // first byte after an Ethernet II header

// A type/length field up to this value is an 802.3 length; above it, an EtherType.
inline constexpr uint16_t kMaxLengthField = 1500;
inline constexpr uint16_t kTypeIp = 0x0800;
inline constexpr uint16_t kTypeArp = 0x0806;
inline constexpr uint16_t kTypeIpx = 0x8137;

// The 802.2 LLC header after an 802.3 length field, and the SNAP header after that.
inline constexpr size_t kDsapOffset = 14;
inline constexpr size_t kSsapOffset = 15;
inline constexpr size_t kLlcControlOffset = 16;
inline constexpr size_t kLlcEnd = 17;
inline constexpr size_t kSnapOrganisationOffset = 17; // three bytes
inline constexpr size_t kSnapProtocolOffset = 20;     // two bytes
inline constexpr size_t kSnapEnd = 22;
// Service access points. A raw 802.3 IPX frame has none: its IPX checksum,
// always FF FF, sits where they would be.
inline constexpr uint8_t kSapSnap = 0xAA;
inline constexpr uint8_t kSapNetbeui = 0xF0; // F1 too: the low bit marks group or response
inline constexpr uint8_t kRawIpxChecksumByte = 0xFF;

// IPv4 header, at kNetworkOffset.
inline constexpr size_t kIpHeaderBytes = 20; // without options
inline constexpr size_t kIpProtocolOffset = 23;
inline constexpr size_t kIpSourceOffset = 26;
inline constexpr size_t kIpDestinationOffset = 30;
inline constexpr size_t kIpAddressBytes = 4;
// The first byte after a 20-byte IP header: where the options start, and where
// the transport header is read whatever the header length says.
inline constexpr size_t kTransportOffset = kNetworkOffset + kIpHeaderBytes;

// IP protocol numbers.
inline constexpr uint8_t kIpProtocolIcmp = 1;
inline constexpr uint8_t kIpProtocolIgmp = 2;
inline constexpr uint8_t kIpProtocolGgp = 3;
inline constexpr uint8_t kIpProtocolIpInIp = 4;
inline constexpr uint8_t kIpProtocolTcp = 6;
inline constexpr uint8_t kIpProtocolEgp = 8;
inline constexpr uint8_t kIpProtocolIgp = 9;
inline constexpr uint8_t kIpProtocolUdp = 17;

// IPX header, at kNetworkOffset in Ethernet II and raw 802.3 frames alike.
inline constexpr size_t kIpxHeaderBytes = 30;
inline constexpr size_t kIpxPacketLengthOffset = 16;
inline constexpr size_t kIpxDestinationNodeOffset = 24;
inline constexpr size_t kIpxSourceNodeOffset = 36;
inline constexpr size_t kIpxNodeBytes = 6;
