// Writes the report block of each input taken as a captured frame (its first
// 1514 bytes), from a heap buffer of exactly the frame's size so that any read
// past the frame is caught. The output goes to /dev/null.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <memory>

#include "report/report_block.h"
#include "report/report_output.h"

namespace {
constexpr size_t kMaxFrame = 1514;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    AttachReportOutput(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t length = size < kMaxFrame ? size : kMaxFrame;
    std::unique_ptr<uint8_t[]> frame(new uint8_t[length]);
    if (length != 0)
        std::memcpy(frame.get(), data, length);
    static uint32_t number = 0;
    const CaptureTime time{static_cast<uint8_t>(number % 60), static_cast<uint8_t>(number % 24),
                           static_cast<uint8_t>(number % 100), static_cast<uint8_t>(number % 60)};
    WriteFrameBlock({frame.get(), length}, static_cast<uint32_t>(length), time, number++);
    return 0;
}
