// Runs an event handler's body and shows what it throws in the application's standard exception box.
#pragma once

#include "platform/Application.h"

#include <exception>

// For handlers whose failures the operator is to see as the standard exception box, called from
// places where an exception must not travel on through the toolkit (signals, timers, sockets).
template <typename F>
void RunGuarded(F&& body)
{
    try {
        body();
    } catch (...) {
        TApplication::ShowException(std::current_exception());
    }
}
