// The filter window's OK action, its interlocks and its edit limits, as an
// operator meets them: controls set, OK pressed, the published slots read back.
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "filter/frame_filter.h"
#include "filter/window/tform2.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#include "tests/filter/window/window_test_support.h"

namespace {

using Mac = std::array<uint8_t, 6>;
using Ip = std::array<uint8_t, 4>;

constexpr Mac kSample = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
constexpr Mac kOldMAC = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
constexpr Mac kZero6 = {};

Mac Bytes(const uint8_t (&field)[6]) { Mac m; std::memcpy(m.data(), field, 6); return m; }
Ip Bytes(const uint8_t (&field)[4]) { Ip m; std::memcpy(m.data(), field, 4); return m; }

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
    void Tick(QCheckBox* box) { box->setChecked(true); }
    void PressOK() { Form2->SpeedButton1->click(); }

    MessageRecorder recorder;
    Windows windows;
};

TEST_F(FilterWindow, IPTextsGiveTheirBytesInEitherFilter)
{
    const struct {
        const char* text;
        Ip bytes;
    } cases[] = {
        {"192.168.1.20", {0xC0, 0xA8, 0x01, 0x14}}, {"10.1", {0x0A, 0x01, 0x00, 0x00}},
        {"300.1.1.1", {0x2C, 0x01, 0x01, 0x01}},    {"1.2.3.4.5", {0x01, 0x02, 0x03, 0x2D}},
        {"", {0x00, 0x00, 0x00, 0x00}},             {" 10.1.1.1", {0x00, 0x01, 0x01, 0x01}},
    };
    Tick(Form2->CheckBoxIPSource1);
    Tick(Form2->CheckBoxIPDest1);
    Tick(Form2->CheckBoxIPSource2);
    Tick(Form2->CheckBoxIPDest2);
    for (const auto& c : cases) {
        Form2->show();
        // Typed, so that the edit limit of Filter 1's IP edits applies too.
        for (QLineEdit* edit : {Form2->EditIPSource1, Form2->EditIPDest1, Form2->EditIPSource2, Form2->EditIPDest2}) {
            edit->clear();
            QTest::keyClicks(edit, QString::fromLatin1(c.text));
        }
        PressOK();
        const Published p = Read();
        EXPECT_EQ(Bytes(p.f1.IPSource), c.bytes) << c.text;
        EXPECT_EQ(Bytes(p.f1.IPDest), c.bytes) << c.text;
        EXPECT_EQ(Bytes(p.f2.IPSource), c.bytes) << c.text;
        EXPECT_EQ(Bytes(p.f2.IPDest), c.bytes) << c.text;
        EXPECT_TRUE(p.f1.IPSourceOn && p.f1.IPDestOn && p.f2.IPSourceOn && p.f2.IPDestOn);
        EXPECT_FALSE(Form2->isVisible());
    }
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(FilterWindow, ShortFilter1MACStopsOKWithTheFlagsAlreadyWritten)
{
    FrameFilter before1;
    before1.MACSource[0] = 0xAA;
    FrameFilter before2;
    before2.IPXSource[5] = 0x77;
    PublishFilters(before1, before2);
    const Mac old1 = Bytes(before1.MACSource);

    Tick(Form2->CheckBoxEnableFilter1);
    Tick(Form2->CheckBoxMACSource1);
    Form2->EditMACSource1->setText("00-1A-2B-3C-4D");
    // Fields after the failing one, in both filters, must stay as they were.
    Tick(Form2->CheckBoxMACDest1);
    Form2->EditMACDest1->setText("00-1A-2B-3C-4D-5E");
    Tick(Form2->CheckBoxIP1);
    Tick(Form2->CheckBoxEnableFilter2);
    Tick(Form2->CheckBoxIPXSource2);
    Form2->EditIPXSource2->setText("00-1A-2B-3C-4D-5E");
    Form4->show();

    PressOK();

    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, "Invalid MAC address");
    EXPECT_EQ(recorder.messages[0].caption, "Error");
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_TRUE(Form4->isVisible());

    const Published p = Read();
    EXPECT_TRUE(p.f1.Enabled);
    EXPECT_TRUE(p.f1.MACSourceOn);
    EXPECT_EQ(Bytes(p.f1.MACSource), old1);
    EXPECT_FALSE(p.f1.MACDestOn);
    EXPECT_EQ(Bytes(p.f1.MACDest), kZero6);
    EXPECT_FALSE(p.f1.ProtoIP);
    EXPECT_FALSE(p.f2.Enabled);
    EXPECT_FALSE(p.f2.IPXSourceOn);
    EXPECT_EQ(Bytes(p.f2.IPXSource), Bytes(before2.IPXSource));

    // Mended text: the next OK goes through.
    Form2->EditMACSource1->setText("00:1a:2b:3c:4d:5e");
    PressOK();
    EXPECT_EQ(recorder.messages.size(), 1u);
    EXPECT_FALSE(Form2->isVisible());
    const Published q = Read();
    EXPECT_EQ(Bytes(q.f1.MACSource), kSample);
    EXPECT_EQ(Bytes(q.f1.MACDest), kSample);
    EXPECT_TRUE(q.f1.ProtoIP);
    EXPECT_TRUE(q.f2.Enabled);
    EXPECT_EQ(Bytes(q.f2.IPXSource), kSample);
}

