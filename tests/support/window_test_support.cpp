#include "tests/support/window_test_support.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/window/main_window_controls.h"
#include "app/window/tform1.h"
#include "app/window/tform7.h"
#include "capture/capture.h"
#include "filter/frame_filter.h"
#include "filter/window/tform2.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#include "report/report_writer.h"
#include "report/window/tform3.h"
#include "session/session_buffer.h"
#include "ui_tform1.h"

namespace {
template <class Form> void Destroy(Form*& form)
{
    delete form;
    form = nullptr;
}
} // namespace

void MessageRecorder::ShowMessageBox(std::string_view text, std::string_view caption)
{
    {
        std::lock_guard lock(m_mutex);
        messages.push_back({std::string(text), std::string(caption)});
    }
    if (whileShown)
        whileShown();
}

Windows::Windows()
{
    PublishFilters(FrameFilter{}, FrameFilter{});
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form4 = new TForm4;
    Form5 = new TForm5;
    Form6 = new TForm6;
}

Windows::~Windows()
{
    Destroy(Form6);
    Destroy(Form5);
    Destroy(Form4);
    Destroy(Form3);
    Destroy(Form2);
}

ProgramWindows::ProgramWindows()
{
    Form1 = new TForm1;
    Form3 = new TForm3;
    Form7 = new TForm7;
}

ProgramWindows::~ProgramWindows()
{
    if (IsCapturing())
        StopCapture();
    WaitCaptureEnd();
    WaitReportEnd();
    QCoreApplication::processEvents();
    Destroy(Form7);
    Destroy(Form3);
    Destroy(Form1);
    SessionBuffer::ClearCount();
    SessionBuffer::FreeAll();
    ResetFrameCounter();
}

void FillSessionBuffer(uint32_t capacity, uint32_t count)
{
    SessionBuffer::ClearCount();
    if (!SessionBuffer::Allocate(capacity, false))
        std::abort();
    SessionBuffer::Rewind();
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* frame = AllocateFrameBuffer();
        std::fill(frame, frame + kFrameBufferSize, uint8_t{0});
        frame[0] = 0x02, frame[11] = static_cast<uint8_t>(i), frame[12] = 0x88, frame[13] = 0xB5;
        uint8_t* previous = SessionBuffer::CurrentFrame();
        SessionBuffer::Store(frame, 60, CaptureTime{});
        FreeFrameBuffer(previous);
        SessionBuffer::Advance();
    }
}

void ExpectSessionGroup(bool enabled)
{
    Ui::TForm1& ui = *Form1->ui;
    for (QWidget* control : std::initializer_list<QWidget*>{ui.RadioGroup2, ui.SpeedButton4, ui.SpeedButton5,
                                                            ui.Edit1, ui.UpDown1, ui.Label23})
        EXPECT_EQ(control->isEnabled(), enabled) << control->objectName().toStdString();
    for (QPushButton* button : {ui.SpeedButton1, ui.SpeedButton6, ui.SpeedButton2})
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    EXPECT_NE(SessionGroupGreyText(), SessionGroupWindowText());
    EXPECT_EQ(ui.GroupBox5->palette().color(QPalette::WindowText),
              enabled ? SessionGroupWindowText() : SessionGroupGreyText());
}
