// Small event hooks for widgets: a released key, focus gained, focus lost.
#include "platform/EventHooks.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace {

// One hook: the watched widgets' events of one type, filtered by test, run action.
class Hook : public QObject {
public:
    Hook(QObject* owner, QEvent::Type type, std::function<bool(QEvent*)> test, std::function<void()> action)
        : QObject(owner), type_(type), test_(std::move(test)), action_(std::move(action))
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != type_ || (test_ && !test_(event)))
            return QObject::eventFilter(watched, event);
        action_();
        // A key release is taken here so that a parent that also watches it does not run the
        // action a second time; focus events go on to the widget.
        return type_ == QEvent::KeyRelease;
    }

private:
    QEvent::Type type_;
    std::function<bool(QEvent*)> test_;
    std::function<void()> action_;
};

bool IsKey(QEvent* event, int key)
{
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (keyEvent->isAutoRepeat())
        return false;
    // The keypad's Enter is the same key as Return to the operator.
    if (key == Qt::Key_Return)
        return keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter;
    return keyEvent->key() == key;
}

} // namespace

void OnKeyUp(QWidget* widget, int key, std::function<void()> action)
{
    auto* hook = new Hook(widget, QEvent::KeyRelease, [key](QEvent* e) { return IsKey(e, key); },
                          std::move(action));
    widget->installEventFilter(hook);
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->installEventFilter(hook);
}

void OnFocusIn(QWidget* widget, std::function<void()> action)
{
    widget->installEventFilter(new Hook(widget, QEvent::FocusIn, {}, std::move(action)));
}

void OnFocusOut(QWidget* widget, std::function<void()> action)
{
    widget->installEventFilter(new Hook(widget, QEvent::FocusOut, {}, std::move(action)));
}
