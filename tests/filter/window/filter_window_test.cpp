// The filter window's OK action, its interlocks and its edit limits, as an
// operator meets them: controls set, OK pressed, the published slots read back.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "filter/frame_filter.h"
#include "filter/window/tform2.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#include "tests/support/window_test_support.h"

namespace {

using Mac = std::array<uint8_t, 6>;
using Ip = std::array<uint8_t, 4>;

constexpr Mac kSample = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
constexpr Mac kOld = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
const RecordedMessage kInvalidMAC{"Invalid MAC address", "Error"};

struct Published {
    FrameFilter f1, f2;
};
Published Read()
{
    Published p;
    ReadFilters(p.f1, p.f2);
    return p;
}

class FilterWindow : public testing::Test {
protected:
    void SetUp() override { Form2->show(); }
    void PressOK() { Find<QToolButton>(Form2, "SpeedButton1")->click(); }
    static QCheckBox* Box(const char* name) { return Find<QCheckBox>(Form2, name); }
    static QLineEdit* Edit(const char* name) { return Find<QLineEdit>(Form2, name); }

    MessageRecorder recorder;
    Windows windows;
};

TEST_F(FilterWindow, IPTextsGiveTheirBytesInEitherFilter)
{
    const struct {
        const char* text;
        Ip bytes;
    } cases[] = {
        {"192.168.1.20", {0xC0, 0xA8, 0x01, 0x14}},
        {"10.1", {0x0A, 0x01, 0x00, 0x00}},
        {"300.1.1.1", {0x2C, 0x01, 0x01, 0x01}},
        {"1.2.3.4.5", {0x01, 0x02, 0x03, 0x2D}},
        {"", {0x00, 0x00, 0x00, 0x00}},
        {" 10.1.1.1", {0x00, 0x01, 0x01, 0x01}},
    };
    for (QCheckBox* box :
         {Box("CheckBoxIPSource1"), Box("CheckBoxIPDest1"), Box("CheckBoxIPSource2"), Box("CheckBoxIPDest2")})
        box->setChecked(true);
    for (const auto& c : cases) {
        Form2->show();
        for (QLineEdit* edit :
             {Edit("EditIPSource1"), Edit("EditIPDest1"), Edit("EditIPSource2"), Edit("EditIPDest2")}) {
            edit->clear();
            QTest::keyClicks(edit, QString::fromLatin1(c.text));
        }
        PressOK();
        const Published p = Read();
        for (const uint8_t(*field)[4] : {&p.f1.IPSource, &p.f1.IPDest, &p.f2.IPSource, &p.f2.IPDest})
            EXPECT_EQ(std::to_array(*field), c.bytes) << c.text;
        EXPECT_TRUE(p.f1.IPSourceOn && p.f1.IPDestOn && p.f2.IPSourceOn && p.f2.IPDestOn);
        EXPECT_FALSE(Form2->isVisible());
    }
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(FilterWindow, ShortFilter1MACStopsOKWithTheFlagsAlreadyWritten)
{
    FrameFilter before1, before2;
    before1.MACSource[0] = 0xAA;
    before2.IPXSource[5] = 0x77;
    PublishFilters(before1, before2);

    Box("CheckBoxEnableFilter1")->setChecked(true);
    Box("CheckBoxMACSource1")->setChecked(true);
    Edit("EditMACSource1")->setText("00-1A-2B-3C-4D");
    // Fields after the failing one, in both filters, must stay as they were.
    Box("CheckBoxMACDest1")->setChecked(true);
    Edit("EditMACDest1")->setText("00-1A-2B-3C-4D-5E");
    Box("CheckBoxIP1")->setChecked(true);
    Box("CheckBoxEnableFilter2")->setChecked(true);
    Box("CheckBoxIPXSource2")->setChecked(true);
    Edit("EditIPXSource2")->setText("00-1A-2B-3C-4D-5E");
    Form4->show();

    PressOK();

    EXPECT_EQ(recorder.messages, std::vector{kInvalidMAC});
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_TRUE(Form4->isVisible());
    const Published p = Read();
    EXPECT_TRUE(p.f1.Enabled);
    EXPECT_TRUE(p.f1.MACSourceOn);
    EXPECT_EQ(std::to_array(p.f1.MACSource), std::to_array(before1.MACSource));
    EXPECT_FALSE(p.f1.MACDestOn);
    EXPECT_EQ(std::to_array(p.f1.MACDest), Mac{});
    EXPECT_FALSE(p.f1.ProtoIP);
    EXPECT_FALSE(p.f2.Enabled);
    EXPECT_FALSE(p.f2.IPXSourceOn);
    EXPECT_EQ(std::to_array(p.f2.IPXSource), std::to_array(before2.IPXSource));

    // Mended text: the next OK goes through.
    Edit("EditMACSource1")->setText("00:1a:2b:3c:4d:5e");
    PressOK();
    EXPECT_EQ(recorder.messages.size(), 1u);
    EXPECT_FALSE(Form2->isVisible());
    const Published q = Read();
    EXPECT_EQ(std::to_array(q.f1.MACSource), kSample);
    EXPECT_EQ(std::to_array(q.f1.MACDest), kSample);
    EXPECT_TRUE(q.f1.ProtoIP);
    EXPECT_TRUE(q.f2.Enabled);
    EXPECT_EQ(std::to_array(q.f2.IPXSource), kSample);
}

// A disabled Filter 1's MAC text is not examined; a disabled Filter 2 takes
// only a full node address, an enabled one validates like Filter 1, after
// Filter 1 was read whole.
TEST_F(FilterWindow, MACRulesByFilterAndEnableState)
{
    FrameFilter before;
    std::memcpy(before.MACDest, kOld.data(), 6);
    Box("CheckBoxMACDest1")->setChecked(true);
    Edit("EditMACDest1")->setText("no digits here!");
    Box("CheckBoxIPSource1")->setChecked(true);
    Edit("EditIPSource1")->setText("10.0.0.1");
    Box("CheckBoxMACDest2")->setChecked(true);
    Box("CheckBoxUDP2")->setChecked(true);
    const struct {
        bool enabled; // Filter 2
        const char* text;
        bool refused;
        Mac bytes;
    } cases[] = {
        {false, "001A2B3C4D5E", false, kOld},
        {false, "00-1A-2B-3C-4D-5E", false, kSample},
        {true, "001A2B3C4D5E", false, kSample},
        {true, "00-1A-2B-3C-4D", true, kOld},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.enabled ? "on: " : "off: ") << c.text);
        PublishFilters(before, before);
        recorder.messages.clear();
        Form2->show();
        Box("CheckBoxEnableFilter2")->setChecked(c.enabled);
        Edit("EditMACDest2")->setText(c.text);

        PressOK();

        EXPECT_EQ(recorder.messages, c.refused ? std::vector{kInvalidMAC} : std::vector<RecordedMessage>{});
        EXPECT_EQ(Form2->isVisible(), c.refused);
        const Published p = Read();
        EXPECT_TRUE(p.f1.MACDestOn);
        EXPECT_EQ(std::to_array(p.f1.MACDest), kOld);
        EXPECT_EQ(std::to_array(p.f1.IPSource), (Ip{10, 0, 0, 1}));
        EXPECT_TRUE(p.f2.MACDestOn);
        EXPECT_EQ(std::to_array(p.f2.MACDest), c.bytes);
        EXPECT_EQ(p.f2.ProtoUDP, !c.refused) << "a flag after the failing field was written";
    }
}

