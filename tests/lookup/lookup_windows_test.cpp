// The Look Up buttons and the pick-lists: the notice on every look-up, the
// target each button sets, and the copy of a double-clicked address.
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

#include "filter/window/tform2.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#include "tests/filter/window/window_test_support.h"

namespace {

struct Row {
    const char* button;
    const char* edit;
    PickListWindow* (*window)();
    const char* column; // the field name as the query would give it
};

PickListWindow* Form4Window() { return Form4; }
PickListWindow* Form5Window() { return Form5; }
PickListWindow* Form6Window() { return Form6; }

// Every Look Up button, its row's edit and its pick-list.
const Row kRows[] = {
    {"SpeedButtonLookUpMACSource1", "EditMACSource1", Form4Window, "ComputerNicMac"},
    {"SpeedButtonLookUpMACDest1", "EditMACDest1", Form4Window, "ComputerNicMac"},
    {"SpeedButtonLookUpMACSource2", "EditMACSource2", Form4Window, "ComputerNicMac"},
    {"SpeedButtonLookUpMACDest2", "EditMACDest2", Form4Window, "ComputerNicMac"},
    {"SpeedButtonLookUpIPSource1", "EditIPSource1", Form5Window, "ComputerNicIPNumber"},
    {"SpeedButtonLookUpIPDest1", "EditIPDest1", Form5Window, "ComputerNicIPNumber"},
    {"SpeedButtonLookUpIPSource2", "EditIPSource2", Form5Window, "ComputerNicIPNumber"},
    {"SpeedButtonLookUpIPDest2", "EditIPDest2", Form5Window, "ComputerNicIPNumber"},
    {"SpeedButtonLookUpIPXSource1", "EditIPXSource1", Form6Window, "ComputerNicIPXNumber"},
    {"SpeedButtonLookUpIPXDest1", "EditIPXDest1", Form6Window, "ComputerNicIPXNumber"},
    {"SpeedButtonLookUpIPXSource2", "EditIPXSource2", Form6Window, "ComputerNicIPXNumber"},
    {"SpeedButtonLookUpIPXDest2", "EditIPXDest2", Form6Window, "ComputerNicIPXNumber"},
};

class LookUp : public testing::Test {
protected:
    void SetUp() override { Form2->show(); }

    // A query result as the database would give it: computer names and one
    // address column, the second row's address null.
    std::unique_ptr<QStandardItemModel> Rows(const QString& addressField, const QString& address)
    {
        auto model = std::make_unique<QStandardItemModel>(3, 2);
        model->setHorizontalHeaderLabels({"ComputerName", addressField});
        model->setItem(0, 0, new QStandardItem("alpha"));
        model->setItem(0, 1, new QStandardItem(address));
        model->setItem(1, 0, new QStandardItem("bravo"));
        model->setItem(2, 0, new QStandardItem("charlie"));
        model->setItem(2, 1, new QStandardItem("other"));
        return model;
    }
    void Pick(PickListWindow* window, QTableView* grid, int row)
    {
        grid->setCurrentIndex(grid->model()->index(row, 0));
        window->DBGrid1DblClick();
    }
    QTableView* Grid(PickListWindow* window) { return window->findChild<QTableView*>("DBGrid1"); }
    QToolButton* Button(const char* name) { return Form2->findChild<QToolButton*>(name); }
    QLineEdit* Edit(const char* name) { return Form2->findChild<QLineEdit*>(name); }

