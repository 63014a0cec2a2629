// What the main window adds to its grids: the cell painter, range selection with Shift, selecting
// every row, the wheel rule, and the select-all and refresh items of the grids' popup menus.
#include "console/GridBehaviour.h"
#include "console/MainForm.h"
#include "platform/DataSetModel.h"
#include "platform/RightClickKeepsRow.h"
#include "platform/WheelToArrow.h"

#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPainter>
#include <QTableView>
#include <QTreeWidget>

#include <algorithm>

namespace {

// Stripes of the unselected rows by record number, and the selected rows.
const QColor EverySixthRow(237, 241, 244);
const QColor EveryThirdRow(210, 217, 223);
const QColor RowText(33, 33, 33);
const QColor SelectedRow(80, 151, 207);
// Where the row number is written in its cell.
constexpr int RowNumberLeft = 10;
constexpr int RowNumberTop = 2;

const DataSetModel* ModelOf(const QTableView* grid)
{
    return grid ? qobject_cast<const DataSetModel*>(grid->model()) : nullptr;
}

DataSet* DataOf(const QTableView* grid)
{
    const DataSetModel* model = ModelOf(grid);
    return model ? model->GetDataSet() : nullptr;
}

// The column the current index of grid stands in, or its first shown column.
int CurrentColumn(const QTableView* grid)
{
    const int column = grid->selectionModel()->currentIndex().column();
    if (column >= 0 && !grid->isColumnHidden(column))
        return column;
    const int count = grid->model()->columnCount();
    for (int c = 0; c < count; ++c)
        if (!grid->isColumnHidden(c))
            return c;
    return 0;
}

// Rows first to last (0-based, in any order) as whole-row selection ranges of model.
QItemSelection RowRange(const QAbstractItemModel* model, int first, int last)
{
    const int top = std::min(first, last);
    const int bottom = std::max(first, last);
    return QItemSelection(model->index(top, 0), model->index(bottom, model->columnCount() - 1));
}

} // namespace

void TMainForm::BuildGridBehaviour()
{
    AttachGridBehaviour(GrdDev);
    TreeDev->installEventFilter(new TreeKeyHook(this));
    const auto on = [this](QAction* item, void (TMainForm::*handler)()) {
        connect(item, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    on(N9, &TMainForm::N9Click);
    on(N20, &TMainForm::N20Click);
    // The record grids' popups.
    on(InsPage.N10, &TMainForm::N10Click);
    on(InsPage.N37, &TMainForm::N37Click);
    on(TaskPage.N12, &TMainForm::N12Click);
    on(TaskPage.E3, &TMainForm::E3Click);
    on(LogPage.N53, &TMainForm::N53Click);
    on(LogPage.N40, &TMainForm::N40Click);
    on(UserPage.N50, &TMainForm::N50Click);
    on(UserPage.N14, &TMainForm::N14Click);
    on(UserPage.MenuItem17, &TMainForm::MenuItem17Click);
    on(TempPage.MenuItem20, &TMainForm::N53Click);
    on(TempPage.MenuItem23, &TMainForm::MenuItem23Click);
    // Every select-all item names the key that does the same in its grid.
    for (QAction* item : {N9, InsPage.N10, TaskPage.N12, LogPage.N53, UserPage.N50, TempPage.MenuItem20})
        item->setShortcut(QKeySequence(QStringLiteral("Ctrl+A")));

    auto* wheel = new WheelToArrow(this, [this] { return static_cast<QAbstractItemView*>(GetActiveGrid()); });
    wheel->setObjectName(QStringLiteral("AetMouseWheel"));
    AetMouseWheel = wheel;

    SaveDialogExcel.kind = FileDialogKind::Save;
    SaveDialogExcel.filter = QStringLiteral("Excel 文件 (*.xlsx)");
    SaveDialogExcel.defaultSuffix = QStringLiteral("xlsx");
    SDlgMemo.kind = FileDialogKind::Save;
    SDlgMemo.defaultSuffix = QStringLiteral("txt");

    BuildConsoleMenu();
    ApplyMenuPictures();
}

void TMainForm::AttachGridPainter(QTableView* grid)
{
    if (grid)
        grid->setItemDelegate(new GridCellPainter(this, grid));
}

void TMainForm::AttachGridBehaviour(QTableView* grid)
{
    if (!grid)
        return;
    grid->setItemDelegate(new GridCellPainter(this, grid, true));
    new GridEventHooks(this, grid);
    KeepRowOnRightClick(grid);
}

// ---- painting

void TMainForm::DrawGridCell(QTableView* grid, QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index)
{
    if (!defaultCellDrawing_)
        defaultCellDrawing_ = new DefaultCellDrawing(this);
    const int n = index.row() + 1; // the record number of the row painted
    const DataSetModel* model = ModelOf(grid);
    const bool rowNumberColumn = model && index.column() < model->Columns().size() &&
                                 model->Columns().at(index.column()).field.isEmpty();
    if (rowNumberColumn) {
        if (n < 1)
            return;
        painter->save();
        painter->fillRect(option.rect, option.palette.color(QPalette::Button));
        painter->setClipRect(option.rect);
        painter->setFont(option.font);
        painter->setPen(option.palette.color(QPalette::Text));
        // Rows taller than the text keep the number in their middle.
        const QRect text = option.rect.adjusted(RowNumberLeft, RowNumberTop, 0, 0);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, QString::number(n));
        painter->restore();
        return;
    }

    QStyleOptionViewItem cell = option;
    const bool inSelection = option.state.testFlag(QStyle::State_Selected) ||
                             (grid && grid->selectionModel() &&
                              grid->selectionModel()->isRowSelected(index.row(), index.parent()));
    if (!inSelection) {
        if (n % 6 == 0)
            cell.backgroundBrush = EverySixthRow;
        else if (n % 3 == 0)
            cell.backgroundBrush = EveryThirdRow;
        cell.palette.setColor(QPalette::Text, RowText);
    }
    if (option.state & QStyle::State_Selected) {
        const QColor captionText = QApplication::palette().color(QPalette::HighlightedText);
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            cell.palette.setColor(group, QPalette::Highlight, SelectedRow);
            cell.palette.setColor(group, QPalette::HighlightedText, captionText);
        }
    }
    defaultCellDrawing_->paint(painter, cell, index);
}

