// The buffer-size up-down control: what it reports from its edit's text and how
// its arrows step.
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "app/window/up_down.h"

namespace {

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

// The typed value even outside the range; for unreadable text, the last readable one.
TEST_F(UpDownTest, ReportsWhatWasTyped)
{
    const struct {
        const char* text;
        int16_t position;
    } readings[] = {
        {"5", 5},     {"5001", 5001}, {"9999", 9999}, {"0", 0},     {"-5", -5},
        {" 40 ", 40}, {"+20", 20},    {"0010", 10},   {"730", 730}, {"", 730},
        {"abc", 730}, {"1,000", 730}, {"12a", 730},   {"-", 730},   {"1 0", 730},
    };
    for (const auto& reading : readings) {
        edit.setText(reading.text);
        EXPECT_EQ(upDown.Position(), reading.position) << '"' << reading.text << '"';
    }
}

TEST_F(UpDownTest, ArrowsAndArrowKeysStepWithinTheRangeWithoutWrapping)
{
    QTest::keyClick(&edit, Qt::Key_Up);
    EXPECT_EQ(edit.text(), "110");
    QTest::keyClick(&edit, Qt::Key_Down);
    QTest::keyClick(&edit, Qt::Key_Down);
    EXPECT_EQ(edit.text(), "90");

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

} // namespace