    MessageRecorder recorder;
    Windows windows;
};

TEST_F(LookUp, EachButtonFillsItsOwnRowAndNoOther)
{
    for (const Row& row : kRows) {
        for (QLineEdit* edit : Form2->findChildren<QLineEdit*>())
            edit->clear();
        PickListWindow* window = row.window();
        const QString value = QStringLiteral("value for %1").arg(row.edit);
        auto model = Rows(row.column, value);
        Grid(window)->setModel(model.get());

        recorder.messages.clear();
        bool shownDuringNotice = true;
        recorder.whileShown = [&] { shownDuringNotice = window->isVisible(); };
        ASSERT_NE(Button(row.button), nullptr) << row.button;
        Button(row.button)->click();

        ASSERT_EQ(recorder.messages.size(), 1u) << row.button;
        EXPECT_EQ(recorder.messages[0].text, "Database functionality not implemented yet.");
        EXPECT_EQ(recorder.messages[0].caption, "Quarn");
        EXPECT_FALSE(shownDuringNotice) << row.button << ": the notice comes before the pick-list";
        EXPECT_TRUE(window->isVisible()) << row.button;
        EXPECT_EQ(window->LookUpTarget.data(), Edit(row.edit)) << row.button;

        Pick(window, Grid(window), 0);
        EXPECT_FALSE(window->isVisible()) << row.button;
        for (QLineEdit* edit : Form2->findChildren<QLineEdit*>()) {
            if (edit->objectName() == row.edit)
                EXPECT_EQ(edit->text(), value) << row.button;
            else
                EXPECT_TRUE(edit->text().isEmpty()) << row.button << " filled " << edit->objectName().toStdString();
        }
        recorder.whileShown = nullptr;
        Grid(window)->setModel(nullptr);
    }
}

TEST_F(LookUp, TheLastButtonPressedSetsTheTarget)
{
    auto model = Rows("ComputerNicMac", "00-1A-2B-3C-4D-5E");
    Form4->DBGrid1->setModel(model.get());
    Form2->SpeedButtonLookUpMACSource1->click();
    Form2->SpeedButtonLookUpMACDest2->click();
    EXPECT_EQ(recorder.messages.size(), 2u);
    EXPECT_TRUE(Form4->isVisible());

    Pick(Form4, Form4->DBGrid1, 0);
    EXPECT_EQ(Form2->EditMACDest2->text(), "00-1A-2B-3C-4D-5E");
    EXPECT_TRUE(Form2->EditMACSource1->text().isEmpty());
    Form4->DBGrid1->setModel(nullptr);
}

TEST_F(LookUp, PickLandsWholeWhateverTheEditLimit)
{
    // Longer than Filter 1's 15-character IP limit.
    auto model = Rows("ComputerNicIPNumber", "192.168.100.200 (lab)");
    Form5->DBGrid1->setModel(model.get());
    Form2->EditIPSource1->setText("old");
    Form2->SpeedButtonLookUpIPSource1->click();
    Pick(Form5, Form5->DBGrid1, 0);
    QLineEdit* edit = Form2->EditIPSource1;
    EXPECT_EQ(edit->text(), "192.168.100.200 (lab)");

    // The operator may shorten the longer text but not lengthen it, and the
    // cursor stays where the editing happens.
    QTest::keyClick(edit, Qt::Key_Home);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(edit, Qt::Key_Right);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "19.168.100.200 (lab)");
    EXPECT_EQ(edit->cursorPosition(), 2);
    QTest::keyClicks(edit, "2");
    EXPECT_EQ(edit->text(), "19.168.100.200 (lab)");
    QTest::keyClick(edit, Qt::Key_End);
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "19.168.100.200");
    // Back within the form's limit of 15: one more character fits, no more.
    QTest::keyClicks(edit, "99");
    EXPECT_EQ(edit->text(), "19.168.100.2009");
    Form5->DBGrid1->setModel(nullptr);
}

