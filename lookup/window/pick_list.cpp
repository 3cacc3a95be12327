#include "lookup/window/pick_list.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>

namespace {
constexpr int kColumnWidth = 100;
constexpr int kRowPadding = 6;
}

int FieldColumn(const QAbstractItemModel& model, const QString& name)
{
    for (int column = 0; column < model.columnCount(); ++column) {
        QVariant field = model.headerData(column, Qt::Horizontal, kFieldNameRole);
        if (!field.isValid())
            field = model.headerData(column, Qt::Horizontal, Qt::DisplayRole);
        if (field.toString().compare(name, Qt::CaseInsensitive) == 0)
            return column;
    }
    return -1;
}

PickListWindow::PickListWindow(QWidget* parent, QString copiedColumn)
    : QDialog(parent), copiedColumn_(std::move(copiedColumn))
{
    // A title bar without system menu or close box, as for every pick-list.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

void PickListWindow::SetUpGrid(QTableView* grid, std::initializer_list<GridColumn> columns)
{
    grid_ = grid;
    // Until a query fills the grid it shows its titled columns and no rows.
    auto* empty = new QStandardItemModel(0, static_cast<int>(columns.size()), this);
    int column = 0;
    for (const GridColumn& c : columns) {
        empty->setHeaderData(column, Qt::Horizontal, QString::fromLatin1(c.title), Qt::DisplayRole);
        empty->setHeaderData(column, Qt::Horizontal, QString::fromLatin1(c.field), kFieldNameRole);
        ++column;
    }
    grid->setModel(empty);
    grid->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    grid->horizontalHeader()->setStretchLastSection(false);
    grid->verticalHeader()->hide();
    // One line per row, as in a data grid: a long address is cut, not wrapped.
    grid->setWordWrap(false);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + kRowPadding);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    // A double-click picks a row; it never opens an editor.
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(grid, &QAbstractItemView::doubleClicked, this, &PickListWindow::DBGrid1DblClick);
}

void PickListWindow::DBGrid1DblClick()
{
    if (grid_ == nullptr || grid_->model() == nullptr || LookUpTarget.isNull())
        return;
    const QModelIndex current = grid_->currentIndex();
    if (!current.isValid())
        return;
    const QAbstractItemModel& model = *grid_->model();
    const int column = FieldColumn(model, copiedColumn_);
    if (column < 0)
        return;
    const QVariant value = model.index(current.row(), column).data();
    if (value.isNull())
        return;
    // Set whole: the edit's typing limit does not restrain a pick.
    const QString text = value.toString();
    if (LookUpTarget->maxLength() < text.size())
        LookUpTarget->setMaxLength(static_cast<int>(text.size()));
    LookUpTarget->setText(text);
    hide();
}
