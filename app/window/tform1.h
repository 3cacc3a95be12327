// The main window: the operator's panel for starting and stopping a capture,
// choosing the capture mode and the buffer size, watching the received-frames
// count, writing the report, clearing the buffer and opening the filter window.
// Every handler hands its work to the engine part that owns it.
#pragma once

#include <QWidget>

#include <memory>
#include <string>
#include <string_view>

#include "capture/binding.h"
#include "session/load_capture.h"

class QLabel;

namespace Ui {
class TForm1;
}

// The "Network adapter" group's name and address labels.
class AdapterLabelPair final : public AdapterLabels {
public:
    AdapterLabelPair(QLabel* name, QLabel* address) : m_name(name), m_address(address) {}
    void SetAdapterName(std::string_view text) override;
    void SetAdapterAddress(std::string_view text) override;

private:
    QLabel* m_name;
    QLabel* m_address;
};

inline constexpr std::string_view kBufferNotEmpty = "Session buffer not empty, clear buffer first...";
inline constexpr std::string_view kThreadsRunning = "Thread(s) still running...";
inline constexpr std::string_view kBufferTooSmall = "Buffer too small, increase buffer size...";
inline constexpr std::string_view kBufferTooBig = "Buffer too big, decrease buffer size...";
inline constexpr std::string_view kNotEnoughMemory = "Not enough memory, decrease buffer size...";
inline constexpr int kLargestBuffer = 5000;
// "Save capture as..." refused, and failed.
inline constexpr std::string_view kSaveWhileCapturing = "Capture running, stop it before saving...";
inline constexpr std::string_view kSaveEmptyBuffer = "Session buffer empty, nothing to save...";
// "Error saving file capture.pcap: write error: No space left on device".
std::string SaveErrorMessage(std::string_view fileName, std::string_view problem);
// "Open capture..." refused, failed, and done.
inline constexpr std::string_view kOpenWhileCapturing = "Capture running, stop it before opening a capture...";
inline constexpr std::string_view kOpenWhileWriting = "Output file being written, wait before opening a capture...";
// "Error opening file notes.txt: cannot read capture: unknown file format".
std::string OpenErrorMessage(std::string_view fileName, std::string_view problem);
// "Status: Read 6,000 frames, 1,000 left out...".
std::string OpenedCaptureStatus(const LoadedCapture& loaded);

class TForm1 : public QWidget {
    Q_OBJECT

public:
    // Loads the form, binds the adapter (the listed name a command line chose,
    // or else the first) into the "Network adapter" labels and registers the
    // status controls.
    explicit TForm1(const std::string& adapter = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Whether "Continuous capture" is the chosen mode.
    bool ContinuousSelected() const;

public slots:
    void FormShow();
    void FormClose();
    void SpeedButton1Click();   // Start
    void SpeedButton6Click();   // Stop
    void SpeedButton5Click();   // Clear buffer
    void SpeedButton4Click();   // Write output
    void SpeedButton2Click();   // Filters
    void SaveCaptureAs1Click(); // context menu and Ctrl+S: the session buffer as a pcap file
    void OpenCapture1Click();   // context menu and Ctrl+O: a capture file into the session buffer
    // A capture file (pcap or pcapng) into the session buffer, with the
    // buffer size and capture mode chosen: "Open capture...", a file dropped
    // on the window, or the one the command line names.
    void OpenCaptureFile(const std::string& fileName);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The buffer size as Start reads it; false, told, when it is not 1 to 5000.
    bool ReadBufferSize(int& size);
    // Whether a capture file may be opened now (no capture running, no report
    // being written, a buffer size Start would take), told when not.
    bool OpenAllowed(int& size);

    const std::unique_ptr<Ui::TForm1> ui;
    AdapterLabelPair m_adapterLabels;
    bool m_centred = false;
};

extern TForm1* Form1;
