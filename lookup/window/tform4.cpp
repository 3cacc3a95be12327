#include "lookup/window/tform4.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : PickListWindow(parent, QStringLiteral("ComputerNicMac"))
{
    setupUi(this);
    SetUpGrid(DBGrid1, {{"Name", "ComputerName"}, {"MAC Address", "ComputerNicMac"}});
}
