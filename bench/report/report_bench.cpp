// Report writing speed: frame blocks into /dev/null, and whole report runs over
// a full 5000-frame session buffer through the writer thread to a file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "report/report_block.h"
#include "report/report_output.h"
#include "report/report_writer.h"
#include "session/session_buffer.h"
#include "tests/support/mixed_frames.h"
#include "tests/support/scratch_files.h"

namespace {

void BM_WriteFrameBlock(benchmark::State& state)
{
    const auto frames = EightKindsOfFrame();
    const int devNull = open("/dev/null", O_WRONLY);
    AttachReportOutput(devNull);
    uint32_t number = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        const auto& frame = frames[number % frames.size()];
        WriteFrameBlock(frame, static_cast<uint32_t>(frame.size()), {30, 12, 50, 15}, number);
        bytes += frame.size();
        ++number;
    }
    CloseReportOutput();
    close(devNull);
    state.SetItemsProcessed(state.iterations());
    state.counters["frame_bytes"] = benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WriteFrameBlock);

class CountingArea : public ReportTextArea {
public:
    void ShowReportText(std::string text) override { shown = text.size(); }
    size_t shown = 0;
};

// StartReport to WaitReportEnd over 5000 stored frames: banner, writer thread,
// 5000 blocks, end line, close, read-back into the text area.
void BM_ReportRun5000(benchmark::State& state)
{
    const auto frames = EightKindsOfFrame();
    SessionBuffer::FreeAll();
    SessionBuffer::ClearCount();
    if (!SessionBuffer::Allocate(5000, false)) {
        state.SkipWithError("no session buffer");
        return;
    }
    SessionBuffer::Rewind();
    for (uint32_t i = 0; i < 5000; ++i) {
        const auto& frame = frames[i % frames.size()];
        uint8_t* buffer = SessionBuffer::CurrentFrame();
        std::memcpy(buffer, frame.data(), frame.size());
        SessionBuffer::Store(buffer, static_cast<uint32_t>(frame.size()), {30, 12, 50, 15});
        SessionBuffer::Advance();
    }
    const ScratchDirectory dir;
    const std::string path = dir / "output.txt";
    CountingArea area;
    for (auto _ : state) {
        StartReport(&area, path.c_str());
        WaitReportEnd();
    }
    state.SetItemsProcessed(state.iterations() * 5000);
    state.counters["report_bytes"] = static_cast<double>(area.shown);
    SessionBuffer::ClearCount();
    SessionBuffer::FreeAll();
}
// CPU time is the whole process: the writer thread does the work.
BENCHMARK(BM_ReportRun5000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

} // namespace

BENCHMARK_MAIN();