TEST_F(FilterWindow, OKWithEverythingUntickedTurnsAllOffAndKeepsAddresses)
{
    FrameFilter before;
    before.Enabled = before.MACSourceOn = before.IPSourceOn = before.IPXDestOn = true;
    before.ProtoIP = before.ProtoTCP = before.ProtoIPX = before.ProtoNETBEUI = true;
    std::memcpy(before.MACSource, kOld.data(), 6);
    std::memcpy(before.IPXDest, kSample.data(), 6);
    before.IPSource[0] = 192;
    PublishFilters(before, before);
    Form4->show();
    Form5->show();
    Form6->show();

    PressOK();

    EXPECT_TRUE(recorder.messages.empty());
    for (QWidget* window : std::initializer_list<QWidget*>{Form2, Form4, Form5, Form6})
        EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
    const Published p = Read();
    for (const FrameFilter* f : {&p.f1, &p.f2}) {
        EXPECT_FALSE(f->Enabled || f->MACSourceOn || f->MACDestOn || f->IPSourceOn || f->IPDestOn || f->IPXSourceOn
                     || f->IPXDestOn);
        EXPECT_FALSE(f->ProtoIP || f->ProtoTCP || f->ProtoUDP || f->ProtoICMP || f->ProtoIPX || f->ProtoNETBEUI);
        EXPECT_EQ(std::to_array(f->IPSource), (Ip{}));
        EXPECT_EQ(std::to_array(f->MACSource), kOld);
        EXPECT_EQ(std::to_array(f->IPXDest), kSample);
    }
    uint8_t frame[1514] = {};
    EXPECT_TRUE(AcceptFrame(frame));
}

