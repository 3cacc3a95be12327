// The main window without a network adapter: the splash gate, Start's refusals
// and their order, Clear buffer, Write output during a report, the updates from
// worker threads.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sched.h>
#include <thread>
#include <unistd.h>

#include "app/status.h"
#include "app/window/qt_messages.h"
#include "app/window/tform1.h"
#include "app/window/tform7.h"
#include "filter/window/tform2.h"
#include "capture/binding.h"
#include "capture/capture.h"
#include "report/report_writer.h"
#include "report/window/tform3.h"
#include "session/session_buffer.h"
#include "tests/support/window_test_support.h"

namespace {

// As root, the process moves into an empty network namespace before anything
// runs, so no adapter exists; without root there is no packet socket anyway.
[[maybe_unused]] const bool kOwnNetwork = [] {
    if (geteuid() == 0 && unshare(CLONE_NEWNET) != 0) {
        std::perror("unshare(CLONE_NEWNET)");
        std::abort();
    }
    return true;
}();

const RecordedMessage kNoAdapter{std::string(kNoAdapterMessage), std::string(kNoAdapterCaption)};

class MainWindowTest : public testing::Test {
protected:
    QString Status() { return Find<QStatusBar>(Form1, "StatusBar1")->currentMessage(); }

    // Presses Start and returns what it told the operator.
    std::vector<RecordedMessage> PressStart()
    {
        recorder.messages.clear();
        Form1->SpeedButton1Click();
        return recorder.messages;
    }