TEST_F(FilterWindow, DisabledFilter1MACIsNotExamined)
{
    FrameFilter before;
    std::memcpy(before.MACSource, kOldMAC.data(), 6);
    PublishFilters(before, FrameFilter{});

    Tick(Form2->CheckBoxMACSource1);
    Form2->EditMACSource1->setText("no digits here!");
    PressOK();

    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_FALSE(Form2->isVisible());
    const Published p = Read();
    EXPECT_FALSE(p.f1.Enabled);
    EXPECT_TRUE(p.f1.MACSourceOn);
    EXPECT_EQ(Bytes(p.f1.MACSource), kOldMAC);
}

TEST_F(FilterWindow, DisabledFilter2MACTakesOnlyAFullNodeAddress)
{
    Tick(Form2->CheckBoxMACSource2);
    Tick(Form2->CheckBoxMACDest2);
    Form2->EditMACSource2->setText("001A2B3C4D5E");
    Form2->EditMACDest2->setText("00-1A-2B-3C-4D-5E");
    PressOK();

    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_FALSE(Form2->isVisible());
    const Published p = Read();
    EXPECT_TRUE(p.f2.MACSourceOn);
    EXPECT_EQ(Bytes(p.f2.MACSource), kZero6);
    EXPECT_TRUE(p.f2.MACDestOn);
    EXPECT_EQ(Bytes(p.f2.MACDest), kSample);
}

TEST_F(FilterWindow, EnabledFilter2MACIsValidatedLikeFilter1)
{
    Tick(Form2->CheckBoxEnableFilter1);
    Tick(Form2->CheckBoxIPSource1);
    Form2->EditIPSource1->setText("10.0.0.1");
    Tick(Form2->CheckBoxEnableFilter2);
    Tick(Form2->CheckBoxMACSource2);
    Form2->EditMACSource2->setText("001A2B3C4D5E");
    Tick(Form2->CheckBoxMACDest2);
    Form2->EditMACDest2->setText("00-1A-2B-3C-4D");
    Tick(Form2->CheckBoxUDP2);
    PressOK();

    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, "Invalid MAC address");
    EXPECT_EQ(recorder.messages[0].caption, "Error");
    EXPECT_TRUE(Form2->isVisible());
    const Published p = Read();
    // Filter 1 was read whole before Filter 2 failed.
    EXPECT_TRUE(p.f1.Enabled);
    EXPECT_EQ(Bytes(p.f1.IPSource), (Ip{10, 0, 0, 1}));
    EXPECT_TRUE(p.f2.Enabled);
    // Twelve digits without separators are a valid MAC address here.
    EXPECT_EQ(Bytes(p.f2.MACSource), kSample);
    EXPECT_TRUE(p.f2.MACDestOn);
    EXPECT_EQ(Bytes(p.f2.MACDest), kZero6);
    EXPECT_FALSE(p.f2.ProtoUDP);
}

