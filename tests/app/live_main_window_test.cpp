// The main window over a real adapter: the capture end of a veth pair in a
// network namespace of the test's own, with frames sent from the peer end.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <sstream>

#include "app/status.h"
#include "app/window/main_window_controls.h"
#include "app/window/tform1.h"
#include "capture/binding.h"
#include "capture/capture.h"
#include "report/report_writer.h"
#include "report/window/tform3.h"
#include "session/session_buffer.h"
#include "tests/app/window_test_support.h"
#include "tests/support/live_net.h"
#include "ui_tform1.h"

using namespace quarn::test;

namespace {

// Source MAC of the i-th test frame: 02:00:00:00:10:<i>.
std::vector<uint8_t> TestFrame(const std::array<uint8_t, 6>& destination, uint8_t i)
{
    std::vector<uint8_t> frame(60, 0);
    std::copy(destination.begin(), destination.end(), frame.begin());
    const uint8_t source[6] = {0x02, 0x00, 0x00, 0x00, 0x10, i};
    std::copy(std::begin(source), std::end(source), frame.begin() + 6);
    frame[12] = 0x88; // local experimental EtherType: nothing in the kernel answers it
    frame[13] = 0xB5;
    for (size_t at = 14; at < frame.size(); ++at)
        frame[at] = i;
    return frame;
}

std::string MacText(const std::array<uint8_t, 6>& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

class LiveMainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        QUARN_REQUIRE_LIVE();
        net.emplace();
        ASSERT_TRUE(net->Ready()) << net->Error();
        messages.emplace();
        directory.emplace();
        windows.emplace(); // binds the veth's capture end, the namespace's only adapter
    }

    void TearDown() override
    {
        windows.reset();
        directory.reset();
        messages.reset();
        net.reset();
    }

    Ui::TForm1& Ui() { return *Form1->ui; }
    QString Status() { return Ui().StatusBar1->currentMessage(); }

    std::vector<QWidget*> SessionControls()
    {
        return {Ui().RadioGroup2, Ui().SpeedButton4, Ui().SpeedButton5,
                Ui().Edit1,       Ui().UpDown1,      Ui().Label23};
    }

    void ExpectIdle()
    {
        EXPECT_FALSE(IsCapturing());
        EXPECT_EQ(Status(), QString::fromLatin1(kStatusIdle));
        for (QWidget* control : SessionControls())
            EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
        EXPECT_EQ(Ui().GroupBox5->palette().color(QPalette::WindowText), SessionGroupWindowText());
    }

    void ExpectCapturing()
    {
        EXPECT_TRUE(IsCapturing());
        EXPECT_EQ(Status(), QString::fromLatin1(kStatusCapturing));
        for (QWidget* control : SessionControls())
            EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
        for (QPushButton* button : {Ui().SpeedButton1, Ui().SpeedButton6, Ui().SpeedButton2})
            EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        EXPECT_EQ(Ui().GroupBox5->palette().color(QPalette::WindowText), SessionGroupGreyText());
    }

    std::vector<RecordedMessage> PressStart()
    {
        messages->Clear();
        Form1->SpeedButton1Click();
        return messages->Messages();
    }

    void Send(int count, uint8_t first = 0)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(net->Send(TestFrame(net->CaptureMac(), static_cast<uint8_t>(first + i))));
    }

    // A capture that ends by itself has ended and its updates have reached the window.
    bool CaptureEnded()
    {
        return ProcessEventsUntil([this] {
            return !IsCapturing() && Status() == QString::fromLatin1(kStatusIdle) &&
                   Ui().Edit1->isEnabled();
        });
    }

    std::optional<LiveNet> net;
    std::optional<MessageRecorder> messages;
    std::optional<TemporaryWorkingDirectory> directory;
    std::optional<ProgramWindows> windows;
};

