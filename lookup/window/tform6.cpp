#include "lookup/window/tform6.h"

#include "lookup/quarn_db.h"
#include "ui_tform6.h"

TForm6* Form6 = nullptr;

// The copied column's name differs in letter case from the query's
// "ComputerNicIPXNumber"; column names are matched regardless of case.
TForm6::TForm6(QWidget* parent)
    : PickListWindow(parent, QStringLiteral("ComputerNicIpxNumber"), QStringLiteral("QueryIPX"), QueryIPX),
      ui(std::make_unique<Ui::TForm6>())
{
    ui->setupUi(this);
    SetUpGrid(ui->DBGrid1, {{"Name", "ComputerName"}, {"IPX Address", "ComputerNicIPXNumber"}});
}

TForm6::~TForm6() = default;
