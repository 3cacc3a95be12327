// The pick-list of known IPX node addresses: a double-click copies the "IPX Address"
// of the chosen row into the filter window edit whose Look Up button opened it.
#pragma once

#include <memory>

#include "lookup/window/pick_list.h"

namespace Ui {
class TForm6;
}

class TForm6 : public PickListWindow {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);
    ~TForm6() override;

private:
    const std::unique_ptr<Ui::TForm6> ui;
};

extern TForm6* Form6;
