// The main window's services for the units below the console: the counted handle and its stand-in.
#include "foundation/ConsoleServicesInterface.h"

#include <chrono>
#include <thread>
#include <type_traits>

namespace {

// What a call reaches before the window is there and once it has begun to go.
constinit QuietServices quiet;

// How often the end of a window looks whether the calls under way have ended.
constexpr auto CallPollInterval = std::chrono::milliseconds(1);

} // namespace

namespace Services {

static_assert(std::is_trivially_destructible_v<MainFormHandle>);
static_assert(std::is_trivially_destructible_v<QuietServices>);

constinit MainFormHandle MainForm;

MainFormHandle::Call::~Call()
{
    if (!counted_)
        return;
    std::lock_guard<std::mutex> hold(counted_->lock_);
    --counted_->calls_;
}

MainFormHandle::Call MainFormHandle::operator->() const
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!window_)
        return Call(&quiet, nullptr);
    ++calls_;
    return Call(window_, this);
}

MainFormHandle::operator bool() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return window_ != nullptr;
}

void MainFormHandle::Open(ConsoleServices* window)
{
    std::lock_guard<std::mutex> hold(lock_);
    window_ = window;
}

bool MainFormHandle::BeginClose(const ConsoleServices* window)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!window_ || window_ != window)
        return false;
    window_ = nullptr;
    return true;
}

void MainFormHandle::WaitForCalls() const
{
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (calls_ == 0)
                return;
        }
        std::this_thread::sleep_for(CallPollInterval);
    }
}

} // namespace Services
