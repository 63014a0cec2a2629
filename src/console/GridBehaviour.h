// The event hooks that give a grid the main window's painting, key and mouse handling.
#pragma once

#include <QItemSelectionModel>
#include <QObject>
#include <QPointer>
#include <QStyledItemDelegate>

class QTableView;
class TMainForm;

// Paints every cell of its grid through TMainForm::DrawGridCell. With marksCurrentRow, a grid
// whose commands act on the current record when no row is selected draws that record's row as
// selected while no row is.
class GridCellPainter : public QStyledItemDelegate {
    Q_OBJECT
public:
    GridCellPainter(TMainForm* form, QTableView* grid, bool marksCurrentRow = false);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    bool StandsForSelection(const QModelIndex& index) const;
    void FollowSelection() const;

    TMainForm* form_;
    QTableView* grid_;
    bool marksCurrentRow_;
    // The selection model whose changes repaint the grid (a new model brings a new one).
    mutable QPointer<QItemSelectionModel> followed_;
};

// The grid's default drawing of a cell, with the background the caller put into the option (the
// plain delegate takes the background from the model alone).
class DefaultCellDrawing : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// Key presses and releases of the grid (the Shift flag, Ctrl+A) and mouse releases on its
// viewport (the Shift range), each handed to the main window after the grid's own handling.
class GridEventHooks : public QObject {
    Q_OBJECT
public:
    GridEventHooks(TMainForm* form, QTableView* grid);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TMainForm* form_;
    QTableView* grid_;
    QWidget* viewport_; // kept: the grid cannot be asked for it while it is being destroyed
    bool delivering_ = false; // the release is being delivered to the grid first
};

// Key presses of the device tree: the shared Shift flag.
class TreeKeyHook : public QObject {
    Q_OBJECT
public:
    explicit TreeKeyHook(TMainForm* form);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TMainForm* form_;
};
