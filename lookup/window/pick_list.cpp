#include "lookup/window/pick_list.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHideEvent>
#include <QShowEvent>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QStandardItemModel>
#include <QTableView>

#include "app/messages.h"
#include "lookup/quarn_db.h"

namespace {
constexpr int kColumnWidth = 100;
constexpr int kRowPadding = 6;
constexpr std::string_view kMessageCaption = "Quarn";
} // namespace

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

PickListWindow::PickListWindow(QWidget* parent, QString copiedColumn, QString queryName, QString query)
    : QDialog(parent), copiedColumn_(std::move(copiedColumn)), queryName_(std::move(queryName)),
      query_(std::move(query))
{
    // A title bar without system menu or close box, as for every pick-list.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

void PickListWindow::SetUpGrid(QTableView* grid, std::initializer_list<GridColumn> columns)
{
    grid_ = grid;
    columns_.assign(columns.begin(), columns.end());
    // Until a query fills the grid it shows its titled columns and no rows.
    empty_ = new QStandardItemModel(0, static_cast<int>(columns.size()), this);
    int column = 0;
    for (const GridColumn& c : columns) {
        empty_->setHeaderData(column, Qt::Horizontal, QString::fromLatin1(c.title), Qt::DisplayRole);
        empty_->setHeaderData(column, Qt::Horizontal, QString::fromLatin1(c.field), kFieldNameRole);
        ++column;
    }
    grid->setModel(empty_);
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

PickListWindow::~PickListWindow() { CloseQuery(); }

void PickListWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        OpenQuery();
}

void PickListWindow::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        CloseQuery();
}

void PickListWindow::OpenQuery()
{
    CloseQuery();
    if (grid_ == nullptr)
        return;
    connection_ = std::make_unique<QuarnDBConnection>(QStringLiteral("QuarnDB:") + queryName_);
    QString problem;
    if (connection_->Open(problem)) {
        // Rows are fetched as the grid scrolls to them, so the connection
        // stays open while the window is shown.
        rows_ = std::make_unique<QSqlQueryModel>();
        rows_->setQuery(QSqlQuery(query_, connection_->Database()));
        if (!rows_->lastError().isValid()) {
            TitleColumns();
            grid_->setModel(rows_.get());
            return;
        }
        problem = QStringLiteral("Cannot read the address database %1: %2")
                      .arg(connection_->Name(), rows_->lastError().databaseText().simplified());
    }
    CloseQuery();
    ShowMessageBox(problem.toStdString(), kMessageCaption);
}

// The grid's titles over the query's columns. Each keeps the field name it
// came back with (PostgreSQL gives them in lower case), by which the copied
// column is found.
void PickListWindow::TitleColumns()
{
    const QSqlRecord record = rows_->record();
    for (int column = 0; column < record.count(); ++column)
        for (const GridColumn& c : columns_)
            if (record.fieldName(column).compare(QLatin1String(c.field), Qt::CaseInsensitive) == 0) {
                rows_->setHeaderData(column, Qt::Horizontal, QString::fromLatin1(c.title));
                rows_->setHeaderData(column, Qt::Horizontal, record.fieldName(column), kFieldNameRole);
            }
}

void PickListWindow::CloseQuery()
{
    if (grid_ != nullptr)
        grid_->setModel(empty_);
    rows_.reset();
    connection_.reset();
}
