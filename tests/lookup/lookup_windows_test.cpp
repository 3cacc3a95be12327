// The Look Up buttons and the pick-lists: the notice on every look-up, the
// target each button sets, and the copy of a double-clicked address.
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

class LookUp : public testing::Test {
protected:
    void SetUp() override { Form2->show(); }

    // A query result as the database would give it: computer names and one
    // address column, the second row's address null.
    static std::unique_ptr<QStandardItemModel> Rows(const QString& addressField, const QString& address)
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
    // The operator's double-click on a row of the pick-list's grid.
    static void Pick(PickListWindow* window, int row)
    {
        QTableView* grid = window->findChild<QTableView*>("DBGrid1");
        grid->setCurrentIndex(grid->model()->index(row, 0));
        emit grid->doubleClicked(grid->currentIndex());
    }

    MessageRecorder recorder;
    Windows windows;
};

TEST_F(LookUp, EachButtonShowsTheNoticeThenFillsItsOwnRowAndNoOther)
{
    const struct {
        const char* row; // Look Up button "SpeedButtonLookUp<row>", edit "Edit<row>"
        PickListWindow* window;
        const char* column; // the field name as the query would give it
    } rows[] = {
        {"MACSource1", Form4, "ComputerNicMac"},         {"MACDest1", Form4, "ComputerNicMac"},
        {"MACSource2", Form4, "ComputerNicMac"},         {"MACDest2", Form4, "ComputerNicMac"},
        {"IPSource1", Form5, "ComputerNicIPNumber"},     {"IPDest1", Form5, "ComputerNicIPNumber"},
        {"IPSource2", Form5, "ComputerNicIPNumber"},     {"IPDest2", Form5, "ComputerNicIPNumber"},
        {"IPXSource1", Form6, "ComputerNicIPXNumber"},   {"IPXDest1", Form6, "ComputerNicIPXNumber"},
        {"IPXSource2", Form6, "ComputerNicIPXNumber"},   {"IPXDest2", Form6, "ComputerNicIPXNumber"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        const QString editName = QStringLiteral("Edit%1").arg(row.row);
        for (QLineEdit* edit : Form2->findChildren<QLineEdit*>())
            edit->clear();
        const QString value = "value for " + editName;
        auto model = Rows(row.column, value);
        row.window->findChild<QTableView*>("DBGrid1")->setModel(model.get());

        recorder.messages.clear();
        bool shownDuringNotice = true;
        recorder.whileShown = [&] { shownDuringNotice = row.window->isVisible(); };
        auto* button = Form2->findChild<QToolButton*>(QStringLiteral("SpeedButtonLookUp%1").arg(row.row));
        ASSERT_NE(button, nullptr);
        button->click();

        EXPECT_EQ(recorder.messages,
                  (std::vector<RecordedMessage>{{"Database functionality not implemented yet.", "Quarn"}}));
        EXPECT_FALSE(shownDuringNotice) << "the notice comes before the pick-list";
        EXPECT_TRUE(row.window->isVisible());
        EXPECT_EQ(row.window->LookUpTarget.data(), Form2->findChild<QLineEdit*>(editName));

        Pick(row.window, 0);
        EXPECT_FALSE(row.window->isVisible());
        for (QLineEdit* edit : Form2->findChildren<QLineEdit*>())
            EXPECT_EQ(edit->text(), edit->objectName() == editName ? value : "")
                << edit->objectName().toStdString();
        recorder.whileShown = nullptr;
        row.window->findChild<QTableView*>("DBGrid1")->setModel(nullptr);
    }
}

TEST_F(LookUp, PickLandsWholeWhateverTheEditLimit)
{
    auto model = Rows("ComputerNicIPNumber", "192.168.100.200 (lab)"); // over Filter 1's 15 for IP
    Form5->DBGrid1->setModel(model.get());
    Form2->EditIPSource1->setText("old");
    Form2->SpeedButtonLookUpIPSource1->click();
    Pick(Form5, 0);
    QLineEdit* edit = Form2->EditIPSource1;
    EXPECT_EQ(edit->text(), "192.168.100.200 (lab)");

    // The operator may shorten the longer text but not lengthen it, and the
    // cursor stays where the editing happens.
    edit->setCursorPosition(3);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "19.168.100.200 (lab)");
    EXPECT_EQ(edit->cursorPosition(), 2);
    QTest::keyClicks(edit, "2");
    EXPECT_EQ(edit->text(), "19.168.100.200 (lab)");
    QTest::keyClick(edit, Qt::Key_End);
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "19.168.100.200");
    QTest::keyClicks(edit, "99");
    EXPECT_EQ(edit->text(), "19.168.100.2009") << "back within the limit of 15: one more fits, no more";
    Form5->DBGrid1->setModel(nullptr);
}

// The last Look Up pressed sets the target. A null address, no current row or a
// grid without the copied column copy nothing and leave the pick-list open; the
// column is found by field name regardless of case or of the grid's titles.
TEST_F(LookUp, WhatIsCopiedAndWhatIsNot)
{
    auto model = Rows("ComputerNicMac", "00-1A-2B-3C-4D-5E");
    Form4->DBGrid1->setModel(model.get());
    Form2->EditMACSource1->setText("typed");
    Form2->SpeedButtonLookUpMACDest2->click();
    Form2->SpeedButtonLookUpMACSource1->click();
    EXPECT_EQ(recorder.messages.size(), 2u);
    Pick(Form4, 1);
    Form4->DBGrid1->setCurrentIndex(QModelIndex());
    Form4->DBGrid1DblClick();
    EXPECT_TRUE(Form4->isVisible());
    EXPECT_EQ(Form2->EditMACSource1->text(), "typed");
    Pick(Form4, 2);
    EXPECT_EQ(Form2->EditMACSource1->text(), "other");
    EXPECT_TRUE(Form2->EditMACDest2->text().isEmpty());
    EXPECT_FALSE(Form4->isVisible());

    // The IPX pick-list copies "ComputerNicIPXNumber".
    auto ipx = Rows("computernicipxnumber", "00-00-00-00-00-01");
    Form6->DBGrid1->setModel(ipx.get());
    Form2->SpeedButtonLookUpIPXDest1->click();
    Pick(Form6, 0);
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
    Pick(Form5, 0);
    EXPECT_EQ(Form2->EditIPDest2->text(), "10.0.0.9");

    Form5->DBGrid1->setModel(model.get()); // no IP column
    Form2->SpeedButtonLookUpIPDest2->click();
    Pick(Form5, 0);
    EXPECT_EQ(Form2->EditIPDest2->text(), "10.0.0.9");
    EXPECT_TRUE(Form5->isVisible());
    for (PickListWindow* window : std::initializer_list<PickListWindow*>{Form4, Form5, Form6})
        window->findChild<QTableView*>("DBGrid1")->setModel(nullptr);
}

} // namespace
