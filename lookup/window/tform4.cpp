#include "lookup/window/tform4.h"

#include "lookup/quarn_db.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent)
    : PickListWindow(parent, QStringLiteral("ComputerNicMac"), QStringLiteral("QueryMAC"), QueryMAC)
{
    setupUi(this);
    SetUpGrid(DBGrid1, {{"Name", "ComputerName"}, {"MAC Address", "ComputerNicMac"}});
}
