// The Look Up buttons and the pick-lists: the notice on every look-up, the
// target each button sets, and the copy of a double-clicked address.
#include <QCheckBox>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>

#include "filter/frame_filter.h"
#include "filter/window/tform2.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#include "tests/lookup/quarn_db_test_support.h"
#include "tests/support/window_test_support.h"

namespace {

QLineEdit* Edit(const char* name) { return Find<QLineEdit>(Form2, name); }
QToolButton* Button(const char* name) { return Find<QToolButton>(Form2, name); }
QTableView* Grid(const PickListWindow* pickList) { return Find<QTableView>(pickList, "DBGrid1"); }

// The copy rules, over rows that a test puts into a pick-list once its Look Up
// has shown it (and opened its query on an empty database of the test's own).
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
        QTableView* grid = Grid(window);
        grid->setCurrentIndex(grid->model()->index(row, 0));
        emit grid->doubleClicked(grid->currentIndex());
    }

    TestDatabase database{Engine::SQLite};
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
        {"MACSource1", Form4, "ComputerNicMac"},       {"MACDest1", Form4, "ComputerNicMac"},
        {"MACSource2", Form4, "ComputerNicMac"},       {"MACDest2", Form4, "ComputerNicMac"},
        {"IPSource1", Form5, "ComputerNicIPNumber"},   {"IPDest1", Form5, "ComputerNicIPNumber"},
        {"IPSource2", Form5, "ComputerNicIPNumber"},   {"IPDest2", Form5, "ComputerNicIPNumber"},
        {"IPXSource1", Form6, "ComputerNicIPXNumber"}, {"IPXDest1", Form6, "ComputerNicIPXNumber"},
        {"IPXSource2", Form6, "ComputerNicIPXNumber"}, {"IPXDest2", Form6, "ComputerNicIPXNumber"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        const QString editName = QStringLiteral("Edit%1").arg(row.row);
        for (QLineEdit* edit : Form2->findChildren<QLineEdit*>())
            edit->clear();
        const QString value = "value for " + editName;
        auto model = Rows(row.column, value);

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

        Grid(row.window)->setModel(model.get());
        Pick(row.window, 0);
        EXPECT_FALSE(row.window->isVisible());
        for (QLineEdit* edit : Form2->findChildren<QLineEdit*>())
            EXPECT_EQ(edit->text(), edit->objectName() == editName ? value : "") << edit->objectName().toStdString();
        recorder.whileShown = nullptr;
        Grid(row.window)->setModel(nullptr);
    }
}

TEST_F(LookUp, PickLandsWholeWhateverTheEditLimit)
{
    auto model = Rows("ComputerNicIPNumber", "192.168.100.200 (lab)"); // over Filter 1's 15 for IP
    Edit("EditIPSource1")->setText("old");
    Button("SpeedButtonLookUpIPSource1")->click();
    Grid(Form5)->setModel(model.get());
    Pick(Form5, 0);
    QLineEdit* edit = Edit("EditIPSource1");
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
    Grid(Form5)->setModel(nullptr);
}

