// The worker-thread framework: body order, error lines and flags, stop requests, self-freeing, progress.
#include "foundation/ThreadBase.h"
#include "platform/Exception.h"
#include "support/ConsoleDb.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <stdexcept>

namespace {

// A worker whose three steps are supplied by the test; it records the order they ran in.
class ScriptedWorker : public ThreadBase {
public:
    explicit ScriptedWorker(const QString& name, std::function<void()> destroyed = [] {})
        : ThreadBase(name), onDestroyed(std::move(destroyed)) {}
    ~ScriptedWorker() override { onDestroyed(); }
    std::function<void()> init = [] {};
    std::function<void()> run = [] {};
    std::function<void()> cleanup = [] {};
    std::function<void()> onDestroyed;
    QString ran; // "i", "r", "c" in the order the steps ran

protected:
    void Init() override
    {
        ran += 'i';
        init();
    }
    void Run() override
    {
        ran += 'r';
        run();
    }
    void Cleanup() override
    {
        ran += 'c';
        cleanup();
    }
};

TEST(ThreadBaseTest, EachFailingStepHasItsOwnOutcome)
{
    ConsoleDb::SetUp();
    // Name, the step that throws, what it throws, the steps run with Error and Finished, the one
    // console line expected (or none).
    const std::tuple<QString, char, std::function<void()>, QString, QString> cases[] = {
        {"正常", 'r', [] {}, "irc 0 1", ""},
        {"初始化线程", 'i', [] { throw Exception("数据库异常!"); }, "ic 1 1",
         "线程[初始化线程]初始化错误!Cause:数据库异常!"},
        {"运行线程", 'r', [] { throw std::runtime_error("socket closed"); }, "irc 1 1",
         "线程[运行线程]运行错误!Cause:socket closed"},
        {"清理线程", 'c', [] { throw 7; }, "irc 1 1", ""},
        // Anything else thrown from Init or Run leaves the body at once, without a line or Error.
        {"抛值线程", 'r', [] { throw 42; }, "ir 0 1", ""},
    };
    for (const auto& [name, step, fail, outcome, line] : cases) {
        ConsoleDb::ClearLog();
        ScriptedWorker w(name);
        (step == 'i' ? w.init : step == 'r' ? w.run : w.cleanup) = fail;
        w.Resume();
        w.WaitFor();
        EXPECT_EQ(QString("%1 %2 %3").arg(w.ran).arg(w.Error).arg(w.Finished), outcome) << name.toStdString();
        EXPECT_EQ(ConsoleDb::LogText().section(" : ", 1), line);
    }
}

TEST(ThreadBaseTest, StopBeforeRunIsSeenAndSelfFreeingAndNeverStartedThreadsAreDeleted)
{
    ScriptedWorker w("停止线程");
    bool stopSeen = false;
    w.run = [&] { stopSeen = w.StopRequested; };
    w.Stop();
    EXPECT_FALSE(w.Finished); // Stop neither starts nor ends anything
    w.Resume();
    w.Resume(); // started once only
    w.WaitFor();
    EXPECT_TRUE(stopSeen);
    EXPECT_EQ(w.ran, "irc");

    std::promise<void> destroyed;
    auto* freed = new ScriptedWorker("自由线程", [&] { destroyed.set_value(); });
    freed->SetFreeOnTerminate(true);
    freed->Resume();
    EXPECT_EQ(destroyed.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);

    bool idleDestroyed = false;
    delete new ScriptedWorker("未启动", [&] { idleDestroyed = true; }); // must not wait for a body that never ran
    EXPECT_TRUE(idleDestroyed);
}

} // namespace
