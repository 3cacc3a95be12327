#include "lookup/window/tform5.h"

#include "lookup/quarn_db.h"

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent)
    : PickListWindow(parent, QStringLiteral("ComputerNicIPNumber"), QStringLiteral("QueryIP"), QueryIP)
{
    setupUi(this);
    SetUpGrid(DBGrid1, {{"Name", "ComputerName"}, {"IP Address", "ComputerNicIPNumber"}});
}
