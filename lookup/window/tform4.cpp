#include "lookup/window/tform4.h"

#include "lookup/quarn_db.h"
#include "ui_tform4.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent)
    : PickListWindow(parent, QStringLiteral("ComputerNicMac"), QStringLiteral("QueryMAC"), QueryMAC),
      ui(std::make_unique<Ui::TForm4>())
{
    ui->setupUi(this);
    SetUpGrid(ui->DBGrid1, {{"Name", "ComputerName"}, {"MAC Address", "ComputerNicMac"}});
}

TForm4::~TForm4() = default;
