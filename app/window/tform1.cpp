#include "app/window/tform1.h"

#include <QAction>
#include <QCloseEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QShowEvent>

#include <cstdio>

#include "app/messages.h"
#include "app/status.h"
#include "app/window/group_frame.h"
#include "app/window/main_window_controls.h"
#include "app/window/qt_messages.h"
#include "app/window/qt_text.h"
#include "app/window/file_dialogs.h"
#include "app/window/tform7.h"
#include "capture/capture.h"
#include "capture/capture_counts.h"
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

// The local file a drag carries, when it carries exactly one; else empty.
QString DraggedFile(const QMimeData* data)
{
    if (data == nullptr || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    return data->urls().front().toLocalFile();
}

// The frames of an opened capture counted as a capture counts those it keeps,
// and the status line says what was read.
void ShowOpenedCapture(const LoadedCapture& loaded)
{
    ResetFrameCounter();
    for (uint32_t i = 0; i < loaded.kept; ++i)
        CountFrame();
    ShowFrameCounter(FrameCounter());
    SetStatusLine(OpenedCaptureStatus(loaded));
}

void TellOpenFailure(const std::string& fileName, const std::string& problem)
{
    if (SessionBuffer::Count() == 0)
        ResetFrameCounter(); // no memory for the new buffer: the old one is gone too
    ShowMessage(OpenErrorMessage(fileName, problem));
}

} // namespace

std::string SaveErrorMessage(std::string_view fileName, std::string_view problem)
{
    return "Error saving file " + std::string(fileName) + ": " + std::string(problem);
}

std::string OpenErrorMessage(std::string_view fileName, std::string_view problem)
{
    return "Error opening file " + std::string(fileName) + ": " + std::string(problem);
}

std::string OpenedCaptureStatus(const LoadedCapture& loaded)
{
    return "Status: Read " + WithThousandsSeparators(loaded.read) + " frames, "
        + WithThousandsSeparators(loaded.read - loaded.kept) + " left out...";
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
    connect(ui->OpenCapture1, &QAction::triggered, this, &TForm1::OpenCapture1Click);
    setAcceptDrops(true);

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

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DraggedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

// Opened once the drop is over: a message box must not hold up the drag.
void TForm1::dropEvent(QDropEvent* event)
{
    const QString file = DraggedFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    QMetaObject::invokeMethod(
        this, [this, name = file.toLocal8Bit().toStdString()] { OpenCaptureFile(name); }, Qt::QueuedConnection);
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
    int size = 0;
    if (!ReadBufferSize(size))
        return;
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

void TForm1::OpenCapture1Click()
{
    // Refused before the operator chooses a file, not after.
    int size = 0;
    if (!OpenAllowed(size))
        return;
    const QString chosen = AskOpenFileName(this);
    if (!chosen.isEmpty())
        OpenCaptureFile(chosen.toLocal8Bit().toStdString());
}

void TForm1::OpenCaptureFile(const std::string& fileName)
{
    int size = 0;
    if (!OpenAllowed(size))
        return;
    LoadedCapture loaded;
    std::string problem;
    if (LoadCaptureFile(fileName, static_cast<uint32_t>(size), ContinuousSelected(), loaded, problem))
        ShowOpenedCapture(loaded);
    else
        TellOpenFailure(fileName, problem);
}

bool TForm1::OpenAllowed(int& size)
{
    if (IsCapturing()) {
        ShowMessage(kOpenWhileCapturing);
        return false;
    }
    if (IsReportWriting()) {
        ShowMessage(kOpenWhileWriting);
        return false;
    }
    return ReadBufferSize(size);
}

bool TForm1::ReadBufferSize(int& size)
{
    size = ui->UpDown1->Position();
    if (size <= 0) {
        ShowMessage(kBufferTooSmall);
        return false;
    }
    if (size > kLargestBuffer) {
        ShowMessage(kBufferTooBig);
        return false;
    }
    return true;
}
