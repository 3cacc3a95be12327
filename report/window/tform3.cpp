#include "report/window/tform3.h"

#include <QFontDatabase>
#include <QPlainTextEdit>

#include "app/window/on_ui_thread.h"
#include "ui_tform3.h"

TForm3* Form3 = nullptr;

namespace {

constexpr int kMemoCharacterHeight = 13;

class MemoTextArea : public ReportTextArea {
public:
    explicit MemoTextArea(QPlainTextEdit* memo) : memo_(memo) {}

    void ShowReportText(std::string text) override
    {
        // One character per byte, so a dump column never shifts.
        QString shown = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
        OnUiThread(memo_, [memo = memo_, shown = std::move(shown)] { memo->setPlainText(shown); });
    }

private:
    QPlainTextEdit* const memo_;
};

} // namespace

TForm3::TForm3(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TForm3>())
{
    // A dialog-style window without border icons.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    ui->setupUi(this);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(kMemoCharacterHeight);
    ui->Memo1->setFont(fixed);
    textArea_ = std::make_unique<MemoTextArea>(ui->Memo1);
    connect(ui->SpeedButton2, &QAbstractButton::clicked, this, &TForm3::SpeedButton2Click);
}

TForm3::~TForm3() = default;

ReportTextArea* TForm3::TextArea() { return textArea_.get(); }

void TForm3::ClearReportText() { ui->Memo1->clear(); }

void TForm3::SpeedButton2Click() { hide(); }
