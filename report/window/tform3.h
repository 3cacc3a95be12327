// The output window: the finished report shown in Memo1 in a fixed-pitch font,
// so that its columns line up, and an "Ok" button that hides the window.
#pragma once

#include <QDialog>

#include <memory>

#include "report/report_writer.h"

namespace Ui {
class TForm3;
}

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    // Memo1 as the report writer sees it: the text may be handed over from any
    // thread and is put into Memo1 on the user-interface thread, in order.
    ReportTextArea* TextArea();
    // Empty Memo1 for the report about to be written.
    void ClearReportText();

    void SpeedButton2Click();

private:
    const std::unique_ptr<Ui::TForm3> ui;
    std::unique_ptr<ReportTextArea> textArea_;
};

extern TForm3* Form3;
