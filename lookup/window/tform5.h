// The pick-list of known IP addresses: a double-click copies the "IP Address"
// of the chosen row into the filter window edit whose Look Up button opened it.
#pragma once

#include "lookup/window/pick_list.h"
#include "ui_tform5.h"

class TForm5 : public PickListWindow, public Ui_TForm5 {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
};

extern TForm5* Form5;
