#include "filter/window/tform2.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QToolButton>

#include "app/messages.h"
#include "app/window/group_frame.h"
#include "filter/filter_settings.h"
#include "filter/frame_filter.h"
#include "filter/window/edit_limit.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#include "ui_tform2.h"

TForm2* Form2 = nullptr;

namespace {

constexpr std::string_view kInvalidMAC = "Invalid MAC address";
constexpr std::string_view kInvalidMACCaption = "Error";
constexpr std::string_view kDatabaseNotice = "Database functionality not implemented yet.";
constexpr std::string_view kDatabaseNoticeCaption = "Quarn";

// The edit's text one byte per character, as the text rules read it.
std::string EditText(const QLineEdit* edit) { return edit->text().toLatin1().toStdString(); }

// A click on TCP, UDP or ICMP: while IP is unticked it follows the clicked box.
void ProtocolClicked(const QCheckBox* clicked, QCheckBox* ip)
{
    if (!ip->isChecked())
        ip->setChecked(clicked->isChecked());
}

// A click on IP that unticked it unticks TCP, UDP and ICMP.
void IPClicked(const QCheckBox* ip, QCheckBox* tcp, QCheckBox* udp, QCheckBox* icmp)
{
    if (ip->isChecked())
        return;
    tcp->setChecked(false);
    udp->setChecked(false);
    icmp->setChecked(false);
}

// One filter's controls.
struct FilterWidgets {
    QCheckBox* enable;
    QCheckBox* macSource;
    QLineEdit* macSourceText;
    QCheckBox* macDest;
    QLineEdit* macDestText;
    QCheckBox* ipSource;
    QLineEdit* ipSourceText;
    QCheckBox* ipDest;
    QLineEdit* ipDestText;
    QCheckBox* ipxSource;
    QLineEdit* ipxSourceText;
    QCheckBox* ipxDest;
    QLineEdit* ipxDestText;
    QCheckBox *ip, *tcp, *udp, *icmp, *ipx, *netbeui;
};

// Filter 1's or Filter 2's controls, as members of the form: a renamed control
// fails to compile.
FilterWidgets FilterWidgetsOf(const Ui::TForm2& form, int filter)
{
    if (filter == 1)
        return {form.CheckBoxEnableFilter1, form.CheckBoxMACSource1, form.EditMACSource1,  form.CheckBoxMACDest1,
                form.EditMACDest1,          form.CheckBoxIPSource1,  form.EditIPSource1,   form.CheckBoxIPDest1,
                form.EditIPDest1,           form.CheckBoxIPXSource1, form.EditIPXSource1,  form.CheckBoxIPXDest1,
                form.EditIPXDest1,          form.CheckBoxIP1,        form.CheckBoxTCP1,    form.CheckBoxUDP1,
                form.CheckBoxICMP1,         form.CheckBoxIPX1,       form.CheckBoxNETBEUI1};
    return {form.CheckBoxEnableFilter2, form.CheckBoxMACSource2, form.EditMACSource2,  form.CheckBoxMACDest2,
            form.EditMACDest2,          form.CheckBoxIPSource2,  form.EditIPSource2,   form.CheckBoxIPDest2,
            form.EditIPDest2,           form.CheckBoxIPXSource2, form.EditIPXSource2,  form.CheckBoxIPXDest2,
            form.EditIPXDest2,          form.CheckBoxIP2,        form.CheckBoxTCP2,    form.CheckBoxUDP2,
            form.CheckBoxICMP2,         form.CheckBoxIPX2,       form.CheckBoxNETBEUI2};
}

FilterControls ReadControls(const FilterWidgets& w)
{
    return {w.enable->isChecked(),   w.macSource->isChecked(), EditText(w.macSourceText), w.macDest->isChecked(),
            EditText(w.macDestText), w.ipSource->isChecked(),  EditText(w.ipSourceText),  w.ipDest->isChecked(),
            EditText(w.ipDestText),  w.ipxSource->isChecked(), EditText(w.ipxSourceText), w.ipxDest->isChecked(),
            EditText(w.ipxDestText), w.ip->isChecked(),        w.tcp->isChecked(),        w.udp->isChecked(),
            w.icmp->isChecked(),     w.ipx->isChecked(),       w.netbeui->isChecked()};
}

} // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TForm2>())
{
    // A single-line border and a title bar without system menu or close box.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    ui->setupUi(this);
    FrameGroupBoxes(this);
    LimitEdits();
    ConnectHandlers();
}

TForm2::~TForm2() = default;

void TForm2::LimitEdits()
{
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        KeepEditLimit(edit);
}

