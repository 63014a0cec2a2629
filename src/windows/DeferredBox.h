// A box that a connection's handler asks for, shown from the message loop, one at a time, with the window's timers resting meanwhile.
#pragma once

#include <QList>

#include <exception>
#include <functional>

class QTimer;
class QWidget;

// A box shown from inside a read handler would run its own message loop there, and the
// connection would go on being read (and buffered) behind it. Requests are queued instead: the
// handler returns, the timers that run rest until the box is closed, and a request made while
// a box is waiting or open shows nothing more (only its wish to close the window counts).
class DeferredBox {
public:
    // timers rest while a box waits or is open; resumed runs after it when the window stays.
    DeferredBox(QWidget* window, QList<QTimer*> timers, std::function<void()> resumed);

    // box shows the box; with closeAfter the window closes after it instead of resuming.
    void Show(std::function<void()> box, bool closeAfter);
    // A box is waiting or open, or one has ended the window, which closes: nothing is read then.
    bool Pending() const { return pending_; }
    // A reply that could not be read: the standard exception box, for the window's first one
    // only. A broken agent is reported once; its later bad replies change nothing.
    void BadReply(const std::exception_ptr& error);

private:
    QWidget* window_;
    QList<QTimer*> timers_;
    QList<QTimer*> rested_;
    std::function<void()> resumed_;
    bool pending_ = false;
    bool closeAfter_ = false;
    bool badReplyReported_ = false;
};
