// The pick-list of known MAC addresses: a double-click copies the "MAC Address"
// of the chosen row into the filter window edit whose Look Up button opened it.
#pragma once

#include "lookup/window/pick_list.h"
#include "ui_tform4.h"

class TForm4 : public PickListWindow, public Ui_TForm4 {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
};

extern TForm4* Form4;
