// The main window over a real adapter: the capture end of a veth pair in a
// network namespace of the test's own, with frames sent from the peer end.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "app/status.h"
#include "app/window/analyzer_arguments.h"
#include "app/window/tform1.h"
#include "app/window/tform7.h"
#include "capture/binding.h"
#include "capture/capture.h"
#include "report/report_writer.h"
#include "report/window/tform3.h"
#include "session/capture_time.h"
#include "session/session_buffer.h"
#include "tests/offline/offline_test_support.h"
#include "tests/support/capture_files.h"
#include "tests/support/command_run.h"
#include "tests/support/window_test_support.h"
#include "tests/support/require_live.h"

using namespace quarn::test;

namespace {

class LiveMainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        QUARN_REQUIRE_LIVE();
        net.emplace();
        ASSERT_TRUE(net->Ready()) << net->Error();
        windows.emplace(); // binds the veth's capture end, the namespace's only adapter
    }

    QString Status() { return Find<QStatusBar>(Form1, "StatusBar1")->currentMessage(); }

    // The session group and the status line as a capture leaves them or makes them.
    void ExpectCapturing(bool capturing)
    {
        EXPECT_EQ(IsCapturing(), capturing);
        EXPECT_EQ(Status(), QString::fromLatin1(capturing ? kStatusCapturing : kStatusIdle));
        ExpectSessionGroup(!capturing);
    }

    std::vector<RecordedMessage> PressStart()
    {
        recorder.messages.clear();
        Form1->SpeedButton1Click();
        return recorder.messages;
    }

    // Frame i: source MAC 02:00:00:00:10:<i>.
    Bytes Frame(int i) { return NumberedFrame(net->CaptureMac(), 0x10, static_cast<uint8_t>(i)); }
    void Send(int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(net->Send(Frame(i)));
    }

    // A capture that ends by itself has ended and its updates have reached the window.
    bool CaptureEnded()
    {
        return QTest::qWaitFor(
            [this] {
                return !IsCapturing() && Status() == QString::fromLatin1(kStatusIdle)
                    && Find<QLineEdit>(Form1, "Edit1")->isEnabled();
            },
            5000);
    }

    MessageRecorder recorder;
    TemporaryWorkingDirectory directory;
    std::optional<LiveNet> net;
    std::optional<ProgramWindows> windows; // torn down before the namespace goes
};

TEST_F(LiveMainWindowTest, SessionCaptureOfTenFramesEndsByItselfAndIsWrittenInSendOrder)
{
    const auto& own = net->CaptureMac();
    EXPECT_EQ(Find<QLabel>(Form1, "Label13")->text().toStdString(), net->AdapterName());
    EXPECT_EQ(Find<QLabel>(Form1, "Label14")->text(),
              QString::asprintf("%02X:%02X:%02X:%02X:%02X:%02X", own[0], own[1], own[2], own[3], own[4], own[5]));
    EXPECT_TRUE(recorder.messages.empty());

    Find<QLineEdit>(Form1, "Edit1")->setText("10");
    EXPECT_TRUE(PressStart().empty());
    ExpectCapturing(true);

    Send(10);
    ASSERT_TRUE(CaptureEnded()) << "a full session buffer must end the capture";
    ExpectCapturing(false);
    EXPECT_EQ(SessionBuffer::Count(), 10u);
    EXPECT_EQ(Find<QLabel>(Form1, "Label23")->text(), "10");

    Form1->SpeedButton4Click();
    WaitReportEnd();
    QPlainTextEdit* memo = Find<QPlainTextEdit>(Form3, "Memo1");
    ASSERT_TRUE(QTest::qWaitFor([memo] { return !memo->toPlainText().isEmpty(); }, 5000));

    const std::string report = ReadFile("output.txt");
    EXPECT_EQ(CountOf(report, "--- Packet received:"), 10);
    size_t at = 0;
    for (int i = 0; i < 10; ++i) {
        char number[32], source[32];
        std::snprintf(number, sizeof number, "Assigned number: %05d", i);
        std::snprintf(source, sizeof source, "MAC source: 02:00:00:00:10:%02X", i);
        const size_t block = report.find(number, at);
        ASSERT_NE(block, std::string::npos) << number;
        const size_t mac = report.find(source, block);
        ASSERT_NE(mac, std::string::npos) << source;
        EXPECT_LT(mac, report.find("--- Packet received:", block + 1)) << source << " is not in block " << i;
        at = mac;
    }
    EXPECT_EQ(CountOf(report, "*** End of file"), 1);
    EXPECT_EQ(CountOf(memo->toPlainText().toStdString(), "--- Packet received:"), 10);
}