// ---- keys and mouse

void TMainForm::GridKeyDownShift(const QKeyEvent* event)
{
    // The press of Shift itself counts: some platforms add the modifier only to later events.
    ShiftDown = event->modifiers().testFlag(Qt::ShiftModifier) || event->key() == Qt::Key_Shift;
}

void TMainForm::GridKeyUpShift()
{
    ShiftDown = false;
}

void TMainForm::TreeDevKeyDown(const QKeyEvent* event)
{
    GridKeyDownShift(event);
}

void TMainForm::ActiveGridShiftSelect()
{
    if (QTableView* grid = GetActiveGrid())
        GridShiftSelect(grid);
}

void TMainForm::GridShiftSelect(QTableView* grid)
{
    DataSet* data = DataOf(grid);
    if (!data)
        return;
    const int cur = data->RecNo();
    if (!ShiftDown) {
        ShiftAnchorRecNo = cur;
        return;
    }
    if (cur < 1)
        return;
    if (ShiftAnchorRecNo < 1)
        ShiftAnchorRecNo = 1;
    // An anchor from a longer result stands for the last row of this one.
    const int anchor = std::min(ShiftAnchorRecNo, data->RecordCount());
    // As after a plain click only the clicked row was selected: the range replaces the selection.
    QItemSelectionModel* selection = grid->selectionModel();
    selection->select(RowRange(grid->model(), cur - 1, anchor - 1),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The current row goes back to the anchor; moving it this way keeps the selection.
    const QModelIndex target = grid->model()->index(anchor - 1, CurrentColumn(grid));
    selection->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    grid->scrollTo(target);
}

void TMainForm::SelectAllRows(QTableView* grid)
{
    DataSet* data = DataOf(grid);
    if (!data)
        return;
    const int rows = data->RecordCount();
    const int columns = grid->model()->columnCount();
    QItemSelectionModel* selection = grid->selectionModel();
    // One selection change for the whole result; the current record does not move.
    grid->setUpdatesEnabled(false);
    struct Resume {
        QTableView* grid;
        ~Resume() { grid->setUpdatesEnabled(true); }
    } resume{grid};
    selection->clearSelection();
    if (rows > 0 && columns > 0)
        selection->select(RowRange(grid->model(), 0, rows - 1),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// ---- popup items

void TMainForm::N9Click() { SelectAllRows(GetActiveGrid()); }
void TMainForm::N10Click() { SelectAllRows(GetActiveGrid()); }
void TMainForm::N12Click() { SelectAllRows(GetActiveGrid()); }
void TMainForm::N53Click() { SelectAllRows(GetActiveGrid()); }
void TMainForm::N50Click() { SelectAllRows(GetActiveGrid()); }
void TMainForm::MenuItem17Click() { RefreshActivePage(); }
