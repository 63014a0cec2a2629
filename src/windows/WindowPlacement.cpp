// Placing a window centred on another one or on its screen, and closing it from the message loop.
#include "windows/WindowPlacement.h"

#include <QScreen>
#include <QWidget>

void CentreOn(QWidget* window, const QWidget* anchor)
{
    QRect area;
    if (anchor && anchor->isVisible())
        area = anchor->frameGeometry();
    else if (window->screen())
        area = window->screen()->availableGeometry();
    if (area.isValid())
        window->move(area.center() - window->rect().center());
}

void CloseLater(QWidget* window)
{
    QMetaObject::invokeMethod(window, [window] { window->close(); }, Qt::QueuedConnection);
}
