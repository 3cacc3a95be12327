// Capture files opened in the main window, by "Open capture..." (Ctrl+O), by a
// file dropped on it and as the command line names one: their frames take the
// session buffer's place as if captured, and Write output then writes the
// report quarn-report writes of the same file. A file that cannot be opened
// changes nothing.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/window/tform1.h"
#include "app/window/tform7.h"
#include "report/report_writer.h"
#include "session/session_buffer.h"
#include "tests/offline/offline_test_support.h"
#include "tests/support/window_test_support.h"

namespace {

class OpenCaptureTest : public testing::Test {
protected:
    void SetUp() override
    {
        recorder.messages.clear(); // the no-adapter box of the window's start
        WriteFile("mixed.pcap", PcapFile(MixedFrames(), true));
    }

    static QString Status() { return Find<QStatusBar>(Form1, "StatusBar1")->currentMessage(); }
    static QString Counter() { return Find<QLabel>(Form1, "Label23")->text(); }

    // The main window past its splash, taking keys.
    static void Activate()
    {
        Form1->show();
        Form7->SpeedButton1Click();
        Form1->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form1));
    }

    static std::string WriteOutput()
    {
        Form1->SpeedButton4Click();
        WaitReportEnd();
        return ReadFile("output.txt");
    }

    MessageRecorder recorder;
    TemporaryWorkingDirectory directory;
    ProgramWindows windows;
};

// The ways of opening a file.
void Drop(const std::string& file)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Form1, &enter);
    EXPECT_TRUE(Form1->acceptDrops() && enter.isAccepted()) << "the window takes no dropped file";
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Form1, &drop);
    QCoreApplication::processEvents();
}

void PressCtrlO(const std::string& file)
{
    OpenDialogAnswer dialog(QString::fromStdString(file));
    QTest::keyClick(Form1, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialog.asked, 1);
}

// What the program does with `analyzer FILE` once its windows are built.
void CommandLine(const std::string& file) { Form1->OpenCaptureFile(file); }

// The files: one the analyzer saved with Ctrl+S (from the mixed frames it
// opened), and one another capture tool wrote as pcapng.
std::string SavedWithCtrlS()
{
    CommandLine("mixed.pcap");
    SaveDialogAnswer dialog("saved.pcap");
    QTest::keyClick(Form1, Qt::Key_S, Qt::ControlModifier);
    Form1->SpeedButton5Click(); // Clear buffer
    return "saved.pcap";
}

std::string WrittenByTshark()
{
    EXPECT_TRUE(quarn::test::RunQuiet("tshark -r mixed.pcap -F pcapng -w tshark.pcapng"))
        << "tshark is missing: scripts/install-deps installs it";
    return "tshark.pcapng";
}

std::string WrittenByHand() { return "mixed.pcap"; }

struct Opening {
    const char* what;
    std::string (*file)();
    void (*open)(const std::string&);
};

void PrintTo(const Opening& opening, std::ostream* out) { *out << opening.what; }

class OpeningTest : public OpenCaptureTest, public testing::WithParamInterface<Opening> {};

TEST_P(OpeningTest, WriteOutputWritesQuarnReportsReportOfTheFile)
{
    Activate();
    const std::string file = GetParam().file();
    GetParam().open(file);
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(SessionBuffer::Count(), 12u);
    EXPECT_EQ(Counter(), "12");
    EXPECT_EQ(Status(), "Status: Read 12 frames, 0 left out...");

    const CommandResult reference = RunQuarnReport({file, "-o", "reference.txt"}, ".");
    ASSERT_EQ(reference.exitStatus, 0) << reference.err;
    const std::string report = WriteOutput();
    EXPECT_EQ(CountOf(report, "--- Packet received:"), 12);
    EXPECT_EQ(WithoutCreatedLine(report), WithoutCreatedLine(ReadFile("reference.txt")));
}

INSTANTIATE_TEST_SUITE_P(Files, OpeningTest,
                         testing::Values(Opening{"PcapDropped", WrittenByHand, Drop},
                                         Opening{"SavedWithCtrlSOpenedWithCtrlO", SavedWithCtrlS, PressCtrlO},
                                         Opening{"PcapngOfTsharkOnTheCommandLine", WrittenByTshark, CommandLine}),
                         [](const testing::TestParamInfo<Opening>& info) { return info.param.what; });

