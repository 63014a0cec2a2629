// The counted handle's bookkeeping: the object reached and the calls under way into it.
#include "foundation/CountedHandle.h"

#include "foundation/PollUntil.h"

#include <chrono>

namespace {

// How often the end of an object looks whether the calls under way have ended.
constexpr auto CallPollInterval = std::chrono::milliseconds(1);

} // namespace

CountedHandleCore::operator bool() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return target_ != nullptr;
}

bool CountedHandleCore::WaitForCalls(int waitMs) const
{
    return PollUntil([this] { return CallsUnderWay() == 0; }, waitMs, CallPollInterval);
}

int CountedHandleCore::CallsUnderWay() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return calls_;
}

void* CountedHandleCore::Enter() const
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!target_)
        return nullptr;
    ++calls_;
    return target_;
}

void CountedHandleCore::Leave() const
{
    std::lock_guard<std::mutex> hold(lock_);
    --calls_;
}

void CountedHandleCore::OpenOn(void* target)
{
    std::lock_guard<std::mutex> hold(lock_);
    target_ = target;
}

bool CountedHandleCore::Close(const void* target)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!target_ || target_ != target)
        return false;
    target_ = nullptr;
    return true;
}
