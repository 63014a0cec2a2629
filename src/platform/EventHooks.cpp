// Small event hooks for widgets: a released key, focus gained, focus lost.
#include "platform/EventHooks.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QWidget>

namespace {

// One hook: the watched widget's focus events of one type, filtered by test, run action. The
// event goes on to the widget.
class FocusHook : public QObject {
public:
    FocusHook(QObject* owner, QEvent::Type type, std::function<bool(const QFocusEvent*)> test,
              std::function<void()> action)
        : QObject(owner), type_(type), test_(std::move(test)), action_(std::move(action))
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == type_ && (!test_ || test_(static_cast<QFocusEvent*>(event))))
            action_();
        return QObject::eventFilter(watched, event);
    }

private:
    QEvent::Type type_;
    std::function<bool(const QFocusEvent*)> test_;
    std::function<void()> action_;
};

bool IsKey(const QKeyEvent* keyEvent, int key)
{
    // The keypad's Enter is the same key as Return to the operator.
    if (key == Qt::Key_Return)
        return keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter;
    return keyEvent->key() == key;
}

// A release counts only after its press reached the same widgets: Return pressed in a message box
// closes the box and is released in the edit that opened it, which must not run its action again.
class KeyUpHook : public QObject {
public:
    KeyUpHook(QObject* owner, int key, std::function<void()> action)
        : QObject(owner), key_(key), action_(std::move(action))
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::FocusOut)
            pressed_ = false; // the release will be another window's or widget's
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
            return QObject::eventFilter(watched, event);
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (keyEvent->isAutoRepeat() || !IsKey(keyEvent, key_))
            return QObject::eventFilter(watched, event);
        if (type == QEvent::KeyPress) {
            pressed_ = true;
            return QObject::eventFilter(watched, event);
        }
        if (pressed_) {
            pressed_ = false;
            action_();
        }
        // Taken either way, so that a parent that also watches it does not run the action again.
        return true;
    }

private:
    int key_;
    std::function<void()> action_;
    bool pressed_ = false;
};

} // namespace

void OnKeyUp(QWidget* widget, int key, std::function<void()> action)
{
    auto* hook = new KeyUpHook(widget, key, std::move(action));
    widget->installEventFilter(hook);
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->installEventFilter(hook);
}

void OnFocusIn(QWidget* widget, std::function<void()> action)
{
    widget->installEventFilter(new FocusHook(widget, QEvent::FocusIn, {}, std::move(action)));
}

void OnEnter(QWidget* widget, std::function<void()> action)
{
    const auto moved = [](const QFocusEvent* event) {
        switch (event->reason()) {
        case Qt::MouseFocusReason:
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason:
            return true;
        default:
            return false;
        }
    };
    widget->installEventFilter(new FocusHook(widget, QEvent::FocusIn, moved, std::move(action)));
}

void OnFocusOut(QWidget* widget, std::function<void()> action)
{
    widget->installEventFilter(new FocusHook(widget, QEvent::FocusOut, {}, std::move(action)));
}