// The last Look Up pressed sets the target. A null address, no current row or a
// grid without the copied column copy nothing and leave the pick-list open; the
// column is found by field name regardless of case or of the grid's titles.
TEST_F(LookUp, WhatIsCopiedAndWhatIsNot)
{
    auto model = Rows("ComputerNicMac", "00-1A-2B-3C-4D-5E");
    Edit("EditMACSource1")->setText("typed");
    Button("SpeedButtonLookUpMACDest2")->click();
    Button("SpeedButtonLookUpMACSource1")->click();
    EXPECT_EQ(recorder.messages.size(), 2u);
    Grid(Form4)->setModel(model.get());
    Pick(Form4, 1);
    Grid(Form4)->setCurrentIndex(QModelIndex());
    Form4->DBGrid1DblClick();
    EXPECT_TRUE(Form4->isVisible());
    EXPECT_EQ(Edit("EditMACSource1")->text(), "typed");
    Pick(Form4, 2);
    EXPECT_EQ(Edit("EditMACSource1")->text(), "other");
    EXPECT_TRUE(Edit("EditMACDest2")->text().isEmpty());
    EXPECT_FALSE(Form4->isVisible());

    // The IPX pick-list copies "ComputerNicIPXNumber".
    auto ipx = Rows("computernicipxnumber", "00-00-00-00-00-01");
    Button("SpeedButtonLookUpIPXDest1")->click();
    Grid(Form6)->setModel(ipx.get());
    Pick(Form6, 0);
    EXPECT_EQ(Edit("EditIPXDest1")->text(), "00-00-00-00-00-01");

    // A titled grid keeps the field name beside the title; the address is in
    // the first column here, so a match on position would copy the name.
    QStandardItemModel titled(1, 2);
    titled.setHeaderData(0, Qt::Horizontal, "IP Address");
    titled.setHeaderData(0, Qt::Horizontal, "ComputerNicIPNumber", kFieldNameRole);
    titled.setHeaderData(1, Qt::Horizontal, "Name");
    titled.setHeaderData(1, Qt::Horizontal, "ComputerName", kFieldNameRole);
    titled.setItem(0, 0, new QStandardItem("10.0.0.9"));
    titled.setItem(0, 1, new QStandardItem("delta"));
    Button("SpeedButtonLookUpIPDest2")->click();
    Grid(Form5)->setModel(&titled);
    Pick(Form5, 0);
    EXPECT_EQ(Edit("EditIPDest2")->text(), "10.0.0.9");

    Button("SpeedButtonLookUpIPDest2")->click();
    Grid(Form5)->setModel(model.get()); // no IP column
    Pick(Form5, 0);
    EXPECT_EQ(Edit("EditIPDest2")->text(), "10.0.0.9");
    EXPECT_TRUE(Form5->isVisible());
    for (PickListWindow* window : std::initializer_list<PickListWindow*>{Form4, Form5, Form6})
        Grid(window)->setModel(nullptr);
}

// Through the real windows, on each engine: the inventory imported with
// quarn-db, a Look Up, a double-click on a row, OK.
class LookUpFromDatabase : public testing::TestWithParam<Engine> {
protected:
    // The row of the grid whose address column shows `address`.
    static QModelIndex RowOf(QTableView* grid, const QString& address)
    {
        const QAbstractItemModel& model = *grid->model();
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.index(row, 1).data().toString() == address)
                return model.index(row, 1);
        return {};
    }
    static void DoubleClick(QTableView* grid, const QModelIndex& index)
    {
        const QPoint at = grid->visualRect(index).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    }
    static bool ConnectionOpen()
    {
        const QStringList names = QSqlDatabase::connectionNames();
        return std::any_of(names.begin(), names.end(), [](const QString& name) { return name.startsWith("QuarnDB:"); });
    }
};

INSTANTIATE_TEST_SUITE_P(Engines, LookUpFromDatabase, testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) { return EngineName(info.param); });

