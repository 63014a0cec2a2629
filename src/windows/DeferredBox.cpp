// Boxes of a connection's handlers, queued to the message loop with the window's timers resting.
#include "windows/DeferredBox.h"

#include "platform/Application.h"
#include "windows/WindowPlacement.h"

#include <QTimer>
#include <QWidget>

DeferredBox::DeferredBox(QWidget* window, QList<QTimer*> timers, std::function<void()> resumed)
    : window_(window), timers_(std::move(timers)), resumed_(std::move(resumed))
{
}

void DeferredBox::Show(std::function<void()> box, bool closeAfter)
{
    closeAfter_ = closeAfter_ || closeAfter;
    if (pending_)
        return;
    pending_ = true;
    for (QTimer* timer : timers_) {
        if (timer->isActive()) {
            timer->stop();
            rested_ << timer;
        }
    }
    QMetaObject::invokeMethod(window_, [this, box = std::move(box)] {
        box();
        // A window closed meanwhile (its timers stopped by the close) is not woken again, and one
        // that closes after its box stays pending: nothing that arrives now may act on it.
        if (closeAfter_ || !window_->isVisible()) {
            rested_.clear();
            CloseLater(window_);
            return;
        }
        pending_ = false;
        for (QTimer* timer : std::exchange(rested_, {}))
            timer->start();
        if (resumed_)
            resumed_();
    }, Qt::QueuedConnection);
}

void DeferredBox::BadReply(const std::exception_ptr& error)
{
    if (badReplyReported_)
        return;
    badReplyReported_ = true;
    Show([error] { TApplication::ShowException(error); }, false);
}