    MessageRecorder recorder; // installed before the windows are built
    TemporaryWorkingDirectory directory;
    ProgramWindows windows;
};

TEST_F(MainWindowTest, WithoutAdapterTheLabelsSayNoneAndTheProgramIsAskedToEnd)
{
    EXPECT_EQ(Find<QLabel>(Form1, "Label13")->text(), "none");
    EXPECT_EQ(Find<QLabel>(Form1, "Label14")->text(), "none");
    EXPECT_EQ(recorder.messages, std::vector{kNoAdapter});
    EXPECT_EQ(recorder.quitRequests, 1);
}

TEST_F(MainWindowTest, SplashHoldsTheMainWindowUntilItsOk)
{
    Find<QLineEdit>(Form1, "Edit1")->setText("0"); // a Start that gets through would be refused aloud
    Form1->show();
    EXPECT_TRUE(Form1->isVisible());
    EXPECT_FALSE(Form1->isEnabled());
    EXPECT_TRUE(Form7->isVisible());

    recorder.messages.clear();
    QPushButton* start = Find<QPushButton>(Form1, "SpeedButton1");
    QTest::mouseClick(start, Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>(Form1, "SpeedButton5"), Qt::LeftButton);
    EXPECT_TRUE(recorder.messages.empty());

    QTest::mouseClick(Find<QPushButton>(Form7, "SpeedButton1"), Qt::LeftButton);
    EXPECT_TRUE(Form1->isEnabled());
    EXPECT_FALSE(Form7->isVisible());

    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(recorder.messages, std::vector{SimpleMessage(kBufferTooSmall)});
}

struct Refusal {
    const char* what;
    uint32_t stored;    // frames left in the session buffer
    bool reportRunning; // a report is being written
    const char* size;   // Edit1's text
    RecordedMessage message;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.what; }

class StartRefusalTest : public MainWindowTest, public testing::WithParamInterface<Refusal> {};

// Without an adapter, a size that passes the four checks reaches the adapter
// check, which refuses with the no-adapter box and leaves everything as it was.
TEST_P(StartRefusalTest, RefusesWithTheFirstFailingCheckAndChangesNothing)
{
    const Refusal& refusal = GetParam();
    FillSessionBuffer(2, 1);
    HeldTextArea area;
    if (refusal.reportRunning) {
        StartReport(&area, "output.txt");
        area.entered.wait();
    }
    if (refusal.stored == 0)
        SessionBuffer::ClearCount();
    Find<QLineEdit>(Form1, "Edit1")->setText(refusal.size);
    const QString statusBefore = Status();
    recorder.quitRequests = 0;

    EXPECT_EQ(PressStart(), std::vector{refusal.message});

    EXPECT_EQ(recorder.quitRequests, 0);
    EXPECT_FALSE(IsCapturing());
    EXPECT_EQ(SessionBuffer::Count(), refusal.stored);
    EXPECT_EQ(SessionBuffer::Capacity(), 2u) << "the old buffer was released";
    EXPECT_EQ(Status(), statusBefore);
    ExpectSessionGroup(true);
    area.released.count_down();
    WaitReportEnd();
}

INSTANTIATE_TEST_SUITE_P(
    Checks, StartRefusalTest,
    testing::Values(Refusal{"StoredFrameBeforeAnything", 1, true, "5001", SimpleMessage(kBufferNotEmpty)},
                    Refusal{"StoredFrame", 1, false, "100", SimpleMessage(kBufferNotEmpty)},
                    Refusal{"ReportRunningWithBufferCleared", 0, true, "0", SimpleMessage(kThreadsRunning)},
                    Refusal{"Zero", 0, false, "0", SimpleMessage(kBufferTooSmall)},
                    Refusal{"Negative", 0, false, "-5", SimpleMessage(kBufferTooSmall)},
                    Refusal{"OneOverTheLargest", 0, false, "5001", SimpleMessage(kBufferTooBig)},
                    Refusal{"LargestTypeable", 0, false, "9999", SimpleMessage(kBufferTooBig)},
                    Refusal{"LargestPassesTheSizeChecks", 0, false, "5000", kNoAdapter},
                    Refusal{"OnePassesTheSizeChecks", 0, false, "1", kNoAdapter}),
    [](const testing::TestParamInfo<Refusal>& info) { return info.param.what; });

// "Save capture as..." from the context menu (Ctrl+S is the same action): refused
// without frames, silent when the dialog is cancelled, and a failed save says
// which file and why.
TEST_F(MainWindowTest, SaveCaptureAsRefusesAnEmptyBufferAndTellsAFailedSave)
{
    ASSERT_EQ(Form1->contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction* save = Find<QAction>(Form1, "SaveCaptureAs1");
    ASSERT_EQ(Form1->actions(), (QList<QAction*>{Find<QAction>(Form1, "OpenCapture1"), save}));
    EXPECT_EQ(save->text(), "Save capture as...");
    EXPECT_EQ(save->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));

    const struct {
        const char* what;
        uint32_t stored;
        const char* answer;
        std::vector<RecordedMessage> told;
        int asked;
    } cases[] = {
        {"empty buffer", 0, "saved.pcap", {SimpleMessage(kSaveEmptyBuffer)}, 0},
        {"cancelled", 3, "", {}, 1},
        {"missing folder",
         3,
         "missing/saved.pcap",
         {SimpleMessage(
             SaveErrorMessage("missing/saved.pcap", "cannot create a file beside it: No such file or directory"))},
         1},
        {"saved", 3, "saved.pcap", {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FillSessionBuffer(5, c.stored);
        SaveDialogAnswer dialog(QString::fromLatin1(c.answer));
        recorder.messages.clear();
        save->trigger();
        EXPECT_EQ(recorder.messages, c.told);
        EXPECT_EQ(dialog.asked, c.asked);
    }
    EXPECT_GT(ReadFile("saved.pcap").size(), 24u) << "a header and three frames";
}

TEST_F(MainWindowTest, ClearBufferEmptiesTheCountAndTheCounterButKeepsTheSlots)
{
    FillSessionBuffer(5, 5);
    CountFrame();
    CountFrame();
    Find<QLabel>(Form1, "Label23")->setText("2");

    QTest::mouseClick(Find<QPushButton>(Form1, "SpeedButton5"), Qt::LeftButton);

    EXPECT_EQ(SessionBuffer::Count(), 0u);
    EXPECT_EQ(SessionBuffer::Capacity(), 5u);
    EXPECT_EQ(FrameCounter(), 0);
    EXPECT_EQ(Find<QLabel>(Form1, "Label23")->text(), "0");
    EXPECT_EQ(PressStart(), std::vector{kNoAdapter}) << "Start gets past the stored-frame check";
}

TEST_F(MainWindowTest, WriteOutputDuringAReportEmptiesTheWindowButStartsNoSecondWriter)
{
    constexpr int kFrames = 3000;
    FillSessionBuffer(kFrames, kFrames);
    QStringList statusTexts;
    QObject::connect(Find<QStatusBar>(Form1, "StatusBar1"), &QStatusBar::messageChanged,
                     [&](const QString& text) { statusTexts << text; });
    QPlainTextEdit* memo = Find<QPlainTextEdit>(Form3, "Memo1");
    memo->setPlainText("left from an earlier report");

    Form1->SpeedButton4Click();
    ASSERT_TRUE(IsReportWriting()) << "the report ended too soon to press twice during it";
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_TRUE(memo->toPlainText().isEmpty());

    memo->setPlainText("typed while the report is written");
    int reportsShown = 0;
    QObject::connect(memo, &QPlainTextEdit::textChanged,
                     [&] { reportsShown += memo->toPlainText().contains("*** End of file"); });
    Form1->SpeedButton4Click();
    EXPECT_TRUE(memo->toPlainText().isEmpty());

    WaitReportEnd();
    ASSERT_TRUE(QTest::qWaitFor([memo] { return !memo->toPlainText().isEmpty(); }, 5000));
    const std::string shown = memo->toPlainText().toStdString();
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

// Updates from a worker reach the window on its own thread, in order; while the
// session controls are disabled the counter label is refreshed at a steady rate,
// and enabling them shows the final count.
TEST_F(MainWindowTest, WorkerUpdatesGreyTheSessionGroupAndCountInOrder)
{
    QLabel* counter = Find<QLabel>(Form1, "Label23");
    const QString hint = "The number of packets sniffed from the network";
    EXPECT_EQ(counter->toolTip(), hint);
    ResetFrameCounter();
    EXPECT_EQ(counter->toolTip(), hint) << "kept until the first capture";
    QStringList statusTexts;
    QObject::connect(Find<QStatusBar>(Form1, "StatusBar1"), &QStatusBar::messageChanged,
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
    ExpectSessionGroup(true);

    QCoreApplication::processEvents();
    const QStringList expected{QString::fromLatin1(kStatusAllocating), QString::fromLatin1(kStatusCapturing),
                               QString::fromLatin1(kStatusIdle), QString::fromLatin1(kStatusWriting)};
    EXPECT_EQ(statusTexts, expected);
    ExpectSessionGroup(false);

    for (int i = 0; i < 3; ++i)
        CountFrame();
    EXPECT_TRUE(QTest::qWaitFor([counter] { return counter->text() == "3"; }, 2000))
        << "the counter label was not refreshed during the capture";
    EXPECT_EQ(counter->toolTip(), "Received 3, kept 3, refused by the filters 0, lost 0")
        << "the tool tip is refreshed with the counter";
    CountFrame();
    EnableSessionControls();
    ExpectSessionGroup(true);
    EXPECT_EQ(counter->text(), "4") << "the final count is shown when the capture ends";
    EXPECT_EQ(counter->toolTip(), "Received 4, kept 4, refused by the filters 0, lost 0");
}

TEST_F(MainWindowTest, PicturesAreFoundAndEdit1TakesFourCharacters)
{
    for (const char* name : {"SpeedButton1", "SpeedButton6", "SpeedButton2", "SpeedButton4", "SpeedButton5"})
        EXPECT_FALSE(Find<QPushButton>(Form1, name)->icon().pixmap(19, 19).isNull()) << name;
    EXPECT_EQ(Find<QLabel>(Form7, "Image1")->pixmap().size(), QSize(458, 260)) << "splash picture not found";
    EXPECT_FALSE(Find<QToolButton>(Form3, "SpeedButton2")->icon().pixmap(16, 16).isNull()) << "output's Ok";

    QLineEdit* size = Find<QLineEdit>(Form1, "Edit1");
    size->clear();
    size->setFocus();
    QTest::keyClicks(size, "50010");
    EXPECT_EQ(size->text(), "5001");
}

// The counter, up to ten digits (the largest count), keeps clear of "Packets
// received:" and of every other control, right-aligned inside the "Session"
// group. Measured with the font the window really uses.
TEST_F(MainWindowTest, TenDigitCounterTouchesNothing)
{
    QLabel* counter = Find<QLabel>(Form1, "Label23");
    counter->setText("1234567890");
    // Where a label draws its text, in the group's coordinates.
    const auto textRect = [](const QLabel* label) {
        return label->fontMetrics()
            .boundingRect(label->contentsRect(), static_cast<int>(label->alignment()), label->text())
            .translated(label->pos());
    };
    const QRect digits = textRect(counter);
    EXPECT_TRUE(counter->alignment() & Qt::AlignRight);
    const QGroupBox* session = Find<QGroupBox>(Form1, "GroupBox5");
    EXPECT_TRUE(session->rect().adjusted(1, 1, -1, -1).contains(counter->geometry()));
    EXPECT_TRUE(counter->contentsRect().translated(counter->pos()).contains(digits)) << "digits cut off";
    // One clear pixel at least: adjacent rectangles touch.
    EXPECT_FALSE(digits.intersects(textRect(Find<QLabel>(Form1, "Label22")).adjusted(-1, -1, 1, 1)));
    for (const QWidget* other : session->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != counter) {
            EXPECT_FALSE(counter->geometry().intersects(other->geometry())) << other->objectName().toStdString();
        }
    }
}

TEST_F(MainWindowTest, GroupBoxFramesTouchNoText) { ExpectGroupBoxesClear(Form1); }

// Closing the main window ends the program whatever else is open, the filter
// window too, which refuses to close (its OK is the only way out).
TEST_F(MainWindowTest, ClosingItEndsTheProgramWithOtherWindowsOpen)
{
    Form1->show();
    Form7->SpeedButton1Click();
    Form1->SpeedButton2Click();
    Form3->show();
    QTimer::singleShot(0, Form1, [] { Form1->close(); });
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    giveUp.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the program went on running";
    EXPECT_TRUE(Form2->isVisible());
}

// The no-adapter path asks for the end while the windows are still being built,
// before the message loop runs: the request must survive until it does, and
// the program then ends with status 1.
TEST(QtMessageSeamTest, QuitRequestedBeforeTheLoopEndsItAsSoonAsItRuns)
{
    QtMessageSeam seam;
    seam.RequestQuit();
    QTimer::singleShot(3000, [] { QCoreApplication::exit(2); });
    EXPECT_EQ(QCoreApplication::exec(), 1);
}

} // namespace