TEST_F(FilterWindow, OKWithEverythingUntickedTurnsAllOffAndKeepsAddresses)
{
    FrameFilter before;
    before.Enabled = before.MACSourceOn = before.IPSourceOn = before.IPXDestOn = true;
    before.ProtoIP = before.ProtoTCP = before.ProtoIPX = before.ProtoNETBEUI = true;
    std::memcpy(before.MACSource, kOldMAC.data(), 6);
    std::memcpy(before.IPXDest, kSample.data(), 6);
    before.IPSource[0] = 192;
    FrameFilter before2 = before;
    PublishFilters(before, before2);
    Form4->show();
    Form5->show();
    Form6->show();

    PressOK();

    EXPECT_TRUE(recorder.messages.empty());
    for (QWidget* window : {static_cast<QWidget*>(Form2), static_cast<QWidget*>(Form4),
                            static_cast<QWidget*>(Form5), static_cast<QWidget*>(Form6)})
        EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
    const Published p = Read();
    for (const FrameFilter* f : {&p.f1, &p.f2}) {
        EXPECT_FALSE(f->Enabled || f->MACSourceOn || f->MACDestOn || f->IPSourceOn || f->IPDestOn ||
                     f->IPXSourceOn || f->IPXDestOn);
        EXPECT_FALSE(f->ProtoIP || f->ProtoTCP || f->ProtoUDP || f->ProtoICMP || f->ProtoIPX ||
                     f->ProtoNETBEUI);
        EXPECT_EQ(Bytes(f->IPSource), (Ip{}));
        EXPECT_EQ(Bytes(f->MACSource), kOldMAC);
        EXPECT_EQ(Bytes(f->IPXDest), kSample);
    }
    uint8_t frame[1514] = {};
    EXPECT_TRUE(AcceptFrame(frame));
}

TEST_F(FilterWindow, ProtocolInterlocksInBothFilters)
{
    struct Boxes {
        QCheckBox *ip, *tcp, *udp, *icmp;
    };
    for (const Boxes& b : {Boxes{Form2->CheckBoxIP1, Form2->CheckBoxTCP1, Form2->CheckBoxUDP1, Form2->CheckBoxICMP1},
                           Boxes{Form2->CheckBoxIP2, Form2->CheckBoxTCP2, Form2->CheckBoxUDP2, Form2->CheckBoxICMP2}}) {
        for (QCheckBox* sub : {b.tcp, b.udp, b.icmp}) {
            // Ticking a protocol within IP ticks IP.
            sub->click();
            EXPECT_TRUE(sub->isChecked());
            EXPECT_TRUE(b.ip->isChecked()) << sub->objectName().toStdString();
            // Unticking it again leaves IP ticked.
            sub->click();
            EXPECT_FALSE(sub->isChecked());
            EXPECT_TRUE(b.ip->isChecked()) << sub->objectName().toStdString();
            b.ip->click();
            EXPECT_FALSE(b.ip->isChecked());
        }
        b.tcp->click();
        b.udp->click();
        b.icmp->click();
        // Unticking IP unticks all three.
        b.ip->click();
        EXPECT_FALSE(b.ip->isChecked() || b.tcp->isChecked() || b.udp->isChecked() || b.icmp->isChecked());
        // Ticking IP alone ticks nothing else.
        b.ip->click();
        EXPECT_FALSE(b.tcp->isChecked() || b.udp->isChecked() || b.icmp->isChecked());
        b.ip->click();
    }
    // Filter 1's interlocks never touch Filter 2.
    Form2->CheckBoxTCP1->click();
    EXPECT_FALSE(Form2->CheckBoxIP2->isChecked());
}

TEST_F(FilterWindow, TypedIPXAddressOfSeventeenCharactersIsTaken)
{
    Tick(Form2->CheckBoxIPXSource1);
    Tick(Form2->CheckBoxIPXDest2);
    QTest::keyClicks(Form2->EditIPXSource1, "00:1a:2b:3c:4d:5e99");
    QTest::keyClicks(Form2->EditIPXDest2, "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(Form2->EditIPXSource1->text(), "00:1a:2b:3c:4d:5e");
    PressOK();
    const Published p = Read();
    EXPECT_EQ(Bytes(p.f1.IPXSource), kSample);
    EXPECT_EQ(Bytes(p.f2.IPXDest), kSample);
}

TEST_F(FilterWindow, TypingLimits)
{
    const struct {
        QLineEdit* edit;
        int limit; // 0: none
    } edits[] = {
        {Form2->EditMACSource1, 17}, {Form2->EditMACDest2, 17},  {Form2->EditIPSource1, 15},
        {Form2->EditIPDest1, 15},    {Form2->EditIPSource2, 0},  {Form2->EditIPDest2, 0},
        {Form2->EditIPXSource1, 17}, {Form2->EditIPXDest2, 17},
    };
    const QString typed(40, QLatin1Char('1'));
    for (const auto& e : edits) {
        QTest::keyClicks(e.edit, typed);
        EXPECT_EQ(e.edit->text().size(), e.limit ? e.limit : typed.size()) << e.edit->objectName().toStdString();
    }
}

TEST_F(FilterWindow, EscapeDoesNotCloseTheWindow)
{
    QTest::keyClick(Form2, Qt::Key_Escape);
    EXPECT_TRUE(Form2->isVisible());
}

} // namespace