// Ctrl+S on the main window, as an operator presses it after the splash: the
// session buffer saved as a capture file that libpcap reads back with the
// frames sent, whole, in the report's order and with the report's times. The
// counter's tool tip tells the capture's counts.
TEST_F(LiveMainWindowTest, ACaptureSavedWithCtrlSReadsBackLikeTheReport)
{
    QLabel* counter = Find<QLabel>(Form1, "Label23");
    EXPECT_EQ(counter->toolTip(), "The number of packets sniffed from the network");
    Find<QLineEdit>(Form1, "Edit1")->setText("10");
    Form1->show();
    Form7->SpeedButton1Click();
    Form1->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form1));
    EXPECT_TRUE(PressStart().empty());

    SaveDialogAnswer dialog("capture.pcap");
    QTest::keyClick(Form1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(recorder.messages, std::vector{SimpleMessage(kSaveWhileCapturing)});
    EXPECT_EQ(dialog.asked, 0);
    recorder.messages.clear();
    OpenDialogAnswer openDialog("capture.pcap");
    QTest::keyClick(Form1, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(recorder.messages, std::vector{SimpleMessage(kOpenWhileCapturing)});
    EXPECT_EQ(openDialog.asked, 0);
    recorder.messages.clear();
    Form1->OpenCaptureFile("capture.pcap"); // dropped, or named on the command line
    EXPECT_EQ(recorder.messages, std::vector{SimpleMessage(kOpenWhileCapturing)});

    Send(10);
    ASSERT_TRUE(CaptureEnded());
    EXPECT_EQ(counter->toolTip(), "Received 10, kept 10, refused by the filters 0, lost 0");
    Form1->SpeedButton4Click();
    WaitReportEnd();
    const std::string report = ReadFile("output.txt");

    recorder.messages.clear();
    QTest::keyClick(Form1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(recorder.messages.empty());
    ASSERT_EQ(dialog.asked, 1);

    const ReadBackCapture saved = ReadCaptureFile("capture.pcap");
    ASSERT_EQ(saved.error, "");
    ASSERT_EQ(saved.frames.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(saved.frames[i].bytes, Frame(i)) << "frame " << i;
        // The report's header line of the same frame, its time read from the file.
        const CaptureTime time = LocalCaptureTime(saved.frames[i].when);
        char line[96];
        std::snprintf(line, sizeof line,
                      "--- Packet received: %2d:%02d:%02d.%02d --- Length: 0060 --- Assigned number: %05d", time.hour,
                      time.minute, time.second, time.hundredths, i);
        EXPECT_NE(report.find(line), std::string::npos) << line;
    }
}

// What quarn-report -w saved of a live capture opens in the analyzer to the
// report quarn-report writes of the file.
TEST_F(LiveMainWindowTest, ACaptureOfQuarnReportDashWOpensToItsReport)
{
    const std::string here = std::filesystem::current_path();
    RunningReport run
        = CaptureWhileSending({"-i", net->CaptureInterface(), "-c", "10", "-w", "live.pcap", "-o", "live.txt"}, here,
                              *net, SendableFrames(10));
    const CommandResult captured = FinishQuarnReport(run);
    ASSERT_EQ(captured.exitStatus, 0) << captured.err;
    const CommandResult reported = RunQuarnReport({"live.pcap", "-o", "file.txt"}, here);
    ASSERT_EQ(reported.exitStatus, 0) << reported.err;

    Form1->OpenCaptureFile("live.pcap");
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(Status(), "Status: Read 10 frames, 0 left out...");
    Form1->SpeedButton4Click();
    WaitReportEnd();
    const std::string report = WithoutCreatedLine(ReadFile("output.txt"));
    EXPECT_EQ(CountOf(report, "--- Packet received:"), 10);
    EXPECT_EQ(report, WithoutCreatedLine(ReadFile("file.txt")));
}

// Continuous mode at the largest size, then a typed size below the range.
TEST_F(LiveMainWindowTest, CaptureGreysTheSessionGroupStopRestoresItAndATypedFiveIsTaken)
{
    Find<QRadioButton>(Form1, "RadioContinuousCapture")->setChecked(true);
    Find<QLineEdit>(Form1, "Edit1")->setText("5000");
    EXPECT_TRUE(PressStart().empty());
    EXPECT_EQ(SessionBuffer::Capacity(), 5000u);
    ExpectCapturing(true);

    EXPECT_EQ(PressStart(), std::vector{SimpleMessage(kThreadsRunning)}) << "nothing stored yet, but the capture runs";
    Send(1);
    ASSERT_TRUE(QTest::qWaitFor([] { return SessionBuffer::Count() >= 1; }, 5000));
    EXPECT_EQ(PressStart(), std::vector{SimpleMessage(kBufferNotEmpty)});
    ExpectCapturing(true);

    Form1->SpeedButton6Click();
    QCoreApplication::processEvents();
    ExpectCapturing(false);
    EXPECT_EQ(Find<QLabel>(Form1, "Label23")->text(), "1");
    recorder.messages.clear();
    Form1->SpeedButton6Click();
    EXPECT_TRUE(recorder.messages.empty());
    ExpectCapturing(false);

    Form1->SpeedButton5Click();
    Find<QRadioButton>(Form1, "RadioSessionCapture")->setChecked(true);
    Find<QLineEdit>(Form1, "Edit1")->setText("5");
    EXPECT_TRUE(PressStart().empty());
    EXPECT_EQ(SessionBuffer::Capacity(), 5u);
    Send(6);
    ASSERT_TRUE(CaptureEnded());
    EXPECT_EQ(SessionBuffer::Count(), 5u);
    EXPECT_EQ(Find<QLabel>(Form1, "Label23")->text(), "5");
}

// A machine with many interfaces: their list outgrows any small buffer. The
// capture end stays first (the only one up); 99 more follow in the order they
// were made, the last with a known address.
TEST_F(LiveMainWindowTest, AmongAHundredAdaptersTheFirstIsBoundAndDashIBindsTheLast)
{
    std::string batch;
    for (int i = 1; i <= 99; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "link add qm%d address 02:00:00:01:00:%02X type veth peer name qn%d netns ", i,
                      i, i);
        batch += line + net->PeerNamespace() + "\n";
    }
    WriteFile("links", batch);
    ASSERT_TRUE(RunQuiet("ip -n " + net->CaptureNamespace() + " -batch links"));
    std::vector<std::string> names{net->AdapterName()};
    for (int i = 1; i <= 99; ++i)
        names.push_back("\\Device\\qm" + std::to_string(i));
    std::string listed, indented;
    for (const std::string& name : names) {
        listed += name + "\n";
        indented += "  " + name + "\n";
    }

    const CommandResult list = RunCommand(QUARN_REPORT_BINARY, {"-D"}, ".");
    EXPECT_EQ(list.exitStatus, 0) << list.err;
    EXPECT_EQ(list.out, listed);

    windows.reset();
    windows.emplace();
    EXPECT_EQ(Find<QLabel>(Form1, "Label13")->text().toStdString(), net->AdapterName());
    EXPECT_TRUE(recorder.messages.empty());

    std::string chosen, problem;
    ASSERT_TRUE(ChooseAdapter("qm99", chosen, problem)) << problem;
    EXPECT_EQ(chosen, "\\Device\\qm99");
    windows.reset();
    windows.emplace(chosen);
    EXPECT_EQ(Find<QLabel>(Form1, "Label13")->text().toStdString(), chosen);
    EXPECT_EQ(Find<QLabel>(Form1, "Label14")->text(), "02:00:00:01:00:63");
    ASSERT_NE(BoundAdapter(), nullptr);
    ReopenAdapter(); // as the end of a capture does
    ASSERT_NE(BoundAdapter(), nullptr);
    EXPECT_EQ(std::string(BoundAdapter()->LinkName), "\\\\.\\Packet_qm99");
    EXPECT_TRUE(recorder.messages.empty());

    // An unknown name: one message naming it and every adapter there is.
    ScratchDirectory runtime; // Qt warns on standard error without one
    const CommandResult unknown
        = RunCommand("/usr/bin/timeout", {"20", QUARN_ANALYZER_BINARY, "-i", "qm100"}, ".",
                     {.environment = {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + runtime.path()}});
    EXPECT_EQ(unknown.exitStatus, kExitNoSuchAdapter);
    EXPECT_EQ(unknown.err, "analyzer: no adapter named qm100; the adapters are:\n" + indented);
}

TEST_F(LiveMainWindowTest, StartIsRefusedWhenTheBufferCannotBeBuilt)
{
    // Frame buffers that can still be had: 100 slots, then the capture's 16 receive buffers.
    for (const int64_t buffersLeft : {40, 100}) {
        SCOPED_TRACE(buffersLeft == 40 ? "session buffer" : "receive ring");
        Find<QLineEdit>(Form1, "Edit1")->setText("100");
        LimitFrameBufferAllocations(buffersLeft);
        const std::vector<RecordedMessage> told = PressStart();
        LimitFrameBufferAllocations(-1);
        EXPECT_EQ(told, std::vector{SimpleMessage(kNotEnoughMemory)});
        QCoreApplication::processEvents();
        ExpectCapturing(false);
    }
    EXPECT_TRUE(PressStart().empty()) << "with memory back, Start works again";
    EXPECT_TRUE(IsCapturing());
}

TEST_F(LiveMainWindowTest, ClosingTheMainWindowStopsTheCaptureFirst)
{
    EXPECT_TRUE(PressStart().empty());
    ASSERT_TRUE(IsCapturing());
    Form1->close();
    EXPECT_FALSE(IsCapturing());
    // A capture left running would end itself by reopening the adapter it lost.
    WaitCaptureEnd();
    EXPECT_EQ(BoundAdapter(), nullptr);
    EXPECT_EQ(net->CapturePromiscuity(), 0) << "the adapter was left open";
}

} // namespace
