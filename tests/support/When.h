// Acting from the message loop once a condition holds, for tests that drive windows running their own loops.
#pragma once

#include <QCoreApplication>
#include <QTimer>

#include <functional>

// Runs action once, on the first look at which ready holds; looks every few milliseconds from the
// message loop, and never after owner has gone.
inline void When(std::function<bool()> ready, std::function<void()> action, QObject* owner = qApp)
{
    constexpr int LookMs = 5;
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, ready = std::move(ready), action = std::move(action)] {
        if (!ready())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start(LookMs);
}
