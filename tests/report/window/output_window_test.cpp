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
#include "tests/filter/window/window_test_support.h"

namespace {

class OutputWindow : public testing::Test {
protected:
    MessageRecorder recorder;
    Windows windows;
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
    EXPECT_TRUE(Form3->Memo1->toPlainText().isEmpty());
    const QString last = "Frame 1\nFrame 2\n";
    EXPECT_TRUE(QTest::qWaitFor([&] { return Form3->Memo1->toPlainText() == last; }, 5000))
        << Form3->Memo1->toPlainText().toStdString();
}

TEST_F(OutputWindow, EveryByteIsOneCharacter)
{
    std::string text = "7F 80 FF |.";
    text += static_cast<char>(0xE9);
    text += static_cast<char>(0xFF);
    text += "|";
    Form3->TextArea()->ShowReportText(text);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form3->Memo1->toPlainText().isEmpty(); }, 5000));
    const QString shown = Form3->Memo1->toPlainText();
    EXPECT_EQ(shown.size(), static_cast<qsizetype>(text.size()));
    EXPECT_EQ(shown.at(11), QChar(0xE9));
    EXPECT_EQ(shown.at(12), QChar(0xFF));
}

TEST_F(OutputWindow, MemoShowsAFixedPitchFont)
{
    const QFont font = Form3->Memo1->font();
    EXPECT_EQ(font.pixelSize(), 13);
    // The dump's columns line up only if every character is equally wide.
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance("MMMMMMMM");
    for (const char* sample : {"........", "iiiiiiii", "        ", "|0F 1a|W"})
        EXPECT_EQ(metrics.horizontalAdvance(sample), width) << sample << " in " << QFontInfo(font).family().toStdString();
    EXPECT_EQ(Form3->Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_FALSE(Form3->Memo1->isReadOnly());
}

TEST_F(OutputWindow, OkHidesTheWindowAndKeepsTheText)
{
    Form3->show();
    Form3->Memo1->setPlainText("report");
    EXPECT_EQ(Form3->SpeedButton2->text(), "Ok");
    Form3->SpeedButton2->click();
    EXPECT_FALSE(Form3->isVisible());
    EXPECT_EQ(Form3->Memo1->toPlainText(), "report");
    EXPECT_EQ(Form3->windowTitle(), "Quarn Analyzer 1.0 Output [file saved as output.txt]");
}

} // namespace
