// The right-button filter of the grids.
#include "platform/RightClickKeepsRow.h"

#include <QAbstractItemView>
#include <QMouseEvent>

namespace {

class RightButtonFilter : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
                return true;
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void KeepRowOnRightClick(QAbstractItemView* view)
{
    if (!view)
        return;
    view->viewport()->installEventFilter(new RightButtonFilter(view));
}
