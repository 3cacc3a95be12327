#include "app/window/tform1.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

#include <cstdio>

#include "app/messages.h"
#include "app/status.h"
#include "app/window/group_frame.h"
#include "app/window/main_window_controls.h"
#include "app/window/qt_messages.h"
#include "app/window/qt_text.h"
#include "app/window/save_dialog.h"
#include "app/window/tform7.h"
#include "capture/capture.h"
#include "files/save_capture.h"
#include "filter/window/tform2.h"
#include "report/report_writer.h"
#include "report/window/tform3.h"
#include "session/session_buffer.h"
#include "ui_tform1.h"

TForm1* Form1 = nullptr;

namespace {

// The no-adapter box cannot say why (its text is fixed); whoever started the
// program from a terminal learns it there.
void TellAdapterFailure()
{
    const std::string why = AdapterFailure();
    std::fprintf(stderr, "analyzer: %s\n", why.c_str());
}

} // namespace

std::string SaveErrorMessage(std::string_view fileName, std::string_view problem)
{
    return "Error saving file " + std::string(fileName) + ": " + std::string(problem);
}

void AdapterLabelPair::SetAdapterName(std::string_view text) { m_name->setText(FromView(text)); }

void AdapterLabelPair::SetAdapterAddress(std::string_view text) { m_address->setText(FromView(text)); }

TForm1::TForm1(const std::string& adapter, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TForm1>()), m_adapterLabels(nullptr, nullptr)
{
    ui->setupUi(this);
    FrameGroupBoxes(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(337, 336);
    ui->StatusBar1->showMessage(FromView(kStatusIdle));

    ui->UpDown1->SetMinimum(10);
    ui->UpDown1->SetMaximum(kLargestBuffer);
    ui->UpDown1->SetIncrement(10);
    ui->UpDown1->SetBuddy(ui->Edit1);
    ui->UpDown1->SetPosition(100);

    connect(ui->SpeedButton1, &QPushButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(ui->SpeedButton6, &QPushButton::clicked, this, &TForm1::SpeedButton6Click);
    connect(ui->SpeedButton2, &QPushButton::clicked, this, &TForm1::SpeedButton2Click);
    connect(ui->SpeedButton4, &QPushButton::clicked, this, &TForm1::SpeedButton4Click);
    connect(ui->SpeedButton5, &QPushButton::clicked, this, &TForm1::SpeedButton5Click);

    connect(ui->SaveCaptureAs1, &QAction::triggered, this, &TForm1::SaveCaptureAs1Click);

    m_adapterLabels = AdapterLabelPair(ui->Label13, ui->Label14);
    if (!BindAdapter(m_adapterLabels, adapter))
        TellAdapterFailure();
    RegisterMainWindowControls(ui->StatusBar1, ui->RadioGroup2, ui->Label23, ui->GroupBox5, ui->SpeedButton4,
                               ui->SpeedButton5, ui->Edit1, ui->UpDown1);
}

TForm1::~TForm1()
{
    if (Form1 == this)
        Form1 = nullptr;
}

bool TForm1::ContinuousSelected() const { return !ui->RadioSessionCapture->isChecked(); }

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return; // restored from the task bar, not shown by the program
    if (!m_centred) {
        m_centred = true;
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    FormShow();
}

// Closing the main window ends the program, whatever other window is open.
void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose();
    QWidget::closeEvent(event);
    EndMessageLoop();
}

void TForm1::FormShow()
{
    // The main window takes no input until the splash's "OK".
    setEnabled(false);
    if (!Form7)
        return;
    Form7->setEnabled(true);
    Form7->show();
    Form7->raise();
    Form7->activateWindow();
    Form7->setFocus();
}

void TForm1::FormClose()
{
    // The capture thread works on the adapter: end it before the adapter goes.
    if (IsCapturing())
        StopCapture();
    ReleaseAdapter();
}

void TForm1::SpeedButton1Click()
{
    if (SessionBuffer::Count() != 0) {
        ShowMessage(kBufferNotEmpty);
        return;
    }
    if (IsCapturing() || IsReportWriting()) {
        ShowMessage(kThreadsRunning);
        return;
    }
    const int size = ui->UpDown1->Position();
    if (size <= 0) {
        ShowMessage(kBufferTooSmall);
        return;
    }
    if (size > kLargestBuffer) {
        ShowMessage(kBufferTooBig);
        return;
    }
    // The adapter may have been lost when the last capture reopened it.
    if (!EnsureAdapterBound()) {
        TellAdapterFailure();
        return;
    }

    DisableSessionControls();
    ShowAllocationStatus(true);
    SessionBuffer::FreeAll();
    if (!SessionBuffer::Allocate(static_cast<uint32_t>(size), ContinuousSelected())) {
        ShowAllocationStatus(false);
        EnableSessionControls();
        ShowMessage(kNotEnoughMemory);
        return;
    }
    ShowAllocationStatus(false);
    if (!StartCapture()) {
        // The receive ring could not be built: nothing runs.
        EnableSessionControls();
        ShowMessage(kNotEnoughMemory);
    }
}

void TForm1::SpeedButton6Click()
{
    if (IsCapturing())
        StopCapture();
}

void TForm1::SpeedButton5Click()
{
    SessionBuffer::ClearCount();
    ResetFrameCounter();
}

void TForm1::SpeedButton4Click()
{
    if (!Form3)
        return;
    Form3->show();
    Form3->raise();
    Form3->activateWindow();
    Form3->ClearReportText();
    if (!IsReportWriting())
        StartReport(Form3->TextArea(), "output.txt");
}

void TForm1::SpeedButton2Click()
{
    if (!Form2)
        return;
    Form2->show();
    Form2->raise();
    Form2->activateWindow();
}

void TForm1::SaveCaptureAs1Click()
{
    if (IsCapturing()) {
        ShowMessage(kSaveWhileCapturing);
        return;
    }
    if (SessionBuffer::Count() == 0) {
        ShowMessage(kSaveEmptyBuffer);
        return;
    }
    const QString chosen = AskSaveFileName(this);
    if (chosen.isEmpty())
        return;
    const std::string fileName = chosen.toLocal8Bit().toStdString();
    std::string problem;
    if (!SaveSessionCapture(fileName, problem))
        ShowMessage(SaveErrorMessage(fileName, problem));
}
