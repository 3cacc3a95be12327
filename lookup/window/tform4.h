// The pick-list of known MAC addresses: a double-click copies the "MAC Address"
// of the chosen row into the filter window edit whose Look Up button opened it.
#pragma once

#include <memory>

#include "lookup/window/pick_list.h"

namespace Ui {
class TForm4;
}

class TForm4 : public PickListWindow {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
    ~TForm4() override;

private:
    const std::unique_ptr<Ui::TForm4> ui;
};

extern TForm4* Form4;
