#include "offline_test_support.h"

#include <algorithm>
#include <regex>
#include <stdexcept>
#include <unistd.h>

#include <gtest/gtest.h>

#include "report/report_writer.h"
#include "session/capture_time.h"
#include "session/session_buffer.h"

namespace {

// The 802.3 frames go to a station of their own.
constexpr std::string_view kStation = "02 00 00 11 22 77";

} // namespace

std::vector<CapturedFrame> MixedFrames()
{
    const Bytes ipx = Join({Hex("FF FF 00 2E 00 04 00 00 00 01 FF FF FF FF FF FF 04 52"
                                "00 00 00 02 02 00 00 44 55 66 40 03"),
                            Filler(16, 0x80)});
    const Bytes ipBig = IpFrame({.protocol = 17}, Join({Hex("08 01 08 01 06 1E 00 00"), Filler(1558, 0x20)}));
    const Bytes arp = Hex("00 01 08 00 06 04 00 01 02 00 00 44 55 66 C0 A8 01 0A 00 00 00 00 00 00 C0 A8 01 14");
    Bytes longTcp = SynFrame();
    longTcp[5] = 0x34;
    // Time stamps cross seconds and sit just below hundredths boundaries, where
    // a wrong scale or rounding of the fraction shows in the header line.
    return {
        {SynFrame(), 0, {920'000'467, 250'000'000}},
        {IpFrame({.protocol = 17}, Join({Hex("00 35 04 0A 00 30 00 00"), Filler(40, 'a')})),
         0,
         {920'000'467, 259'999'999}},
        {IpFrame({.protocol = 1}, Join({Hex("08 00 4D 5A 00 01 00 07"), Filler(32, 'A')})),
         0,
         {920'000'468, 999'999'000}},
        {PadTo(IpFrame({.flagsAndOffset = 0x00B9, .protocol = 17}, Filler(24, 0x30)), 60), 0, {920'003'599, 5'000'000}},
        {PadTo(Join({EthernetHeader(0x0806), arp}), 60), 0, {920'003'600, 0}},
        {Join({EthernetHeader(0x8137), ipx}), 0, {920'003'600, 10'000'000}},
        {Ieee8023Frame(ipx, kStation), 0, {920'003'601, 990'000'000}},
        {Ieee8023Frame(Join({Hex("AA AA 03 00 00 0C 20 00"), Filler(30, 0x10)}), kStation),
         0,
         {920'003'602, 123'456'789}}, // SNAP
        {Ieee8023Frame(Join({Hex("42 42 03 00 00 00 00 80 00"), Filler(26, 0x01)}), kStation),
         0,
         {920'003'603, 500'000'000}},
        {Hex("02 00 00 11 22 99 02 00 00 44"), 0, {920'003'604, 0}}, // runt
        {ipBig, 0, {920'003'605, 70'000'000}},                       // 14 + 20 + 1566 = 1600 bytes
        {longTcp, 1600, {920'003'606, 0}},                           // stored shorter than on the wire
    };
}

std::vector<Bytes> SendableFrames(size_t count)
{
    std::vector<Bytes> kinds;
    for (const CapturedFrame& frame : MixedFrames())
        if (frame.bytes.size() >= 14 && frame.bytes.size() <= kFrameBufferSize)
            kinds.push_back(frame.bytes);
    std::vector<Bytes> frames;
    for (size_t i = 0; i < count; ++i) {
        frames.push_back(kinds[i % kinds.size()]);
        frames.back()[11] = static_cast<uint8_t>(i);
    }
    return frames;
}

bool CaptureStarted(const RunningReport& run)
{
    for (int tries = 0; tries < 1000; ++tries, usleep(10'000))
        if (ReadFile(run.directory + "/.stderr").find("capturing on") != std::string::npos)
            return true;
    return false;
}

RunningReport CaptureWhileSending(const std::vector<std::string>& arguments, const std::string& directory,
                                  const quarn::test::LiveNet& net, const std::vector<Bytes>& frames)
{
    RunningReport run = StartQuarnReport(arguments, directory);
    EXPECT_TRUE(CaptureStarted(run));
    for (const Bytes& frame : frames)
        EXPECT_TRUE(net.Send(frame));
    return run;
}

std::vector<Bytes> FramesOf(const std::string& path)
{
    std::vector<Bytes> frames;
    for (const CapturedFrame& frame : ReadCaptureFile(path).frames)
        frames.push_back(frame.bytes);
    return frames;
}

RunningReport StartQuarnReport(const std::vector<std::string>& arguments, const std::string& directory,
                               const RunSetup& setup)
{
    return StartCommand(QUARN_REPORT_BINARY, arguments, directory, setup);
}

CommandResult FinishQuarnReport(RunningReport& run) { return FinishCommand(run); }

CommandResult RunQuarnReport(const std::vector<std::string>& arguments, const std::string& directory,
                             const RunSetup& setup)
{
    return RunCommand(QUARN_REPORT_BINARY, arguments, directory, setup);
}

std::string AnalyzerReport(const std::vector<CapturedFrame>& frames, bool nanoseconds, const std::string& directory)
{
    if (!SessionBuffer::Allocate(std::max<uint32_t>(1, static_cast<uint32_t>(frames.size())), false))
        throw std::runtime_error("session buffer not allocated");
    SessionBuffer::ClearCount();
    SessionBuffer::Rewind();
    for (const CapturedFrame& frame : frames) {
        timespec when = frame.when;
        if (!nanoseconds)
            when.tv_nsec = when.tv_nsec / 1000 * 1000;
        StoreFrame(frame.bytes, LocalCaptureTime(when));
    }
    const std::string path = directory + "/.analyzer-output.txt";
    StartReport(nullptr, path.c_str());
    WaitReportEnd();
    SessionBuffer::FreeAll();
    std::string report = ReadFile(path);
    std::remove(path.c_str());
    return report;
}

std::string WithoutCreatedLine(const std::string& report)
{
    return std::regex_replace(report, std::regex("\\*   Created [^\r]*\r\n"), "",
                              std::regex_constants::format_first_only);
}