// 6,000 frames, frame i carrying i, into a session buffer of 5,000 slots: the
// first 5,000 are kept, and the status line says so. (Where a ring puts them is
// the engine's test, load_capture_test.)
TEST_F(OpenCaptureTest, SixThousandFramesInFiveThousandSlots)
{
    std::vector<CapturedFrame> frames;
    for (uint16_t i = 0; i < 6000; ++i)
        frames.push_back({Join({EthernetHeader(0x88B5), Be16(i), Filler(44, 0)})});
    WriteFile("six.pcap", PcapFile(frames));
    Find<QLineEdit>(Form1, "Edit1")->setText("5000");
    CommandLine("six.pcap");
    EXPECT_TRUE(recorder.messages.empty());
    ASSERT_EQ(SessionBuffer::Count(), 5000u);
    for (const uint32_t slot : {0u, 4999u})
        EXPECT_EQ(SessionBuffer::SlotAt(slot).frame[14] << 8 | SessionBuffer::SlotAt(slot).frame[15], slot);
    EXPECT_EQ(Counter(), "5000");
    EXPECT_EQ(Status(), "Status: Read 6,000 frames, 1,000 left out...");
}

enum class Made { Written, Missing, Pipe };

struct Refusal {
    const char* what;
    std::string file;
    Made made;
    Bytes contents;
    bool reportRunning;
    std::string message;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.what; }

class OpenRefusalTest : public OpenCaptureTest, public testing::WithParamInterface<Refusal> {};

// Three frames in five slots before; after, the same, with one message.
TEST_P(OpenRefusalTest, LeavesTheBufferAsItWasWithOneMessage)
{
    const Refusal& refusal = GetParam();
    if (refusal.made == Made::Written)
        WriteFile(refusal.file, refusal.contents);
    if (refusal.made == Made::Pipe) {
        ASSERT_EQ(mkfifo(refusal.file.c_str(), 0600), 0);
    }
    FillSessionBuffer(5, 3);
    Find<QLabel>(Form1, "Label23")->setText("3");
    HeldTextArea area;
    if (refusal.reportRunning) {
        StartReport(&area, "output.txt");
        area.entered.wait();
    }
    const QString statusBefore = Status();

    CommandLine(refusal.file);

    EXPECT_EQ(recorder.messages, std::vector{SimpleMessage(refusal.message)});
    EXPECT_EQ(SessionBuffer::Capacity(), 5u);
    ASSERT_EQ(SessionBuffer::Count(), 3u);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(SessionBuffer::SlotAt(i).frame[11], i) << "frame " << i << " is not the one stored before";
    EXPECT_EQ(Counter(), "3");
    EXPECT_EQ(Status(), statusBefore);
    area.released.count_down();
    WaitReportEnd();
}

// A pcap file whose third frame stops 10 bytes into its 60.
Bytes CutShort()
{
    const CapturedFrame frame{PadTo(EthernetHeader(0x88B5), 60)};
    Bytes file = PcapFile({frame, frame, frame});
    file.resize(file.size() - 50);
    return file;
}

const Bytes kText(std::begin("not a capture\n"), std::end("not a capture\n") - 1);

INSTANTIATE_TEST_SUITE_P(
    Files, OpenRefusalTest,
    testing::Values(
        Refusal{"TextFile", "notes.txt", Made::Written, kText, false,
                OpenErrorMessage("notes.txt", "cannot read capture: unknown file format")},
        Refusal{"EmptyFile",
                "empty.pcap",
                Made::Written,
                {},
                false,
                OpenErrorMessage("empty.pcap", "cannot read capture: the file is empty")},
        Refusal{"NotEthernet", "cooked.pcap", Made::Written, PcapFile(MixedFrames(), false, kLinkLinuxCooked), false,
                OpenErrorMessage("cooked.pcap",
                                 "link type LINUX_SLL (Linux cooked v1) is not Ethernet; only "
                                 "Ethernet captures can be reported")},
        Refusal{"CutShort", "cut.pcap", Made::Written, CutShort(), false,
                OpenErrorMessage("cut.pcap",
                                 "reading stopped at frame 2: truncated dump file; tried to read 60 "
                                 "captured bytes, only got 10")},
        Refusal{"MissingFile",
                "missing.pcap",
                Made::Missing,
                {},
                false,
                OpenErrorMessage("missing.pcap", "cannot read capture: No such file or directory")},
        Refusal{
            "Pipe", "pipe", Made::Pipe, {}, false, OpenErrorMessage("pipe", "cannot read capture: not a regular file")},
        Refusal{"ReportBeingWritten", "mixed.pcap", Made::Written, PcapFile(MixedFrames()), true,
                std::string(kOpenWhileWriting)}),
    [](const testing::TestParamInfo<Refusal>& info) { return info.param.what; });

} // namespace
