// What the three pick-list windows share: a grid of known computers and one
// address column, filled by the window's query while it is shown, and the
// filter window edit that a double-clicked address is copied into.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QString>

#include <initializer_list>
#include <memory>
#include <vector>

class QAbstractItemModel;
class QSqlQueryModel;
class QStandardItemModel;
class QTableView;
class QuarnDBConnection;

// Header role that carries a grid column's field name when its title differs.
inline constexpr int kFieldNameRole = Qt::UserRole;

// The column whose field name matches `name` regardless of letter case: the
// header's kFieldNameRole if set, else its title. -1 when there is none.
int FieldColumn(const QAbstractItemModel& model, const QString& name);

class PickListWindow : public QDialog {
    Q_OBJECT
public:
    struct GridColumn {
        const char* title;
        const char* field;
    };

    // The filter window edit that a pick is copied into (set by its Look Up button).
    QPointer<QLineEdit> LookUpTarget;

    ~PickListWindow() override;

    // Copy the current row's address into LookUpTarget and hide the window.
    // No current row, no such column or a null value: nothing happens.
    void DBGrid1DblClick();

protected:
    // `queryName` and `query`: the window's query (QueryMAC, QueryIP, QueryIPX) and its text.
    PickListWindow(QWidget* parent, QString copiedColumn, QString queryName, QString query);
    // Called once the form is loaded: the grid, its columns while no query
    // fills it, and the look of a data grid (titles, whole rows, 100-px columns).
    void SetUpGrid(QTableView* grid, std::initializer_list<GridColumn> columns);

    // Shown: open the query on a connection of the window's own. Hidden: close
    // both; the connection is not kept open between uses.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void OpenQuery();
    void TitleColumns();
    void CloseQuery();

    QTableView* grid_ = nullptr;
    const QString copiedColumn_;
    const QString queryName_;
    const QString query_;
    std::vector<GridColumn> columns_;
    QStandardItemModel* empty_ = nullptr;
    // The rows go before the connection they are read through.
    std::unique_ptr<QuarnDBConnection> connection_;
    std::unique_ptr<QSqlQueryModel> rows_;
};
