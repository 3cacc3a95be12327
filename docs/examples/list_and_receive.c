/* List the adapters, then receive one frame on the first of them. */
#include <stdio.h>
#include <string.h>
#include <frimble/frimble.h>

int main(void)
{
    char names[256];
    unsigned char frame[1514];
    uint32_t size = sizeof names, count = 0;
    if (!PacketGetAdapterNames(names, &size)) return 1;
    for (char *name = names; *name; name += strlen(name) + 1) puts(name);
    AdapterObject *adapter = PacketOpenAdapter(names);
    PacketObject *packet = PacketAllocatePacket();
    if (!adapter || !packet) { fputs("cannot open the first adapter\n", stderr); return 1; }
    PacketSetFilter(adapter, NDIS_PACKET_TYPE_PROMISCUOUS);
    PacketInitPacket(packet, frame, sizeof frame);
    if (PacketReceivePacket(adapter, packet, 1, &count)) printf("received a frame of %u bytes\n", (unsigned)count);
    PacketFreePacket(packet);
    PacketCloseAdapter(adapter);
    return 0;
}
