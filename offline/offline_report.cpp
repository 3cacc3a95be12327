#include "offline/offline_report.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <pcap/pcap.h>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

#include "files/file_destination.h"
#include "offline/landed_frames.h"
#include "offline/parallel_blocks.h"
#include "offline/report_progress.h"
#include "report/report_block.h"
#include "report/report_output.h"
#include "session/capture_file.h"

namespace {

void Fail(const std::string& file, const std::string& problem)
{
    std::fprintf(stderr, "quarn-report: %s: %s\n", file.c_str(), problem.c_str());
}

// The capture is read through a buffer this large: stdio's default of one
// block costs a read(2) every few frames, a good share of the reading thread's
// time once the frames are decoded on other threads.
constexpr size_t kReadBufferSize = 1 << 20;

// Open the capture with nanosecond time stamps; null (and told) on failure.
pcap_t* OpenCapture(const std::string& input)
{
    std::FILE* file = input == "-" ? stdin : std::fopen(input.c_str(), "rbe");
    if (file == nullptr) {
        Fail(input, "cannot read capture: " + input + ": " + std::strerror(errno));
        return nullptr;
    }
    // Given before the first read; glibc ignores the size without a buffer.
    static char readBuffer[kReadBufferSize];
    std::setvbuf(file, readBuffer, _IOFBF, sizeof readBuffer);
    std::string problem;
    pcap_t* capture = OpenEthernetCapture(file, problem);
    if (capture == nullptr)
        Fail(input, problem);
    return capture;
}

int64_t CaptureSize(const std::string& input)
{
    struct stat st {};
    if (input == "-" || stat(input.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return st.st_size;
}

std::string WriteProblem(int reason)
{
    return reason != 0 ? std::string("write error: ") + std::strerror(reason) : std::string("write error");
}

void FailReading(const std::string& input, uint32_t number, const char* problem)
{
    EndProgress(); // the message takes the progress line's place
    Fail(input, "reading stopped at frame " + std::to_string(number) + ": " + problem);
}

// Names the first frame whose lines did not all reach the file, when there is one.
void FailWriting(const std::string& output, const LandedFrames& landed)
{
    EndProgress();
    std::string problem = WriteProblem(ReportOutputError());
    if (const std::optional<uint32_t> frame = landed.FirstNotLanded())
        problem += " (stopped at frame " + std::to_string(*frame) + ")";
    Fail(output, problem);
}

// Write every frame block; false (and told) when the file cannot be read to its
// end or a write fails, which ends the run at once.
bool WriteFrameBlocks(pcap_t* capture, const std::string& input, const std::string& output, LandedFrames& landed)
{
    uint32_t number = 0;
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    for (;;) {
        const int status = pcap_next_ex(capture, &header, &bytes);
        if (status == PCAP_ERROR_BREAK)
            return true;
        if (status != 1) {
            FailReading(input, number, pcap_geterr(capture));
            return false;
        }
        const uint32_t stored = StoredLength(*header);
        WriteFrameBlock(std::span<const uint8_t>(bytes, stored), stored, FrameTime(*header), number);
        landed.Ended(number, ReportBytesTaken());
        if (ReportOutputError() != 0) {
            FailWriting(output, landed);
            return false;
        }
        ++number;
        TickProgress(number);
    }
}

// The same on jobs decoding threads (more than one): the same bytes, and the
// same messages when reading or writing stops.
bool WriteFrameBlocksOnThreads(pcap_t* capture, const std::string& input, const std::string& output, uint32_t jobs,
                               LandedFrames& landed)
{
    const BlocksOutcome outcome = WriteFrameBlocksInParallel(capture, jobs, landed);
    switch (outcome.end) {
    case BlocksOutcome::End::Complete:
        return true;
    case BlocksOutcome::End::NoThreads:
        return WriteFrameBlocks(capture, input, output, landed);
    case BlocksOutcome::End::ReadFailed:
        FailReading(input, outcome.frame, outcome.readProblem.c_str());
        break;
    case BlocksOutcome::End::WriteFailed:
        FailWriting(output, landed);
        break;
    }
    return false;
}

} // namespace

int WriteOfflineReport(const std::string& input, const std::string& output, uint32_t jobs)
{
    pcap_t* capture = OpenCapture(input);
    if (capture == nullptr)
        return kExitFailed;
    if (OutputIsInput(output, fileno(pcap_file(capture)))) {
        Fail(output,
             "is the same file as " + (input == "-" ? std::string("standard input") : input)
                 + ", the capture being read; not overwritten");
        pcap_close(capture);
        return kExitUsage;
    }

    FileDestination destination;
    std::string problem;
    if (!OpenFileDestination(output, destination, problem)) {
        Fail(output, problem);
        pcap_close(capture);
        return kExitFailed;
    }
    AttachReportOutput(destination.fd);
    WriteReportBanner(LocalTimeNow());

    // A report scrolling on the same terminal has no room for a progress line.
    const bool reportOnTerminal = output == "-" && isatty(STDOUT_FILENO);
    StartProgress(reportOnTerminal ? nullptr : pcap_file(capture), CaptureSize(input));
    LandedFrames landed;
    const bool complete = jobs > 1 ? WriteFrameBlocksOnThreads(capture, input, output, jobs, landed)
                                   : WriteFrameBlocks(capture, input, output, landed);
    EndProgress();
    pcap_close(capture);

    if (complete)
        WriteReportEnd();
    const bool written = CloseReportOutput();
    if (!complete) {
        DiscardFileDestination(destination);
        return kExitFailed;
    }
    if (!written) {
        // The last frames may have waited in the buffer until now.
        DiscardFileDestination(destination);
        FailWriting(output, landed);
        return kExitFailed;
    }
    if (!CommitFileDestination(destination, problem)) {
        Fail(output, problem);
        return kExitFailed;
    }
    return kExitReported;
}
