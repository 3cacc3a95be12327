// The splash window: a borderless picture kept on top, shown over the disabled
// main window at start and released with its "OK" button.
#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class TForm7;
}

class TForm7 : public QWidget {
    Q_OBJECT

public:
    explicit TForm7(QWidget* parent = nullptr);
    ~TForm7() override;

public slots:
    // "OK": enable the main window, then hide the splash.
    void SpeedButton1Click();

private:
    const std::unique_ptr<Ui::TForm7> ui;
};

extern TForm7* Form7;
