#include "offline/live_capture.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture/binding.h"
#include "capture/capture.h"
#include "capture/capture_counts.h"
#include "files/file_destination.h"
#include "files/output_signals.h"
#include "files/save_capture.h"
#include "filter/frame_filter.h"
#include "offline/adapter_list.h"
#include "offline/offline_report.h"
#include "offline/stop_signals.h"
#include "report/report_output.h"
#include "report/report_writer.h"
#include "session/session_buffer.h"

namespace {

using namespace std::chrono_literals;

// How often the waiting thread looks whether a session-mode capture has
// ended by itself; a stop signal or the time limit ends the wait at once.
constexpr auto kEndCheckInterval = 50ms;

// One line on standard error.
void Tell(const std::string& line) { std::fprintf(stderr, "quarn-report: %s\n", line.c_str()); }

// The file a destination's temporary will replace, with its directory's links
// resolved; empty for a destination written directly.
std::string FinalPath(const FileDestination& destination)
{
    if (destination.tempPath.empty())
        return {};
    char directory[PATH_MAX];
    if (realpath(destination.directory.c_str(), directory) == nullptr)
        return destination.target;
    const std::string::size_type slash = destination.target.rfind('/');
    return std::string(directory) + "/"
        + (slash == std::string::npos ? destination.target : destination.target.substr(slash + 1));
}

// The report and, with -w, the capture file, opened before the capture.
struct Outputs {
    FileDestination report;
    FileDestination capture;
    bool withCapture = false;

    void Discard()
    {
        DiscardFileDestination(report);
        if (withCapture)
            DiscardFileDestination(capture);
    }
};

// Opens both outputs; on failure tells why, leaves nothing open and returns
// the exit status (otherwise 0).
int OpenOutputs(const ReportArguments& arguments, Outputs& outputs)
{
    std::string problem;
    if (!OpenFileDestination(arguments.output, outputs.report, problem)) {
        Tell(arguments.output + ": " + problem);
        return kExitFailed;
    }
    if (arguments.captureFile.empty())
        return kExitReported;
    if (!OpenFileDestination(arguments.captureFile, outputs.capture, problem)) {
        Tell(arguments.captureFile + ": " + problem);
        DiscardFileDestination(outputs.report);
        return kExitFailed;
    }
    outputs.withCapture = true;
    const std::string reportPath = FinalPath(outputs.report);
    if (!reportPath.empty() && reportPath == FinalPath(outputs.capture)) {
        Tell(arguments.captureFile + ": is the same file as " + arguments.output + ", the report");
        outputs.Discard();
        return kExitUsage;
    }
    return kExitReported;
}

std::string StartLine(const std::string& adapter, const ReportArguments& arguments)
{
    const std::string slots = std::to_string(arguments.slots);
    std::string ends;
    if (!arguments.continuous)
        ends += "when they are full, ";
    if (arguments.seconds != 0)
        ends += "after " + std::to_string(arguments.seconds) + " s, ";
    ends += ends.empty() ? "on Ctrl-C or SIGTERM" : "or on Ctrl-C or SIGTERM";
    return "capturing on " + adapter + ", "
        + (arguments.continuous ? "keeping the newest " + slots + " frames" : "into " + slots + " slots") + " (ends "
        + ends + ")";
}

// Waits until the capture has ended by itself, a stop signal came or the
// time is up, and ends it if it still runs.
void RunCapture(CaptureStopSignals& stops, uint32_t seconds)
{
    const auto start = std::chrono::steady_clock::now();
    while (IsCapturing()) {
        std::chrono::milliseconds wait = kEndCheckInterval;
        if (seconds != 0) {
            const auto left = start + std::chrono::seconds(seconds) - std::chrono::steady_clock::now();
            if (left <= 0s)
                break;
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(left));
        }
        if (stops.WaitForStop(wait))
            break;
    }
    if (IsCapturing())
        StopCapture();
    WaitCaptureEnd();
}

// Writes and commits each output; false (and told) when any failed. One
// that fails does not keep the other from being kept.
bool WriteOutputs(const ReportArguments& arguments, Outputs& outputs)
{
    bool all = true;
    std::string problem;
    if (!WriteSessionReport(outputs.report.fd)) {
        const int reason = ReportOutputError();
        Tell(arguments.output + ": write error" + (reason != 0 ? std::string(": ") + std::strerror(reason) : ""));
        DiscardFileDestination(outputs.report);
        all = false;
    } else if (!CommitFileDestination(outputs.report, problem)) {
        Tell(arguments.output + ": " + problem);
        all = false;
    }
    if (!outputs.withCapture)
        return all;
    if (!WriteSessionCapture(outputs.capture.fd, problem)) {
        Tell(arguments.captureFile + ": " + problem);
        DiscardFileDestination(outputs.capture);
        return false;
    }
    if (!CommitFileDestination(outputs.capture, problem)) {
        Tell(arguments.captureFile + ": " + problem);
        return false;
    }
    return all;
}

// Everything after the adapter is bound and the session buffer allocated.
int CaptureBound(const std::string& adapter, const ReportArguments& arguments)
{
    Outputs outputs;
    if (const int status = OpenOutputs(arguments, outputs); status != kExitReported)
        return status;
    {
        CaptureStopSignals stops;
        bool started = false;
        {
            // The capture thread is born with every ending signal held back,
            // so that their handlers only ever run on this thread.
            const OutputSignalsHeld held;
            started = StartCapture();
        }
        if (!started) {
            Tell(adapter + ": the capture could not start (out of memory?)");
            outputs.Discard();
            return kExitFailed;
        }
        Tell(StartLine(adapter, arguments));
        RunCapture(stops, arguments.seconds);
    }
    const bool written = WriteOutputs(arguments, outputs);
    Tell(DescribeCaptureCounts(CurrentCaptureCounts()));
    return written ? kExitReported : kExitFailed;
}

} // namespace

int CaptureAndReport(const ReportArguments& arguments)
{
    std::vector<std::string> names;
    std::string problem;
    if (!ReadAdapterList(names, problem)) {
        Tell(problem);
        return kExitFailed;
    }
    const std::string adapter = FindAdapter(names, arguments.adapter);
    if (adapter.empty()) {
        Tell("no adapter named " + arguments.adapter + " (quarn-report -D lists them)");
        return kExitFailed;
    }
    // The filter window's own reading; every text was checked while reading
    // the command line, so it cannot stop at a bad MAC address here.
    FrameFilter filter1, filter2;
    if (!ReadFilterControls(arguments.filters[0], arguments.filters[1], filter1, filter2)) {
        Tell("Invalid MAC address");
        return kExitUsage;
    }
    if (!SessionBuffer::Allocate(arguments.slots, arguments.continuous)) {
        Tell("cannot allocate a session buffer of " + std::to_string(arguments.slots) + " frames");
        return kExitFailed;
    }
    int status = kExitFailed;
    if (BindNamedAdapter(adapter)) {
        PublishFilters(filter1, filter2);
        status = CaptureBound(adapter, arguments);
    } else {
        Tell(AdapterFailure()); // names the remedy when it is a matter of permission
    }
    ReleaseAdapter();
    SessionBuffer::FreeAll();
    return status;
}
