// The output window: the report handed over from the writer thread lands in
// Memo1 on the user-interface thread, in a fixed-pitch font; "Ok" hides it.
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "report/window/tform3.h"
#include "tests/support/window_test_support.h"

namespace {

class OutputWindow : public testing::Test {
protected:
    MessageRecorder recorder;
    Windows windows;
    QPlainTextEdit* memo = Find<QPlainTextEdit>(Form3, "Memo1");
};

TEST_F(OutputWindow, TextFromTheWriterThreadArrivesWholeAndInOrder)
{
    Form3->show();
    ReportTextArea* area = Form3->TextArea();
    std::thread writer([area] {
        area->ShowReportText("first run");
        area->ShowReportText("Frame 1\nFrame 2\n");
    });
    writer.join();
    // Posted, not set from the writer thread.
    EXPECT_TRUE(memo->toPlainText().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return memo->toPlainText() == "Frame 1\nFrame 2\n"; }, 5000))
        << memo->toPlainText().toStdString();
}

TEST_F(OutputWindow, EveryByteIsOneCharacter)
{
    const std::string text = "7F 80 FF |.\xE9\xFF|";
    Form3->TextArea()->ShowReportText(text);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !memo->toPlainText().isEmpty(); }, 5000));
    const QString shown = memo->toPlainText();
    EXPECT_EQ(shown.size(), static_cast<qsizetype>(text.size()));
    EXPECT_EQ(shown.at(11), QChar(0xE9));
    EXPECT_EQ(shown.at(12), QChar(0xFF));
}

// The dump's columns line up only if every character is equally wide.
TEST_F(OutputWindow, MemoShowsAFixedPitchFont)
{
    const QFontMetrics metrics(memo->font());
    const int width = metrics.horizontalAdvance("MMMMMMMM");
    for (const char* sample : {"........", "iiiiiiii", "        ", "|0F 1a|W"})
        EXPECT_EQ(metrics.horizontalAdvance(sample), width)
            << sample << " in " << QFontInfo(memo->font()).family().toStdString();
}

TEST_F(OutputWindow, OkHidesTheWindowAndKeepsTheText)
{
    Form3->show();
    memo->setPlainText("report");
    Find<QToolButton>(Form3, "SpeedButton2")->click();
    EXPECT_FALSE(Form3->isVisible());
    EXPECT_EQ(memo->toPlainText(), "report");
}

} // namespace
