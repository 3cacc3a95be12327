// The pick-list of known IP addresses: a double-click copies the "IP Address"
// of the chosen row into the filter window edit whose Look Up button opened it.
#pragma once

#include <memory>

#include "lookup/window/pick_list.h"

namespace Ui {
class TForm5;
}

class TForm5 : public PickListWindow {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
    ~TForm5() override;

private:
    const std::unique_ptr<Ui::TForm5> ui;
};

extern TForm5* Form5;