TEST_F(LiveMainWindowTest, SessionCaptureOfTenFramesEndsByItselfAndIsWrittenInSendOrder)
{
    EXPECT_EQ(Ui().Label13->text().toStdString(), net->AdapterName());
    EXPECT_EQ(Ui().Label14->text().toStdString(), MacText(net->CaptureMac()));
    EXPECT_TRUE(messages->Messages().empty());

    Ui().Edit1->setText("10");
    EXPECT_TRUE(PressStart().empty());
    ExpectCapturing();

    Send(10);
    ASSERT_TRUE(CaptureEnded()) << "a full session buffer must end the capture";
    ExpectIdle();
    EXPECT_EQ(SessionBuffer::Count(), 10u);
    EXPECT_EQ(Ui().Label23->text(), "10");

    Form1->SpeedButton4Click();
    WaitReportEnd();
    ASSERT_TRUE(ProcessEventsUntil([] { return !Form3->Memo1->toPlainText().isEmpty(); }));

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
        const size_t nextBlock = report.find("--- Packet received:", block + 1);
        EXPECT_LT(mac, nextBlock) << source << " is not in block " << i;
        at = mac;
    }
    EXPECT_EQ(CountOf(report, "*** End of file"), 1);
    EXPECT_EQ(CountOf(Form3->Memo1->toPlainText().toStdString(), "--- Packet received:"), 10);
}

TEST_F(LiveMainWindowTest, CaptureGreysTheSessionGroupAndStopRestoresIt)
{
    Ui().RadioContinuousCapture->setChecked(true);
    Ui().Edit1->setText("100");
    EXPECT_TRUE(PressStart().empty());
    ExpectCapturing();

    EXPECT_EQ(PressStart(), std::vector{SimpleMessage(kThreadsRunning)})
        << "nothing stored yet, but the capture runs";
    Send(1);
    ASSERT_TRUE(ProcessEventsUntil([] { return SessionBuffer::Count() >= 1; }));
    EXPECT_EQ(PressStart(), std::vector{SimpleMessage(kBufferNotEmpty)});
    ExpectCapturing();

    Form1->SpeedButton6Click();
    QCoreApplication::processEvents();
    ExpectIdle();
    EXPECT_EQ(Ui().Label23->text(), "1");

    messages->Clear();
    Form1->SpeedButton6Click();
    EXPECT_TRUE(messages->Messages().empty());
    ExpectIdle();
}

TEST_F(LiveMainWindowTest, LargestBufferStartsAndATypedFiveIsTaken)
{
    Ui().Edit1->setText("5000");
    EXPECT_TRUE(PressStart().empty());
    EXPECT_TRUE(IsCapturing());
    EXPECT_EQ(SessionBuffer::Capacity(), 5000u);
    Form1->SpeedButton6Click();
    QCoreApplication::processEvents();
    ExpectIdle();

    Form1->SpeedButton5Click();
    Ui().Edit1->setText("5");
    EXPECT_TRUE(PressStart().empty());
    EXPECT_EQ(SessionBuffer::Capacity(), 5u);
    Send(6);
    ASSERT_TRUE(CaptureEnded());
    EXPECT_EQ(SessionBuffer::Count(), 5u);
    EXPECT_EQ(Ui().Label23->text(), "5");
}

TEST_F(LiveMainWindowTest, StartIsRefusedWhenTheBufferCannotBeBuilt)
{
    struct Shortage {
        const char* what;
        int64_t buffersLeft; // frame buffers that can still be had
    };
    // 100 slots, then the 16 receive buffers of the capture.
    for (const Shortage shortage : {Shortage{"session buffer", 40}, Shortage{"receive ring", 100}}) {
        SCOPED_TRACE(shortage.what);
        Ui().Edit1->setText("100");
        LimitFrameBufferAllocations(shortage.buffersLeft);
        const std::vector<RecordedMessage> told = PressStart();
        LimitFrameBufferAllocations(-1);
        EXPECT_EQ(told, std::vector{SimpleMessage(kNotEnoughMemory)});
        QCoreApplication::processEvents();
        ExpectIdle();
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
