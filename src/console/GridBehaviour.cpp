// The event hooks of the grids and the tree, each handing its event to the main window's handler.
#include "console/GridBehaviour.h"

#include "console/MainForm.h"
#include "platform/DataSetModel.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPointer>
#include <QTableView>

GridCellPainter::GridCellPainter(TMainForm* form, QTableView* grid, bool marksCurrentRow)
    : QStyledItemDelegate(grid), form_(form), grid_(grid), marksCurrentRow_(marksCurrentRow)
{
}

void GridCellPainter::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    if (!marksCurrentRow_) {
        form_->DrawGridCell(grid_, painter, option, index);
        return;
    }
    FollowSelection();
    QStyleOptionViewItem cell = option;
    if (StandsForSelection(index))
        cell.state |= QStyle::State_Selected;
    form_->DrawGridCell(grid_, painter, cell, index);
}

// The current record's row while no row is selected: the one the record commands act on.
bool GridCellPainter::StandsForSelection(const QModelIndex& index) const
{
    const QItemSelectionModel* selection = grid_->selectionModel();
    if (!selection || selection->hasSelection())
        return false;
    const auto* model = qobject_cast<const DataSetModel*>(grid_->model());
    const DataSet* data = model ? model->GetDataSet() : nullptr;
    return data && data->RecNo() == index.row() + 1;
}

// The view repaints only the rows whose selection changed, and only the current cell when the
// current record moves; the row drawn for the current record needs the whole grid again.
void GridCellPainter::FollowSelection() const
{
    QItemSelectionModel* selection = grid_->selectionModel();
    if (!selection || selection == followed_)
        return;
    followed_ = selection;
    QWidget* viewport = grid_->viewport();
    const auto repaint = [viewport] { viewport->update(); };
    connect(selection, &QItemSelectionModel::selectionChanged, viewport, repaint);
    connect(selection, &QItemSelectionModel::currentChanged, viewport, repaint);
}

void DefaultCellDrawing::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    const QBrush background = option->backgroundBrush;
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->backgroundBrush.style() == Qt::NoBrush)
        option->backgroundBrush = background;
}

GridEventHooks::GridEventHooks(TMainForm* form, QTableView* grid)
    : QObject(grid), form_(form), grid_(grid), viewport_(grid->viewport())
{
    grid->installEventFilter(this);
    viewport_->installEventFilter(this);
}

bool GridEventHooks::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        form_->GridKeyDownShift(key);
        if (key->matches(QKeySequence::SelectAll)) {
            form_->SelectAllRows(grid_);
            return true;
        }
        return false;
    }
    if (watched == grid_ && event->type() == QEvent::KeyRelease) {
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat())
            form_->GridKeyUpShift();
        return false;
    }
    if (watched == viewport_ && event->type() == QEvent::MouseButtonRelease && !delivering_) {
        // The grid settles its own selection on the release; the range rule comes after it.
        const QPointer<GridEventHooks> alive(this);
        delivering_ = true;
        QCoreApplication::sendEvent(watched, event);
        if (!alive)
            return true; // the release closed the grid's window
        delivering_ = false;
        form_->ActiveGridShiftSelect();
        return true;
    }
    return false;
}

TreeKeyHook::TreeKeyHook(TMainForm* form) : QObject(form), form_(form) {}

bool TreeKeyHook::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress)
        form_->TreeDevKeyDown(static_cast<QKeyEvent*>(event));
    return QObject::eventFilter(watched, event);
}