void TForm2::ConnectHandlers()
{
    const std::pair<QAbstractButton*, void (TForm2::*)()> handlers[] = {
        {ui->SpeedButton1, &TForm2::SpeedButton1Click},
        {ui->CheckBoxIP1, &TForm2::CheckBoxIP1Click},
        {ui->CheckBoxTCP1, &TForm2::CheckBoxTCP1Click},
        {ui->CheckBoxUDP1, &TForm2::CheckBoxUDP1Click},
        {ui->CheckBoxICMP1, &TForm2::CheckBoxICMP1Click},
        {ui->CheckBoxIP2, &TForm2::CheckBoxIP2Click},
        {ui->CheckBoxTCP2, &TForm2::CheckBoxTCP2Click},
        {ui->CheckBoxUDP2, &TForm2::CheckBoxUDP2Click},
        {ui->CheckBoxICMP2, &TForm2::CheckBoxICMP2Click},
        {ui->SpeedButtonLookUpMACSource1, &TForm2::SpeedButtonLookUpMACSource1Click},
        {ui->SpeedButtonLookUpMACDest1, &TForm2::SpeedButtonLookUpMACDest1Click},
        {ui->SpeedButtonLookUpMACSource2, &TForm2::SpeedButtonLookUpMACSource2Click},
        {ui->SpeedButtonLookUpMACDest2, &TForm2::SpeedButtonLookUpMACDest2Click},
        {ui->SpeedButtonLookUpIPSource1, &TForm2::SpeedButtonLookUpIPSource1Click},
        {ui->SpeedButtonLookUpIPDest1, &TForm2::SpeedButtonLookUpIPDest1Click},
        {ui->SpeedButtonLookUpIPSource2, &TForm2::SpeedButtonLookUpIPSource2Click},
        {ui->SpeedButtonLookUpIPDest2, &TForm2::SpeedButtonLookUpIPDest2Click},
        {ui->SpeedButtonLookUpIPXSource1, &TForm2::SpeedButtonLookUpIPXSource1Click},
        {ui->SpeedButtonLookUpIPXDest1, &TForm2::SpeedButtonLookUpIPXDest1Click},
        {ui->SpeedButtonLookUpIPXSource2, &TForm2::SpeedButtonLookUpIPXSource2Click},
        {ui->SpeedButtonLookUpIPXDest2, &TForm2::SpeedButtonLookUpIPXDest2Click},
    };
    for (const auto& [button, handler] : handlers)
        connect(button, &QAbstractButton::clicked, this, handler);
}

void TForm2::SpeedButton1Click()
{
    FrameFilter filter1;
    FrameFilter filter2;
    ReadFilters(filter1, filter2);
    const bool complete = ReadFilterControls(ReadControls(FilterWidgetsOf(*ui, 1)),
                                             ReadControls(FilterWidgetsOf(*ui, 2)), filter1, filter2);
    // Published also after a bad MAC address: the flags read before it apply.
    PublishFilters(filter1, filter2);
    if (!complete) {
        ShowMessageBox(kInvalidMAC, kInvalidMACCaption);
        return;
    }
    hide();
    for (PickListWindow* pickList : {static_cast<PickListWindow*>(Form4), static_cast<PickListWindow*>(Form5),
                                     static_cast<PickListWindow*>(Form6)})
        if (pickList != nullptr)
            pickList->hide();
}

void TForm2::reject() {}

void TForm2::CheckBoxIP1Click() { IPClicked(ui->CheckBoxIP1, ui->CheckBoxTCP1, ui->CheckBoxUDP1, ui->CheckBoxICMP1); }

void TForm2::CheckBoxTCP1Click() { ProtocolClicked(ui->CheckBoxTCP1, ui->CheckBoxIP1); }
void TForm2::CheckBoxUDP1Click() { ProtocolClicked(ui->CheckBoxUDP1, ui->CheckBoxIP1); }
void TForm2::CheckBoxICMP1Click() { ProtocolClicked(ui->CheckBoxICMP1, ui->CheckBoxIP1); }

void TForm2::CheckBoxIP2Click() { IPClicked(ui->CheckBoxIP2, ui->CheckBoxTCP2, ui->CheckBoxUDP2, ui->CheckBoxICMP2); }

void TForm2::CheckBoxTCP2Click() { ProtocolClicked(ui->CheckBoxTCP2, ui->CheckBoxIP2); }
void TForm2::CheckBoxUDP2Click() { ProtocolClicked(ui->CheckBoxUDP2, ui->CheckBoxIP2); }
void TForm2::CheckBoxICMP2Click() { ProtocolClicked(ui->CheckBoxICMP2, ui->CheckBoxIP2); }

void TForm2::LookUp(PickListWindow* pickList, QLineEdit* target)
{
    // The notice comes first on every look-up: no query is opened yet.
    ShowMessageBox(kDatabaseNotice, kDatabaseNoticeCaption);
    if (pickList == nullptr)
        return;
    pickList->LookUpTarget = target;
    pickList->show();
    pickList->raise();
    pickList->activateWindow();
}

void TForm2::SpeedButtonLookUpMACSource1Click() { LookUp(Form4, ui->EditMACSource1); }
void TForm2::SpeedButtonLookUpMACDest1Click() { LookUp(Form4, ui->EditMACDest1); }
void TForm2::SpeedButtonLookUpMACSource2Click() { LookUp(Form4, ui->EditMACSource2); }
void TForm2::SpeedButtonLookUpMACDest2Click() { LookUp(Form4, ui->EditMACDest2); }
void TForm2::SpeedButtonLookUpIPSource1Click() { LookUp(Form5, ui->EditIPSource1); }
void TForm2::SpeedButtonLookUpIPDest1Click() { LookUp(Form5, ui->EditIPDest1); }
void TForm2::SpeedButtonLookUpIPSource2Click() { LookUp(Form5, ui->EditIPSource2); }
void TForm2::SpeedButtonLookUpIPDest2Click() { LookUp(Form5, ui->EditIPDest2); }
void TForm2::SpeedButtonLookUpIPXSource1Click() { LookUp(Form6, ui->EditIPXSource1); }
void TForm2::SpeedButtonLookUpIPXDest1Click() { LookUp(Form6, ui->EditIPXDest1); }
void TForm2::SpeedButtonLookUpIPXSource2Click() { LookUp(Form6, ui->EditIPXSource2); }
void TForm2::SpeedButtonLookUpIPXDest2Click() { LookUp(Form6, ui->EditIPXDest2); }
