// Building blocks shared by the record pages: grids over data sets, the pager bar, search-box
// fields, date pickers, popup menus and the texts of a search's conditions.
#pragma once

#include "platform/DataSetModel.h"

#include <QDate>
#include <QList>
#include <QString>

class DataSet;
class DbLookupCombo;
class DbNavigator;
class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QWidget;

namespace RecordPageKit {

// Shows q in grid through a new model (named name, owned by the grid) with these columns; the grid
// selects whole rows, several at a time, and is read-only.
DataSetModel* AttachGrid(QTableView* grid, DataSet* q, const QList<DataSetColumn>& columns,
                         const QString& name);
DataSetColumn Column(const char* field, const char* title, int width, bool visible = true);

// The bar below a record grid: navigator, current page, page size and totals, named after the
// page ("Ins": NavInsControl, EdtInsCurPage, ComboxInsPageSize, LblInsTotalPage).
struct PagerBar {
    QComboBox* pageSize = nullptr;
    QLineEdit* curPage = nullptr;
    QLabel* total = nullptr;
    DbNavigator* navigator = nullptr;
};
PagerBar AddPagerBar(QWidget* page, const QString& stem);

// Search-box controls: a named widget with its caption before it in a grid row.
QLineEdit* NewEdit(QWidget* parent, const char* name);
// A terminal (or type) list box over list, standing for keyField and showing listField.
DbLookupCombo* NewLookup(QWidget* parent, const char* name, DataSet* list, const char* keyField,
                         const char* listField);
QPushButton* NewButton(QWidget* parent, const char* name, const char* caption);
QCheckBox* NewCheckBox(QWidget* parent, const char* name, const char* caption);
// A date picker of the search boxes: date only, long date format, disabled, holding 2010-12-03.
QDateEdit* NewDatePicker(QWidget* parent, const char* name);
void AddField(QGridLayout* grid, int row, int column, const char* caption, QWidget* control);
// The check box and its two pickers: the pickers follow the box's state when it is clicked.
void AddDateRange(QGridLayout* grid, int row, int column, QCheckBox* box, QDateEdit* start, QDateEdit* end);
void EnableDateRange(QCheckBox* box, QDateEdit* start, QDateEdit* end);

// The popup menu of a grid, opened by a right click on it, and its items.
QMenu* NewPopup(QTableView* grid, const char* name);
QAction* AddItem(QMenu* menu, const char* name, const char* caption);

// Condition texts: the first and last moment of a date range, compared as text.
QString RangeStart(const QDate& date); // "yyyy-mm-dd 00:00:00"
QString RangeEnd(const QDate& date);   // "yyyy-mm-dd 23:59:59"
// The id of the list's current row in decimal (a lookup box's terminal).
QString CurrentId(const DataSet& list, const char* field = "id");

// The design date of the search boxes' pickers.
inline const QDate PickerDesignDate{2010, 12, 3};

} // namespace RecordPageKit
