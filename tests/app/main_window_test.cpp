// The main window without a network adapter (the tests run in a network
// namespace of their own): the splash gate, Start's refusals and their order,
// Clear buffer, Write output during a report, and the windows' make-up.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "app/status.h"
#include "app/window/main_window_controls.h"
#include "app/window/qt_messages.h"
#include "app/window/tform1.h"
#include "app/window/tform7.h"
#include "app/window/up_down.h"
#include "capture/binding.h"
#include "capture/capture.h"
#include "report/report_writer.h"
#include "report/window/tform3.h"
#include "session/session_buffer.h"
#include "tests/app/window_test_support.h"
#include "ui_tform1.h"
#include "ui_tform7.h"

using namespace quarn::test;

namespace {

// A text area that holds the report writer in its last step until released, so
// a test can act while the writer is certainly still running.
class HeldTextArea final : public ReportTextArea {
public:
    void ShowReportText(std::string text) override
    {
        std::unique_lock lock(m_mutex);
        m_text = std::move(text);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_released; });
    }
    void WaitEntered()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_entered; });
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_text;
    bool m_entered = false;
    bool m_released = false;
};

class MainWindowTest : public testing::Test {
protected:
    Ui::TForm1& Ui() { return *Form1->ui; }

    QString Status() { return Ui().StatusBar1->currentMessage(); }

    std::vector<QWidget*> SessionControls()
    {
        return {Ui().RadioGroup2, Ui().SpeedButton4, Ui().SpeedButton5,
                Ui().Edit1,       Ui().UpDown1,      Ui().Label23};
    }

    bool SessionControlsEnabled()
    {
        for (QWidget* control : SessionControls())
            if (!control->isEnabled())
                return false;
        return true;
    }

    // Presses Start and returns what it told the operator.
    std::vector<RecordedMessage> PressStart()
    {
        messages.Clear();
        Form1->SpeedButton1Click();
        return messages.Messages();
    }

    MessageRecorder messages; // installed before the windows are built
    TemporaryWorkingDirectory directory;
    ProgramWindows windows;
};

TEST_F(MainWindowTest, WithoutAdapterTheLabelsSayNoneAndTheProgramIsAskedToEnd)
{
    EXPECT_EQ(Ui().Label13->text(), "none");
    EXPECT_EQ(Ui().Label14->text(), "none");
    const std::vector<RecordedMessage> expected{
        {std::string(kNoAdapterMessage), std::string(kNoAdapterCaption)}};
    EXPECT_EQ(messages.Messages(), expected);
    EXPECT_EQ(messages.QuitRequests(), 1);
}

