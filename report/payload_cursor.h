// The decoders' shared cursor over the frame being written.
//
// position is the offset of the first byte no decoder has explained yet;
// remaining is how many bytes from there the dump is to print, kept modulo
// 65536 as the report defines it. remaining may wrap or claim more than the
// frame holds: the dump prints only bytes that exist (see FrameView).
// Only the thread that writes frame blocks touches these.
#pragma once

#include <cstdint>

struct PayloadCursor {
    uint32_t position = 0;
    uint16_t remaining = 0;

    void MoveTo(uint32_t offset) { position = offset; }
    void Lower(uint32_t count) { remaining = static_cast<uint16_t>(remaining - count); }
};

// The cursor of the frame block in progress.
PayloadCursor& ReportCursor();
// Set by DecodeIp for every IP frame: true when its fragment offset is 0.
// Not reset between frames; only IP frames read it, after DecodeIp.
extern thread_local bool firstFragment;
