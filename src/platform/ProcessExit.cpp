// Ends the process at once; tests replace the ending with a handler that throws.
#include "platform/ProcessExit.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>

namespace {
std::mutex handlerLock;
std::function<void(int)>& Handler()
{
    static std::function<void(int)> handler;
    return handler;
}
} // namespace

void SetProcessExitHandler(std::function<void(int code)> handler)
{
    std::lock_guard<std::mutex> guard(handlerLock);
    Handler() = std::move(handler);
}

void ExitProcess(int code)
{
    std::function<void(int)> handler;
    {
        std::lock_guard<std::mutex> guard(handlerLock);
        handler = Handler();
    }
    if (handler)
        handler(code); // a test handler throws; should it return, the process ends anyway
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::exit(code);
}
