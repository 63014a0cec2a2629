// The bounded wait for a condition looked at again and again.
#include "foundation/PollUntil.h"

#include <thread>

bool PollUntil(const std::function<bool()>& done, int waitMs, std::chrono::milliseconds interval)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(interval);
    }
}
