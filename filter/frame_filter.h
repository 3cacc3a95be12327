// The frame filter: two slots, "Filter 1" and "Filter 2", that decide for every
// received frame whether it is stored.
//
// A frame is kept when no slot is enabled, or when it passes at least one
// enabled slot. Within a slot every test that is on must hold: the MAC pair
// test, the protocol test, and the IP or IPX pair test chosen by what the
// protocol test found the frame to be.
//
// The filter window builds both slots whole and publishes them in one step
// (PublishFilters), which also compiles them into the few words AcceptFrame
// compares (slot_matcher.h); the capture thread judges each frame against one
// consistent publication of both. AcceptFrame allocates nothing, takes no lock
// and makes no system call. PassesFilter and ClassifyProtocol state the rule
// test by test over a slot as given.
#pragma once

#include <cstdint>

struct FrameFilter {
    bool Enabled = false;
    bool MACDestOn = false;
    uint8_t MACDest[6] = {};
    bool MACSourceOn = false;
    uint8_t MACSource[6] = {};
    bool IPDestOn = false;
    uint8_t IPDest[4] = {};
    bool IPSourceOn = false;
    uint8_t IPSource[4] = {};
    bool IPXDestOn = false;
    uint8_t IPXDest[6] = {};
    bool IPXSourceOn = false;
    uint8_t IPXSource[6] = {};
    bool ProtoIP = false;
    bool ProtoTCP = false;
    bool ProtoUDP = false;
    bool ProtoICMP = false;
    bool ProtoIPX = false;
    bool ProtoNETBEUI = false;
};

enum FrameKind { KindIP, KindIPX, KindOther };

// The frame's first 42 bytes are read; the caller's buffers always hold a full
// 1514-byte frame buffer.
bool AcceptFrame(const uint8_t* frame);
bool PassesFilter(const FrameFilter& slot, const uint8_t* frame);
// Pass or fail of the slot's protocol test, and what the frame was found to be.
bool ClassifyProtocol(const FrameFilter& slot, const uint8_t* frame, FrameKind& kind);

// Replace both slots at once (user-interface thread).
void PublishFilters(const FrameFilter& filter1, const FrameFilter& filter2);
// A consistent copy of both slots as last published (all off at start).
void ReadFilters(FrameFilter& filter1, FrameFilter& filter2);
