// The main window's page control: the tab row paints the tab shapes and leaves the content of
// each tab (picture, caption, close glyph) and the mouse handling to the main window.
#include "console/PageControl.h"

#include "console/MainForm.h"

#include <QMouseEvent>
#include <QStyleOptionTab>
#include <QStylePainter>

PageTabBar::PageTabBar(TMainForm* form, QWidget* parent) : QTabBar(parent), form_(form)
{
    setObjectName(QStringLiteral("PageControlMainTabs"));
    setMouseTracking(true); // moves without a pressed button decide the hand cursor
    setExpanding(false);
    setMovable(false);
    setTabsClosable(false);
    setElideMode(Qt::ElideNone);
}

QSize PageTabBar::tabSizeHint(int index) const
{
    const QSize base = QTabBar::tabSizeHint(index);
    return QSize(TabWidth, qMax(base.height(), MinTabHeight));
}

QSize PageTabBar::minimumTabSizeHint(int index) const
{
    return tabSizeHint(index);
}

void PageTabBar::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    int visiblePosition = 0;
    for (int i = 0; i < count(); ++i) {
        if (!isTabVisible(i))
            continue;
        QStyleOptionTab option;
        initStyleOption(&option, i);
        option.text.clear();
        option.icon = QIcon();
        painter.drawControl(QStyle::CE_TabBarTabShape, option);
        painter.save();
        form_->PageControlMainDrawTab(painter, visiblePosition, tabRect(i), i == currentIndex());
        painter.restore();
        ++visiblePosition;
    }
}

void PageTabBar::mouseMoveEvent(QMouseEvent* event)
{
    QTabBar::mouseMoveEvent(event);
    form_->PageControlMainMouseMove(event->position().toPoint());
}

void PageTabBar::mouseReleaseEvent(QMouseEvent* event)
{
    // The press has already made the tab under the mouse current; the release may hide it.
    QTabBar::mouseReleaseEvent(event);
    form_->PageControlMainMouseUp(event->position().toPoint());
}

PageControl::PageControl(TMainForm* form, QWidget* parent)
    : QTabWidget(parent), bar_(new PageTabBar(form, this))
{
    setTabBar(bar_);
    setObjectName(QStringLiteral("PageControlMain"));
}
