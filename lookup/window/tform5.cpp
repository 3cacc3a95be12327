#include "lookup/window/tform5.h"

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent) : PickListWindow(parent, QStringLiteral("ComputerNicIPNumber"))
{
    setupUi(this);
    SetUpGrid(DBGrid1, {{"Name", "ComputerName"}, {"IP Address", "ComputerNicIPNumber"}});
}
