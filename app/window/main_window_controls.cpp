#include "app/window/main_window_controls.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "app/status.h"
#include "app/window/on_ui_thread.h"
#include "app/window/qt_text.h"
#include "app/window/up_down.h"
#include "capture/capture.h"
#include "capture/capture_counts.h"

namespace {

class MainWindowControls final : public QObject, public StatusSeam {
public:
    MainWindowControls(QStatusBar* statusBar, QGroupBox* radioGroup, QLabel* counterLabel, QGroupBox* sessionGroup,
                       QPushButton* writeButton, QPushButton* clearButton, QLineEdit* sizeEdit, UpDown* sizeUpDown)
        : QObject(statusBar), m_statusBar(statusBar), m_radioGroup(radioGroup), m_counterLabel(counterLabel),
          m_sessionGroup(sessionGroup), m_writeButton(writeButton), m_clearButton(clearButton), m_sizeEdit(sizeEdit),
          m_sizeUpDown(sizeUpDown)
    {
        m_counterRefresh.setInterval(kCounterRefreshMs);
        connect(&m_counterRefresh, &QTimer::timeout, this, [this] { ShowCounter(FrameCounter()); });
    }

    ~MainWindowControls() override { RegisterStatusSeam(nullptr); }

    void SetStatusText(std::string_view text) override
    {
        OnUiThread(this, [this, text = FromView(text)] { m_statusBar->showMessage(text); });
    }

    void SetSessionControlsEnabled(bool enabled) override
    {
        OnUiThread(this, [this, enabled] { ApplySessionControls(enabled); });
    }

    void SetFrameCounterText(std::string_view text) override
    {
        OnUiThread(this, [this, text = FromView(text)] {
            m_counterLabel->setText(text);
            ShowCounts();
        });
    }

private:
    void ApplySessionControls(bool enabled)
    {
        QPalette palette = m_sessionGroup->palette();
        palette.setColor(QPalette::WindowText, enabled ? SessionGroupWindowText() : SessionGroupGreyText());
        m_sessionGroup->setPalette(palette);

        m_radioGroup->setEnabled(enabled);
        m_writeButton->setEnabled(enabled);
        m_clearButton->setEnabled(enabled);
        m_sizeEdit->setEnabled(enabled);
        m_sizeUpDown->setEnabled(enabled);
        m_counterLabel->setEnabled(enabled);

        if (enabled) {
            m_counterRefresh.stop();
            ShowCounter(FrameCounter());
        } else {
            m_countsShown = true;
            m_counterRefresh.start();
        }
    }

    void ShowCounter(int32_t value)
    {
        m_counterLabel->setText(QString::number(value));
        ShowCounts();
    }

    // The label's tool tip keeps its hint until the first capture, then tells
    // what the capture did with the frames, refreshed with the counter.
    void ShowCounts()
    {
        if (m_countsShown)
            m_counterLabel->setToolTip(FromView(DescribeCaptureCounts(CurrentCaptureCounts())));
    }

    QStatusBar* m_statusBar;
    QGroupBox* m_radioGroup;
    QLabel* m_counterLabel;
    QGroupBox* m_sessionGroup;
    QPushButton* m_writeButton;
    QPushButton* m_clearButton;
    QLineEdit* m_sizeEdit;
    UpDown* m_sizeUpDown;
    QTimer m_counterRefresh;
    bool m_countsShown = false;
};

} // namespace

QColor SessionGroupGreyText() { return QApplication::palette().color(QPalette::Disabled, QPalette::WindowText); }

QColor SessionGroupWindowText() { return QApplication::palette().color(QPalette::Active, QPalette::WindowText); }

void RegisterMainWindowControls(QStatusBar* statusBar, QGroupBox* radioGroup, QLabel* counterLabel,
                                QGroupBox* sessionGroup, QPushButton* writeButton, QPushButton* clearButton,
                                QLineEdit* sizeEdit, UpDown* sizeUpDown)
{
    auto* controls = new MainWindowControls(statusBar, radioGroup, counterLabel, sessionGroup, writeButton, clearButton,
                                            sizeEdit, sizeUpDown);
    RegisterStatusSeam(controls);
}
