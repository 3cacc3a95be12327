// The buffer-size up-down control: what it reports from its edit's text and how
// its arrows step.
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "app/window/up_down.h"

namespace {

struct Reading {
    const char* text;
    int16_t position;
};

class UpDownTest : public testing::Test {
protected:
    UpDownTest()
    {
        upDown.SetMinimum(10);
        upDown.SetMaximum(5000);
        upDown.SetIncrement(10);
        upDown.SetBuddy(&edit);
        upDown.SetPosition(100);
    }
    QLineEdit edit;
    UpDown upDown;
};

TEST_F(UpDownTest, ReportsTheTypedValueEvenOutsideItsRange)
{
    const Reading readings[] = {
        {"5", 5},     {"5001", 5001}, {"9999", 9999}, {"0", 0},   {"-5", -5},
        {" 40 ", 40}, {"+20", 20},    {"100", 100},   {"0010", 10},
    };
    for (const Reading& reading : readings) {
        edit.setText(reading.text);
        EXPECT_EQ(upDown.Position(), reading.position) << reading.text;
    }
}

TEST_F(UpDownTest, UnreadableTextReportsTheLastReadableValue)
{
    edit.setText("730");
    EXPECT_EQ(upDown.Position(), 730);
    for (const char* text : {"", "abc", "1,000", "12a", "-", "1 0"}) {
        edit.setText(text);
        EXPECT_EQ(upDown.Position(), 730) << '"' << text << '"';
    }
}

TEST_F(UpDownTest, ArrowsStepWithinTheRangeWithoutWrapping)
{
    upDown.SetPosition(4990);
    upDown.Step(+1);
    EXPECT_EQ(edit.text(), "5000") << "no thousands separator";
    upDown.Step(+1);
    EXPECT_EQ(edit.text(), "5000");

    upDown.SetPosition(20);
    upDown.Step(-1);
    upDown.Step(-1);
    EXPECT_EQ(edit.text(), "10");

    edit.setText("5001"); // typed beyond the range: the arrows come back into it
    upDown.Step(-1);
    EXPECT_EQ(edit.text(), "4990");
}

TEST_F(UpDownTest, ArrowKeysInTheEditStepTheControl)
{
    edit.setText("100");
    QTest::keyClick(&edit, Qt::Key_Up);
    EXPECT_EQ(edit.text(), "110");
    QTest::keyClick(&edit, Qt::Key_Down);
    QTest::keyClick(&edit, Qt::Key_Down);
    EXPECT_EQ(edit.text(), "90");
}

} // namespace
