#include "tests/support/window_test_support.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/window/main_window_controls.h"
#include "app/window/program_windows.h"
#include "app/worker_threads.h"
#include "app/window/tform1.h"
#include "app/window/tform7.h"
#include "capture/capture.h"
#include "filter/frame_filter.h"
#include "filter/window/tform2.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#include "report/window/tform3.h"
#include "session/session_buffer.h"

namespace {
template <class Form>
void Destroy(Form*& form)
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

ProgramWindows::ProgramWindows(const std::string& adapter) { CreateWindows(adapter); }

ProgramWindows::~ProgramWindows()
{
    EndWorkerThreads();
    QCoreApplication::processEvents();
    DestroyWindows();
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
    for (const char* name : {"RadioGroup2", "SpeedButton4", "SpeedButton5", "Edit1", "UpDown1", "Label23"})
        EXPECT_EQ(Find<QWidget>(Form1, name)->isEnabled(), enabled) << name;
    for (const char* name : {"SpeedButton1", "SpeedButton6", "SpeedButton2"})
        EXPECT_TRUE(Find<QPushButton>(Form1, name)->isEnabled()) << name;
    EXPECT_NE(SessionGroupGreyText(), SessionGroupWindowText());
    EXPECT_EQ(Find<QGroupBox>(Form1, "GroupBox5")->palette().color(QPalette::WindowText),
              enabled ? SessionGroupWindowText() : SessionGroupGreyText());
}

void ExpectGroupBoxesClear(QWidget* window)
{
    for (QGroupBox* box : window->findChildren<QGroupBox*>()) {
        SCOPED_TRACE(box->objectName().toStdString());
        const QRgb background = box->palette().color(QPalette::Window).rgb();
        QImage picture(box->size(), QImage::Format_RGB32);
        picture.fill(background);
        box->render(&picture, QPoint(), QRegion(), QWidget::RenderFlags()); // the box alone
        const int width = picture.width(), height = picture.height();
        // Drawn: clearly apart from the background (a style may tint the inside faintly).
        const auto drawn = [&](int x, int y) {
            return picture.valid(x, y) && std::abs(qGray(picture.pixel(x, y)) - qGray(background)) > 12;
        };
        // A frame line: drawn along at least half the row or column.
        const auto lineRow = [&](int y) {
            int count = 0;
            for (int x = 0; x < width; ++x)
                count += drawn(x, y);
            return count >= width / 2;
        };
        const auto lineColumn = [&](int x) {
            int count = 0;
            for (int y = 0; y < height; ++y)
                count += drawn(x, y);
            return count >= height / 2;
        };
        // From an edge, past the frame's band of lines; the first row or column inside.
        const auto inside = [](auto isLine, int from, int step, int end) {
            int at = from;
            while (at != end && !isLine(at))
                at += step;
            const int line = at;
            while (at != end && isLine(at))
                at += step;
            return std::pair{line, at};
        };
        const auto [topLine, top] = inside(lineRow, 0, 1, height);
        const int bottom = inside(lineRow, height - 1, -1, -1).second;
        const int left = inside(lineColumn, 0, 1, width).second;
        const int right = inside(lineColumn, width - 1, -1, -1).second;
        ASSERT_LT(top, bottom) << "no frame drawn";
        const QRect within(QPoint(left, top), QPoint(right, bottom));

        // The title: what is drawn above the top line.
        QRect title;
        for (int y = 0; y < topLine; ++y)
            for (int x = 0; x < width; ++x)
                if (drawn(x, y))
                    title |= QRect(x, y, 1, 1);
        ASSERT_FALSE(title.isEmpty()) << "no title above the frame's top line";
        title.setBottom(box->fontMetrics().height());
        EXPECT_GE(title.left() - 1, left) << "title on the frame's left line";
        for (int y = topLine; y < top; ++y) {
            EXPECT_FALSE(drawn(title.left() - 1, y)) << "top line touches the title at row " << y;
            EXPECT_FALSE(drawn(title.right() + 1, y)) << "top line touches the title at row " << y;
        }

        for (const QWidget* control : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(within.contains(control->geometry())) << control->objectName().toStdString();
            EXPECT_FALSE(control->geometry().intersects(title)) << control->objectName().toStdString();
        }
    }
}
