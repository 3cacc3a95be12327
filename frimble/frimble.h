/*
 * frimble: the packet driver library.
 *
 * Adapter and packet operations over the kernel's packet sockets: open an
 * adapter (one network interface), post receives and sends as packet objects
 * and wait for them, query or set the adapter's NDIS-style objects (its packet
 * filter, its Ethernet address), reset it, and read the list of adapter names.
 *
 * Receive contract: once the filter 0x20 is set, every frame on the medium is
 * handed up; posted receives complete in posting order, each with one whole
 * frame of at most the packet's length bytes (longer frames are cut), the byte
 * count being the stored length; frames that arrive while no receive is posted
 * are not handed up; closing the adapter ends every outstanding receive; a wait
 * never blocks for ever and never touches an adapter that another thread has
 * closed. A link that goes down ends no receive: waits sleep until it is back
 * (frames then arrive as before), a reset or a close; so do waits on an
 * interface that has been removed. The receive path allocates nothing.
 */
#ifndef FRIMBLE_FRIMBLE_H
#define FRIMBLE_FRIMBLE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FRIMBLE_API __attribute__((visibility("default")))

/* Device control codes (device type 0x8000, buffered, any access). */
#define IOCTL_PROTOCOL_QUERY_OID 0x80000000u
#define IOCTL_PROTOCOL_SET_OID 0x80000004u
#define IOCTL_PROTOCOL_RESET 0x8000000Cu

/* NDIS objects the library answers. */
#define OID_GEN_CURRENT_PACKET_FILTER 0x0001010Eu
#define OID_802_3_CURRENT_ADDRESS 0x01010102u
/* Counts since the adapter was opened (query, 4 bytes): frames handed up to
 * receives, and frames lost (dropped by the kernel for want of room, or not
 * handed up because no receive was posted when they arrived). */
#define OID_GEN_RCV_OK 0x00020102u
#define OID_GEN_RCV_NO_BUFFER 0x00020105u
#define NDIS_PACKET_TYPE_PROMISCUOUS 0x20u

/* Link name field size, terminator included. */
#define FRIMBLE_LINK_NAME_SIZE 64
/* Length of the device-directory prefix of every adapter name ("\Device\"). */
#define FRIMBLE_NAME_PREFIX_LENGTH 8

struct FrimblePacketState;
struct FrimbleAdapterState;

/* One opened adapter. Created zero-filled by PacketOpenAdapter, freed by
 * PacketCloseAdapter. */
typedef struct AdapterObject {
    int Device;                            /* the packet socket */
    char LinkName[FRIMBLE_LINK_NAME_SIZE]; /* "\\.\Packet_" + name from its ninth character */
    struct FrimbleAdapterState* State;     /* library-private */
} AdapterObject;

/* The completion record of one operation (the library's stand-in for an
 * overlapped block). */
typedef struct FrimbleOverlapped {
    uint32_t Offset; /* set to zero before every operation */
    uint32_t OffsetHigh;
    uint32_t Status;                  /* library-private */
    uint32_t BytesTransferred;        /* library-private */
    struct FrimblePacketState* Event; /* library-private completion state */
} FrimbleOverlapped;

/* One I/O request. Created zero-filled by PacketAllocatePacket. Between two
 * operations the caller may read Buffer and put another buffer of the same
 * length in its place. */
typedef struct PacketObject {
    FrimbleOverlapped Overlapped;
    void* Buffer;    /* the caller's buffer; never allocated or freed here */
    uint32_t Length; /* receive: most bytes to read; send: bytes to write */
} PacketObject;

/* Request record, a little-endian wire format: oid, data length N, N data bytes. */
typedef struct OidRequest {
    uint32_t Oid;
    uint32_t Length;
    uint8_t Data[1];
} OidRequest;

/* Adapter and packet operations. */
FRIMBLE_API AdapterObject* PacketOpenAdapter(const char* adapterName);
FRIMBLE_API void PacketCloseAdapter(AdapterObject* adapter);
FRIMBLE_API PacketObject* PacketAllocatePacket(void);
FRIMBLE_API void PacketFreePacket(PacketObject* packet);
FRIMBLE_API void PacketInitPacket(PacketObject* packet, void* buffer, uint32_t length);
FRIMBLE_API int PacketReceivePacket(AdapterObject* adapter, PacketObject* packet, int sync, uint32_t* bytesReceived);
FRIMBLE_API int PacketSendPacket(AdapterObject* adapter, PacketObject* packet, int sync);
FRIMBLE_API int PacketWaitPacket(AdapterObject* adapter, PacketObject* packet, uint32_t* bytesReceived);
FRIMBLE_API int PacketResetAdapter(AdapterObject* adapter);
FRIMBLE_API uint32_t PacketRequest(AdapterObject* adapter, int set, OidRequest* request);
FRIMBLE_API int PacketSetFilter(AdapterObject* adapter, uint32_t filter);
FRIMBLE_API int PacketGetAddress(AdapterObject* adapter, uint8_t* address);

/* Driver start and adapter enumeration. */
FRIMBLE_API int PacketInit(void* module, uint32_t reason, void* reserved);
FRIMBLE_API int StartPacketDriver(const char* serviceName);
FRIMBLE_API int PacketGetAdapterNames(char* buffer, uint32_t* size);
FRIMBLE_API int PacketGetName(char* destination, int index);

/* Where the library's own messages go (text, caption). Default: standard error,
 * prefixed with the caption. Null restores the default. */
typedef void (*FrimbleMessageSink)(const char* text, const char* caption);
FRIMBLE_API void PacketSetMessageSink(FrimbleMessageSink sink);

#ifdef __cplusplus
}
#endif

#endif
