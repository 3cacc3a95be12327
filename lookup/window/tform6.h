// The pick-list of known IPX node addresses: a double-click copies the "IPX Address"
// of the chosen row into the filter window edit whose Look Up button opened it.
#pragma once

#include "lookup/window/pick_list.h"
#include "ui_tform6.h"

class TForm6 : public PickListWindow, public Ui_TForm6 {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);
};

extern TForm6* Form6;
