// Turns each vertical mouse-wheel turn into one arrow-key press on a focused grid, for every window of the application.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QAbstractItemView;

// Installed on the application, it sees every wheel event before any widget does. When the grid
// that gridOf() names has the keyboard focus and shows an open data set, the wheel event is eaten
// and one up-arrow (forward turn) or down-arrow (backward turn) press is posted to the grid, so a
// notch moves the current row by one row whatever the turn's size. A turn of size 0 is eaten and
// posts nothing. A turn that is more sideways than vertical, and any turn while no grid takes the
// wheel, goes on unchanged.
class WheelToArrow : public QObject {
    Q_OBJECT
public:
    // The filter lives as long as owner and removes itself from the application with it.
    WheelToArrow(QObject* owner, std::function<QAbstractItemView*()> gridOf);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // The grid counts when it has the focus and its model is a DataSetModel over an open set.
    static bool GridTakesWheel(const QAbstractItemView* grid);

private:
    std::function<QAbstractItemView*()> gridOf_;
};
