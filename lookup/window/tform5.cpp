#include "lookup/window/tform5.h"

#include "lookup/quarn_db.h"
#include "ui_tform5.h"

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent)
    : PickListWindow(parent, QStringLiteral("ComputerNicIPNumber"), QStringLiteral("QueryIP"), QueryIP),
      ui(std::make_unique<Ui::TForm5>())
{
    ui->setupUi(this);
    SetUpGrid(ui->DBGrid1, {{"Name", "ComputerName"}, {"IP Address", "ComputerNicIPNumber"}});
}

TForm5::~TForm5() = default;