TEST_F(MainWindowTest, SplashHoldsTheMainWindowUntilItsOk)
{
    Ui().Edit1->setText("0"); // a Start that gets through would be refused aloud
    Form1->show();
    EXPECT_TRUE(Form1->isVisible());
    EXPECT_FALSE(Form1->isEnabled());
    EXPECT_TRUE(Form7->isVisible());

    messages.Clear();
    QTest::mouseClick(Ui().SpeedButton1, Qt::LeftButton);
    QTest::mouseClick(Ui().SpeedButton5, Qt::LeftButton);
    EXPECT_TRUE(messages.Messages().empty());

    QTest::mouseClick(Form7->ui->SpeedButton1, Qt::LeftButton);
    EXPECT_TRUE(Form1->isEnabled());
    EXPECT_FALSE(Form7->isVisible());

    QTest::mouseClick(Ui().SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(messages.Messages(), std::vector{SimpleMessage(kBufferTooSmall)});
}

struct Refusal {
    const char* what;
    uint32_t stored;     // frames left in the session buffer
    bool reportRunning;  // a report is being written
    const char* size;    // Edit1's text
    std::string_view message;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.what; }

class StartRefusalTest : public MainWindowTest, public testing::WithParamInterface<Refusal> {};

TEST_P(StartRefusalTest, RefusesWithTheFirstFailingCheckAndChangesNothing)
{
    const Refusal& refusal = GetParam();
    FillSessionBuffer(2, 1);
    HeldTextArea area;
    if (refusal.reportRunning) {
        StartReport(&area, "output.txt");
        area.WaitEntered();
    }
    if (refusal.stored == 0)
        SessionBuffer::ClearCount();
    Ui().Edit1->setText(refusal.size);
    const QString statusBefore = Status();

    EXPECT_EQ(PressStart(), std::vector{SimpleMessage(refusal.message)});

    EXPECT_FALSE(IsCapturing());
    EXPECT_EQ(SessionBuffer::Count(), refusal.stored);
    EXPECT_EQ(SessionBuffer::Capacity(), 2u) << "the old buffer was released";
    EXPECT_EQ(Status(), statusBefore);
    EXPECT_TRUE(SessionControlsEnabled());
    area.Release();
    WaitReportEnd();
}

INSTANTIATE_TEST_SUITE_P(
    Checks, StartRefusalTest,
    testing::Values(
        Refusal{"StoredFrameBeforeAnything", 1, true, "5001", kBufferNotEmpty},
        Refusal{"StoredFrame", 1, false, "100", kBufferNotEmpty},
        Refusal{"ReportRunningWithBufferCleared", 0, true, "0", kThreadsRunning},
        Refusal{"Zero", 0, false, "0", kBufferTooSmall},
        Refusal{"Negative", 0, false, "-5", kBufferTooSmall},
        Refusal{"OneOverTheLargest", 0, false, "5001", kBufferTooBig},
        Refusal{"LargestTypeable", 0, false, "9999", kBufferTooBig}),
    [](const testing::TestParamInfo<Refusal>& info) { return info.param.what; });

// Without an adapter a size that passes the four checks reaches the adapter
// check, which refuses with the no-adapter box and leaves everything as it was.
TEST_F(MainWindowTest, SizesFromOneToTheLargestPassTheSizeChecks)
{
    for (const char* size : {"5000", "5", "1", "10"}) {
        SCOPED_TRACE(size);
        Ui().Edit1->setText(size);
        const std::vector<RecordedMessage> expected{
            {std::string(kNoAdapterMessage), std::string(kNoAdapterCaption)}};
        EXPECT_EQ(PressStart(), expected);
        EXPECT_EQ(messages.QuitRequests(), 0);
        EXPECT_FALSE(IsCapturing());
        EXPECT_EQ(Status(), QString::fromLatin1(kStatusIdle));
        EXPECT_TRUE(SessionControlsEnabled());
    }
}

TEST_F(MainWindowTest, ClearBufferEmptiesTheCountAndTheCounterButKeepsTheSlots)
{
    FillSessionBuffer(5, 5);
    CountFrame();
    CountFrame();
    Ui().Label23->setText("2");

    QTest::mouseClick(Ui().SpeedButton5, Qt::LeftButton);

    EXPECT_EQ(SessionBuffer::Count(), 0u);
    EXPECT_EQ(SessionBuffer::Capacity(), 5u);
    EXPECT_EQ(FrameCounter(), 0);
    EXPECT_EQ(Ui().Label23->text(), "0");
    EXPECT_EQ(PressStart(), (std::vector<RecordedMessage>{
                                {std::string(kNoAdapterMessage), std::string(kNoAdapterCaption)}}))
        << "after Clear buffer, Start gets past the stored-frame check";
}

TEST_F(MainWindowTest, WriteOutputDuringAReportEmptiesTheWindowButStartsNoSecondWriter)
{
    constexpr int kFrames = 3000;
    FillSessionBuffer(kFrames, kFrames);
    QStringList statusTexts;
    QObject::connect(Ui().StatusBar1, &QStatusBar::messageChanged,
                     [&](const QString& text) { statusTexts << text; });
    Form3->Memo1->setPlainText("left from an earlier report");

    Form1->SpeedButton4Click();
    ASSERT_TRUE(IsReportWriting()) << "the report ended too soon to press twice during it";
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_TRUE(Form3->Memo1->toPlainText().isEmpty());

    Form3->Memo1->setPlainText("typed while the report is written");
    int reportsShown = 0;
    QObject::connect(Form3->Memo1, &QPlainTextEdit::textChanged, [&] {
        if (Form3->Memo1->toPlainText().contains("*** End of file"))
            ++reportsShown;
    });
    Form1->SpeedButton4Click();
    EXPECT_TRUE(Form3->Memo1->toPlainText().isEmpty());

    WaitReportEnd();
    ASSERT_TRUE(ProcessEventsUntil([] { return !Form3->Memo1->toPlainText().isEmpty(); }));
    const std::string shown = Form3->Memo1->toPlainText().toStdString();
    const std::string file = ReadFile("output.txt");
    EXPECT_EQ(CountOf(file, "Assigned number:"), kFrames);
    EXPECT_EQ(CountOf(file, "Quarn Analyser Output File"), 1);
    EXPECT_EQ(CountOf(file, "*** End of file"), 1);
    EXPECT_EQ(CountOf(shown, "Assigned number:"), kFrames);
    EXPECT_EQ(CountOf(shown, "*** End of file"), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(reportsShown, 1) << "a second writer filled the window again";
    EXPECT_EQ(statusTexts.last(), QString::fromLatin1(kStatusIdle));
}

TEST_F(MainWindowTest, SessionGroupGreysWhileDisabledAndCountsAtASteadyRate)
{
    ResetFrameCounter();
    DisableSessionControls();
    for (QWidget* control : SessionControls())
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    for (QPushButton* button : {Ui().SpeedButton1, Ui().SpeedButton6, Ui().SpeedButton2})
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    EXPECT_EQ(Ui().GroupBox5->palette().color(QPalette::WindowText), SessionGroupGreyText());
    EXPECT_NE(SessionGroupGreyText(), SessionGroupWindowText());

    for (int i = 0; i < 3; ++i)
        CountFrame();
    EXPECT_TRUE(ProcessEventsUntil([this] { return Ui().Label23->text() == "3"; }, 2000))
        << "the counter label was not refreshed during the capture";

    CountFrame();
    EnableSessionControls();
    EXPECT_TRUE(SessionControlsEnabled());
    EXPECT_EQ(Ui().GroupBox5->palette().color(QPalette::WindowText), SessionGroupWindowText());
    EXPECT_EQ(Ui().Label23->text(), "4") << "the final count is shown when the capture ends";
}

TEST_F(MainWindowTest, WorkerThreadUpdatesReachTheWindowOnItsOwnThreadInOrder)
{
    QStringList statusTexts;
    QObject::connect(Ui().StatusBar1, &QStatusBar::messageChanged,
                     [&](const QString& text) { statusTexts << text; });
    std::thread worker([] {
        ShowAllocationStatus(true);
        DisableSessionControls();
        ShowCaptureStatus(true);
        ShowFrameCounter(7);
        EnableSessionControls();
        ShowCaptureStatus(false);
        DisableSessionControls();
        ShowReportStatus(true);
    });
    worker.join();
    EXPECT_TRUE(statusTexts.isEmpty()) << "a widget was touched from the worker thread";
    EXPECT_TRUE(SessionControlsEnabled());

    QCoreApplication::processEvents();
    const QStringList expected{QString::fromLatin1(kStatusAllocating),
                               QString::fromLatin1(kStatusCapturing),
                               QString::fromLatin1(kStatusIdle), QString::fromLatin1(kStatusWriting)};
    EXPECT_EQ(statusTexts, expected);
    for (QWidget* control : SessionControls())
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    EnableSessionControls();
}

TEST_F(MainWindowTest, WindowsAreBuiltAsTheOperatorUsesThem)
{
    EXPECT_EQ(Status(), QString::fromLatin1(kStatusIdle));

    // Glyph buttons: a 19 x 19 picture that was found, and no keyboard focus.
    for (QPushButton* button : {Ui().SpeedButton1, Ui().SpeedButton6, Ui().SpeedButton2,
                                Ui().SpeedButton4, Ui().SpeedButton5}) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(button->iconSize(), QSize(19, 19));
        EXPECT_FALSE(button->icon().pixmap(19, 19).isNull());
    }

    // The buffer size: Edit1 takes four characters, the up-down starts at 100.
    EXPECT_EQ(Ui().Edit1->text(), "100");
    EXPECT_EQ(Ui().UpDown1->Position(), 100);
    Ui().Edit1->clear();
    Ui().Edit1->setFocus();
    QTest::keyClicks(Ui().Edit1, "50010");
    EXPECT_EQ(Ui().Edit1->text(), "5001");
    EXPECT_TRUE(Ui().RadioSessionCapture->isChecked());
    EXPECT_FALSE(Form1->ContinuousSelected());

    EXPECT_EQ(Form7->ui->Image1->pixmap().size(), QSize(458, 260)) << "splash picture not found";
}

// The no-adapter path asks for the end while the windows are still being built,
// before the message loop runs: the request must survive until it does.
TEST(QtMessageSeamTest, QuitRequestedBeforeTheLoopEndsItAsSoonAsItRuns)
{
    QtMessageSeam seam;
    seam.RequestQuit();
    QTimer::singleShot(3000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

} // namespace
