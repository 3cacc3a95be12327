// The filter configuration window: the controls of Filter 1 and Filter 2 side
// by side. Nothing takes effect while the operator edits them; OK reads both
// filters into their slots and publishes them whole.
#pragma once

#include <QDialog>

#include <memory>

class PickListWindow;
class QLineEdit;

namespace Ui {
class TForm2;
}

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    // OK: write both slots, then hide this window and the pick-lists. A bad
    // MAC address gives "Invalid MAC address" and leaves the window open.
    void SpeedButton1Click();

    // Protocol interlocks: TCP, UDP and ICMP are never ticked without IP.
    void CheckBoxIP1Click();
    void CheckBoxTCP1Click();
    void CheckBoxUDP1Click();
    void CheckBoxICMP1Click();
    void CheckBoxIP2Click();
    void CheckBoxTCP2Click();
    void CheckBoxUDP2Click();
    void CheckBoxICMP2Click();

    // Look-ups: the notice, then the row's edit becomes the pick-list's target.
    void SpeedButtonLookUpMACSource1Click();
    void SpeedButtonLookUpMACDest1Click();
    void SpeedButtonLookUpMACSource2Click();
    void SpeedButtonLookUpMACDest2Click();
    void SpeedButtonLookUpIPSource1Click();
    void SpeedButtonLookUpIPDest1Click();
    void SpeedButtonLookUpIPSource2Click();
    void SpeedButtonLookUpIPDest2Click();
    void SpeedButtonLookUpIPXSource1Click();
    void SpeedButtonLookUpIPXDest1Click();
    void SpeedButtonLookUpIPXSource2Click();
    void SpeedButtonLookUpIPXDest2Click();

public slots:
    // Escape does not close the window: OK is the way out.
    void reject() override;

private:
    void ConnectHandlers();
    void LimitEdits();
    void LookUp(PickListWindow* pickList, QLineEdit* target);

    const std::unique_ptr<Ui::TForm2> ui;
};

extern TForm2* Form2;