TEST_P(LookUpFromDatabase, PickLandsUnchangedAndOKReadsItIntoTheSlot)
{
    TestDatabase database(GetParam());
    SKIP_WITHOUT(database);
    database.WriteFile("inventory.csv", kInventoryFile);
    const CommandResult import = RunQuarnDB(database, {"import", "inventory.csv"});
    ASSERT_EQ(import.exitStatus, 0) << import.err;
    MessageRecorder recorder;
    Windows windows;
    Form2->show();
    Find<QCheckBox>(Form2, "CheckBoxEnableFilter1")->setChecked(true);

    const struct {
        QToolButton* button;
        PickListWindow* window;
        QTableView* grid;
        const char* title;
        QLineEdit* edit;
        QCheckBox* box;
        QString address;
    } picks[] = {
        {Button("SpeedButtonLookUpMACSource1"), Form4, Grid(Form4), "MAC Address", Edit("EditMACSource1"),
         Find<QCheckBox>(Form2, "CheckBoxMACSource1"), "00:1a:2b:3c:4d:5f"},
        {Button("SpeedButtonLookUpIPDest2"), Form5, Grid(Form5), "IP Address", Edit("EditIPDest2"),
         Find<QCheckBox>(Form2, "CheckBoxIPDest2"), "10.0.0.1"},
        {Button("SpeedButtonLookUpIPXSource2"), Form6, Grid(Form6), "IPX Address", Edit("EditIPXSource2"),
         Find<QCheckBox>(Form2, "CheckBoxIPXSource2"), "02:00:00:00:00:0c"},
    };
    for (const auto& pick : picks) {
        SCOPED_TRACE(pick.title);
        recorder.messages.clear();
        pick.button->click();
        EXPECT_EQ(recorder.messages,
                  (std::vector<RecordedMessage>{{"Database functionality not implemented yet.", "Quarn"}}));
        ASSERT_TRUE(pick.window->isVisible());
        const QAbstractItemModel& rows = *pick.grid->model();
        EXPECT_EQ(rows.headerData(0, Qt::Horizontal).toString(), "Name");
        EXPECT_EQ(rows.headerData(1, Qt::Horizontal).toString(), pick.title);
        const QModelIndex index = RowOf(pick.grid, pick.address);
        ASSERT_TRUE(index.isValid());
        DoubleClick(pick.grid, index);
        EXPECT_FALSE(pick.window->isVisible());
        EXPECT_EQ(pick.edit->text(), pick.address);
        EXPECT_FALSE(ConnectionOpen()) << "the connection is not kept between uses";
        pick.box->setChecked(true);
    }

    // charlie's card has no MAC address: a double-click on it copies nothing.
    Button("SpeedButtonLookUpMACDest1")->click();
    DoubleClick(Grid(Form4), RowOf(Grid(Form4), ""));
    EXPECT_TRUE(Form4->isVisible());
    EXPECT_TRUE(Edit("EditMACDest1")->text().isEmpty());

    Button("SpeedButton1")->click();
    EXPECT_FALSE(Form2->isVisible());
    EXPECT_FALSE(Form4->isVisible());
    EXPECT_FALSE(ConnectionOpen());
    FrameFilter filter1, filter2;
    ReadFilters(filter1, filter2);
    EXPECT_EQ(std::to_array(filter1.MACSource), (std::array<uint8_t, 6>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F}));
    EXPECT_EQ(std::to_array(filter2.IPDest), (std::array<uint8_t, 4>{10, 0, 0, 1}));
    EXPECT_EQ(std::to_array(filter2.IPXSource), (std::array<uint8_t, 6>{0x02, 0, 0, 0, 0, 0x0C}));
    EXPECT_TRUE(filter1.MACSourceOn && filter2.IPDestOn && filter2.IPXSourceOn);
}

// One message naming the database and the reason after the notice, then the
// titled, empty pick-list; once the database is sound again a look-up works.
TEST_P(LookUpFromDatabase, DatabaseThatCannotBeOpenedGivesOneMessageAndAnEmptyList)
{
    TestDatabase database(GetParam());
    SKIP_WITHOUT(database);
    std::string expected = "Cannot open the address database QuarnDB (";
    if (GetParam() == Engine::SQLite) {
        std::filesystem::create_directories(database.Directory() + "/data/quarn");
        database.WriteFile("data/quarn/QuarnDB.sqlite", std::string(4096, 'x'));
        expected += "SQLite file " + database.SQLiteFile() + "): file is not a database";
    } else {
        database.WriteService({"host=" + database.Directory()});
        expected += "PostgreSQL service QuarnDB in " + database.Directory()
            + "/pg_service.conf): connection to server on socket \"" + database.Directory()
            + "/.s.PGSQL.5432\" failed: No such file or directory";
    }
    MessageRecorder recorder;
    Windows windows;
    Form2->show();
    Button("SpeedButtonLookUpIPSource1")->click();
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[0], (RecordedMessage{"Database functionality not implemented yet.", "Quarn"}));
    EXPECT_TRUE(recorder.messages[1].text.starts_with(expected)) << recorder.messages[1].text;
    EXPECT_EQ(recorder.messages[1].caption, "Quarn");
    EXPECT_TRUE(Form5->isVisible());
    const QAbstractItemModel& rows = *Grid(Form5)->model();
    EXPECT_EQ(rows.rowCount(), 0);
    EXPECT_EQ(rows.headerData(1, Qt::Horizontal).toString(), "IP Address");
    Form5->DBGrid1DblClick();
    EXPECT_TRUE(Form5->isVisible());

    Button("SpeedButton1")->click();
    if (GetParam() == Engine::SQLite)
        std::filesystem::remove(database.SQLiteFile());
    else
        database.WriteService();
    recorder.messages.clear();
    Form2->show();
    Button("SpeedButtonLookUpIPSource1")->click();
    EXPECT_EQ(recorder.messages.size(), 1u);
    EXPECT_TRUE(Form5->isVisible());
}

} // namespace