TEST_F(LookUp, NullAddressOrNoRowChangesNothing)
{
    auto model = Rows("ComputerNicMac", "00-1A-2B-3C-4D-5E");
    Form4->DBGrid1->setModel(model.get());
    Form2->EditMACSource1->setText("typed");
    Form2->SpeedButtonLookUpMACSource1->click();

    Pick(Form4, Form4->DBGrid1, 1);
    EXPECT_TRUE(Form4->isVisible());
    EXPECT_EQ(Form2->EditMACSource1->text(), "typed");

    Form4->DBGrid1->setCurrentIndex(QModelIndex());
    Form4->DBGrid1DblClick();
    EXPECT_TRUE(Form4->isVisible());
    EXPECT_EQ(Form2->EditMACSource1->text(), "typed");

    // A pick then works from the same open window.
    Pick(Form4, Form4->DBGrid1, 2);
    EXPECT_EQ(Form2->EditMACSource1->text(), "other");
    EXPECT_FALSE(Form4->isVisible());
    Form4->DBGrid1->setModel(nullptr);
}

TEST_F(LookUp, ColumnFoundRegardlessOfCaseAndTitles)
{
    // The IPX pick-list asks for "ComputerNicIpxNumber"; the query says
    // "ComputerNicIPXNumber".
    auto ipx = Rows("computernicipxnumber", "00-00-00-00-00-01");
    Form6->DBGrid1->setModel(ipx.get());
    Form2->SpeedButtonLookUpIPXDest1->click();
    Pick(Form6, Form6->DBGrid1, 0);
    EXPECT_EQ(Form2->EditIPXDest1->text(), "00-00-00-00-00-01");

    // A titled grid keeps the field name beside the title; the address is in
    // the first column here, so a match on position would copy the name.
    QStandardItemModel titled(1, 2);
    titled.setHeaderData(0, Qt::Horizontal, "IP Address");
    titled.setHeaderData(0, Qt::Horizontal, "ComputerNicIPNumber", kFieldNameRole);
    titled.setHeaderData(1, Qt::Horizontal, "Name");
    titled.setHeaderData(1, Qt::Horizontal, "ComputerName", kFieldNameRole);
    titled.setItem(0, 0, new QStandardItem("10.0.0.9"));
    titled.setItem(0, 1, new QStandardItem("delta"));
    Form5->DBGrid1->setModel(&titled);
    Form2->SpeedButtonLookUpIPDest2->click();
    Pick(Form5, Form5->DBGrid1, 0);
    EXPECT_EQ(Form2->EditIPDest2->text(), "10.0.0.9");

    // A grid without the copied column copies nothing.
    auto wrong = Rows("ComputerNicMac", "00-1A-2B-3C-4D-5E");
    Form5->DBGrid1->setModel(wrong.get());
    Form2->SpeedButtonLookUpIPDest2->click();
    Pick(Form5, Form5->DBGrid1, 0);
    EXPECT_EQ(Form2->EditIPDest2->text(), "10.0.0.9");
    EXPECT_TRUE(Form5->isVisible());
    Form5->DBGrid1->setModel(nullptr);
    Form6->DBGrid1->setModel(nullptr);
}

TEST_F(LookUp, DoubleClickOnARowCopiesIt)
{
    auto model = Rows("ComputerNicMac", "00-1A-2B-3C-4D-5E");
    Form4->DBGrid1->setModel(model.get());
    Form2->SpeedButtonLookUpMACDest1->click();
    QTableView* grid = Form4->DBGrid1;
    grid->setCurrentIndex(model->index(0, 1));
    emit grid->doubleClicked(model->index(0, 1));
    EXPECT_EQ(Form2->EditMACDest1->text(), "00-1A-2B-3C-4D-5E");
    // The double-click neither opened an editor nor changed the grid.
    EXPECT_EQ(model->item(0, 1)->text(), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    grid->setModel(nullptr);
}

TEST_F(LookUp, NoQueryIsOpenedSoAPickListOffersNothing)
{
    for (PickListWindow* window : {Form4Window(), Form5Window(), Form6Window()}) {
        QTableView* grid = Grid(window);
        EXPECT_EQ(grid->model()->rowCount(), 0);
        EXPECT_EQ(grid->model()->columnCount(), 2);
        window->LookUpTarget = Form2->EditMACSource1;
        window->show();
        window->DBGrid1DblClick();
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(Form2->EditMACSource1->text().isEmpty());
    }
}

} // namespace
