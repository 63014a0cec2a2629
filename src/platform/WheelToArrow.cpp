// The application-wide wheel rule of the grids: one notch, one row.
#include "platform/WheelToArrow.h"

#include "platform/DataSetModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QWheelEvent>

#include <cstdlib>

WheelToArrow::WheelToArrow(QObject* owner, std::function<QAbstractItemView*()> gridOf)
    : QObject(owner), gridOf_(std::move(gridOf))
{
    qApp->installEventFilter(this);
}

bool WheelToArrow::GridTakesWheel(const QAbstractItemView* grid)
{
    if (!grid || !grid->hasFocus())
        return false;
    const auto* model = qobject_cast<const DataSetModel*>(grid->model());
    return model && model->GetDataSet() && model->GetDataSet()->Active();
}

bool WheelToArrow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    // Only the vertical wheel moves rows. A sideways turn (tilted wheel, touchpad) goes on to the
    // grid's horizontal scrolling; a diagonal touchpad stroke counts by its larger part, as a
    // stroke meant to go down a list is never exactly vertical.
    const QPoint turn = static_cast<QWheelEvent*>(event)->angleDelta();
    if (std::abs(turn.x()) > std::abs(turn.y()))
        return false;
    QAbstractItemView* grid = gridOf_ ? gridOf_() : nullptr;
    if (!GridTakesWheel(grid))
        return false;
    const int delta = turn.y();
    if (delta != 0) {
        const int key = delta > 0 ? Qt::Key_Up : Qt::Key_Down;
        QCoreApplication::postEvent(grid, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    }
    return true; // handled: the wheel scrolls nothing else while the grid has the focus
}