TEST_F(FilterWindow, ProtocolInterlocksInBothFilters)
{
    struct Boxes {
        QCheckBox *ip, *tcp, *udp, *icmp;
    };
    for (const Boxes& b : {Boxes{Box("CheckBoxIP1"), Box("CheckBoxTCP1"), Box("CheckBoxUDP1"), Box("CheckBoxICMP1")},
                           Boxes{Box("CheckBoxIP2"), Box("CheckBoxTCP2"), Box("CheckBoxUDP2"), Box("CheckBoxICMP2")}}) {
        for (QCheckBox* sub : {b.tcp, b.udp, b.icmp}) {
            SCOPED_TRACE(sub->objectName().toStdString());
            sub->click(); // ticking a protocol within IP ticks IP
            EXPECT_TRUE(sub->isChecked());
            EXPECT_TRUE(b.ip->isChecked());
            sub->click(); // unticking it again leaves IP ticked
            EXPECT_FALSE(sub->isChecked());
            EXPECT_TRUE(b.ip->isChecked());
            b.ip->click();
            EXPECT_FALSE(b.ip->isChecked());
        }
        b.tcp->click();
        b.udp->click();
        b.icmp->click();
        b.ip->click(); // unticking IP unticks all three
        EXPECT_FALSE(b.ip->isChecked() || b.tcp->isChecked() || b.udp->isChecked() || b.icmp->isChecked());
        b.ip->click(); // ticking IP alone ticks nothing else
        EXPECT_FALSE(b.tcp->isChecked() || b.udp->isChecked() || b.icmp->isChecked());
        b.ip->click();
    }
    Box("CheckBoxTCP1")->click();
    EXPECT_FALSE(Box("CheckBoxIP2")->isChecked()) << "Filter 1's interlocks touched Filter 2";
}

// Typed text stops at each edit's limit (0: none); a typed IPX address of
// seventeen characters is taken.
TEST_F(FilterWindow, TypingLimitsAndSeventeenCharacterIPXAddresses)
{
    const struct {
        QLineEdit* edit;
        int limit;
    } edits[] = {
        {Edit("EditMACSource1"), 17}, {Edit("EditMACDest2"), 17}, {Edit("EditIPSource1"), 15},
        {Edit("EditIPDest1"), 15},    {Edit("EditIPSource2"), 0}, {Edit("EditIPDest2"), 0},
    };
    const QString typed(40, QLatin1Char('1'));
    for (const auto& e : edits) {
        QTest::keyClicks(e.edit, typed);
        EXPECT_EQ(e.edit->text().size(), e.limit ? e.limit : typed.size()) << e.edit->objectName().toStdString();
    }

    Box("CheckBoxIPXSource1")->setChecked(true);
    Box("CheckBoxIPXDest2")->setChecked(true);
    QTest::keyClicks(Edit("EditIPXSource1"), "00:1a:2b:3c:4d:5e99");
    QTest::keyClicks(Edit("EditIPXDest2"), "00-1A-2B-3C-4D-5E1");
    EXPECT_EQ(Edit("EditIPXSource1")->text(), "00:1a:2b:3c:4d:5e");
    EXPECT_EQ(Edit("EditIPXDest2")->text(), "00-1A-2B-3C-4D-5E");
    PressOK();
    const Published p = Read();
    EXPECT_EQ(std::to_array(p.f1.IPXSource), kSample);
    EXPECT_EQ(std::to_array(p.f2.IPXDest), kSample);
}

TEST_F(FilterWindow, PicturesAreFound)
{
    EXPECT_FALSE(Find<QToolButton>(Form2, "SpeedButton1")->icon().pixmap(16, 16).isNull());
    EXPECT_FALSE(Find<QLabel>(Form2, "ImageIPLines1")->pixmap().isNull());
    EXPECT_FALSE(Find<QLabel>(Form2, "ImageIPLines2")->pixmap().isNull());
}

TEST_F(FilterWindow, GroupBoxFramesTouchNoText) { ExpectGroupBoxesClear(Form2); }

TEST_F(FilterWindow, EscapeDoesNotCloseTheWindow)
{
    QTest::keyClick(Form2, Qt::Key_Escape);
    EXPECT_TRUE(Form2->isVisible());
}

} // namespace
