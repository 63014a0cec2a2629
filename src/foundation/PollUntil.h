// A bounded wait for a condition that no one signals: it is looked at again and again.
#pragma once

#include <chrono>
#include <functional>

// Looks at done every interval until it holds (true) or waitMs have passed (false).
bool PollUntil(const std::function<bool()>& done, int waitMs, std::chrono::milliseconds interval);
