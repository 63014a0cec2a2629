// Worker threads: the Init/Run/Cleanup body, its error lines, the end hook and self-freeing.
#include "foundation/ThreadBase.h"

#include "foundation/ConsoleServices.h"
#include "foundation/PollUntil.h"
#include "platform/Exception.h"
#include "platform/MessageBoxes.h"

#include <chrono>
#include <exception>
#include <thread>
#include <vector>

namespace {

// How often the end of the program looks whether the workers have ended.
constexpr auto EndPollInterval = std::chrono::milliseconds(10);

// The workers resumed and not yet ended. Never freed: a worker that outlasts the end of the
// program still removes itself while static objects are being destroyed.
struct LiveWorkers {
    std::mutex lock;
    std::vector<ThreadBase*> workers; // until the body has ended, before the object may be freed
    int bodies = 0;                   // until the last step of the body, after a self-freeing delete
};

LiveWorkers& Workers()
{
    static LiveWorkers* live = new LiveWorkers;
    return *live;
}

QString MessageOf(const std::exception& e)
{
    if (auto* ex = dynamic_cast<const Exception*>(&e))
        return ex->Message;
    return QString::fromUtf8(e.what());
}

} // namespace

ThreadBase::ThreadBase(const QString& name) : Name(name) {}

ThreadBase::~ThreadBase()
{
    if (!thread_.joinable())
        return;
    // A self-freeing thread deletes itself on its own thread: it cannot wait for itself.
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

void ThreadBase::Resume()
{
    if (started_)
        return; // resumed once, never restarted
    started_ = true;
    std::lock_guard<std::mutex> hold(startLock_);
    // Counted before it runs, so that the end of the program waits for a worker just resumed.
    {
        std::lock_guard<std::mutex> guard(Workers().lock);
        Workers().workers.push_back(this);
        ++Workers().bodies;
    }
    try {
        thread_ = std::thread(&ThreadBase::Body, this);
    } catch (...) {
        std::lock_guard<std::mutex> guard(Workers().lock);
        std::erase(Workers().workers, this);
        --Workers().bodies;
        throw;
    }
}

bool ThreadBase::StopAllAndWait(int waitMs)
{
    {
        std::lock_guard<std::mutex> guard(Workers().lock);
        for (ThreadBase* worker : Workers().workers)
            worker->Stop();
    }
    return PollUntil([] { return RunningCount() == 0; }, waitMs, EndPollInterval);
}

int ThreadBase::RunningCount()
{
    std::lock_guard<std::mutex> guard(Workers().lock);
    return Workers().bodies;
}

void ThreadBase::WaitFor()
{
    if (freeOnTerminate_ || !thread_.joinable() || thread_.get_id() == std::this_thread::get_id())
        return;
    thread_.join();
}

void ThreadBase::Body()
{
    { std::lock_guard<std::mutex> wait(startLock_); } // Resume has stored thread_
    // Read before the body runs: a self-freeing object may be gone once DoTerminate has run.
    const bool freeOnEnd = freeOnTerminate_;
    try {
        Execute();
    } catch (...) {
        // A thrown value that is not an exception object ends the body at once, without a log
        // line; it is the thread's own fatal failure and touches nothing else.
    }
    DoTerminate();
    {
        // Before the object may be freed: a stop request for all never reaches a freed worker.
        std::lock_guard<std::mutex> guard(Workers().lock);
        std::erase(Workers().workers, this);
    }
    if (freeOnEnd)
        delete this;
    std::lock_guard<std::mutex> guard(Workers().lock);
    --Workers().bodies;
}

void ThreadBase::Execute()
{
    try {
        Init();
    } catch (const std::exception& e) {
        LogError("线程[" + Name + "]初始化错误!Cause:" + MessageOf(e));
        Error = true;
    }
    if (!Error) {
        try {
            Run();
        } catch (const std::exception& e) {
            LogError("线程[" + Name + "]运行错误!Cause:" + MessageOf(e));
            Error = true;
        }
    }
    try {
        Cleanup();
    } catch (...) {
        Error = true;
    }
    Finished = true;
}

void ThreadBase::DoTerminate()
{
    Finished = true;
}

void ThreadBase::LogError(const QString& msg)
{
    if (MainForm)
        MainForm->LogError(msg);
}

void ThreadBase::ShowWarning(const QString& msg)
{
    MessageBoxes::Show({QStringLiteral("警告"), msg, MsgIcon::Warning, MsgButtons::Ok});
}

void ThreadBase::ShowError(const QString& msg)
{
    MessageBoxes::Show({QStringLiteral("错误"), msg, MsgIcon::Error, MsgButtons::Ok});
}
