#include "app/window/tform7.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "app/window/tform1.h"
#include "ui_tform7.h"

TForm7* Form7 = nullptr;

TForm7::TForm7(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TForm7>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(458, 260);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    connect(ui->SpeedButton1, &QPushButton::clicked, this, &TForm7::SpeedButton1Click);
}

TForm7::~TForm7() = default;

void TForm7::SpeedButton1Click()
{
    if (Form1)
        Form1->setEnabled(true);
    close();
}
