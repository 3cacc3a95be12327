// The report's banner, frame blocks and end line.
#include "report/report_block.h"

#include <algorithm>
#include <string_view>

#include "report/decoders.h"
#include "report/payload_cursor.h"
#include "report/report_line.h"
#include "report/report_output.h"

namespace {

constexpr std::string_view kAsterisks
    = "********************************************************************************";
constexpr std::string_view kHyphens
    = "--------------------------------------------------------------------------------";
static_assert(kAsterisks.size() == 80 && kHyphens.size() == 80);
constexpr uint32_t kCursorStart = kTypeOffset; // first byte after the MAC addresses

// The per-frame writers, in the order the report lists their lines.
constexpr void (*kFrameWriters[])(const FrameView&) = {
    WriteMacLine, WriteFrameTypeLines, DecodeIp, DecodeArp, DecodeTcp, DecodeUdp, DecodeIcmp, DecodeIpx, WriteHexDump,
};

} // namespace

void WriteReportBanner(const std::tm& created)
{
    WriteReportLine(kAsterisks);
    StartLine().Text("*   Quarn Analyser Output File").Blanks(49).Char('*').Write();
    StartLine()
        .Format("*   Created %02d-%02d-%04d at %02d:%02d",
                {static_cast<uint32_t>(created.tm_mday), static_cast<uint32_t>(created.tm_mon + 1),
                 static_cast<uint32_t>(created.tm_year + 1900), static_cast<uint32_t>(created.tm_hour),
                 static_cast<uint32_t>(created.tm_min)})
        .Blanks(48)
        .Char('*')
        .Write();
    WriteReportLine(kAsterisks);
    WriteReportLine({});
}

std::tm LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

void WriteFrameBlock(std::span<const uint8_t> frame, uint32_t storedLength, CaptureTime time, uint32_t number)
{
    const FrameView view(frame.first(std::min<size_t>(frame.size(), storedLength)));
    PayloadCursor& cursor = ReportCursor();
    cursor.position = kCursorStart;
    cursor.remaining = static_cast<uint16_t>(storedLength - kCursorStart);

    // A frame shorter than 12 bytes wraps remaining; its header still shows the
    // length it was stored with.
    StartLine()
        .Format("--- Packet received: %2d:%02d:%02d.%02d --- Length: %04d --- Assigned number: %05d ---",
                {time.hour, time.minute, time.second, time.hundredths, storedLength, number})
        .Write();
    for (auto write : kFrameWriters)
        write(view);
    WriteReportLine(kHyphens);
    WriteReportLine({});
}

void WriteReportEnd() { StartLine().Text("*** End of file ").Text(kAsterisks.substr(16)).Write(); }
