// The worker-thread framework: body order, error lines and flags, stop requests, self-freeing, progress.
#include "foundation/ThreadBase.h"
#include "platform/Exception.h"
#include "support/ConsoleDb.h"

#include <gtest/gtest.h>

#include <QThread>
#include <functional>
#include <stdexcept>

namespace {

// A worker whose three steps are supplied by the test and which records which of them ran.
class ScriptedWorker : public ThreadBase {
public:
    explicit ScriptedWorker(const QString& name, std::atomic<bool>* destroyed = nullptr)
        : ThreadBase(name), destroyed_(destroyed) {}
    ~ScriptedWorker() override
    {
        if (destroyed_)
            *destroyed_ = true;
    }

    std::function<void()> init, run, cleanup;
    std::atomic<bool> initRan{false}, runRan{false}, cleanupRan{false};

protected:
    void Init() override
    {
        initRan = true;
        if (init)
            init();
    }
    void Run() override
    {
        runRan = true;
        if (run)
            run();
    }
    void Cleanup() override
    {
        cleanupRan = true;
        if (cleanup)
            cleanup();
    }

private:
    std::atomic<bool>* destroyed_;
};

class IdleBar : public ThreadProcessBar {
public:
    IdleBar() : ThreadProcessBar("p") {}

protected:
    void Run() override {}
};

int Count(const QString& text, const QString& part)
{
    return text.count(part);
}

class ThreadBaseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    void SetUp() override { ConsoleDb::ClearLog(); }
};

TEST(ThreadProcessBarTest, MaxAndPositionBounds)
{
    IdleBar bar;
    EXPECT_EQ(bar.GetMax(), 100);
    EXPECT_EQ(bar.GetPosition(), 0);
    bar.SetMax(0);
    EXPECT_EQ(bar.GetMax(), 100);
    bar.SetMax(-5);
    EXPECT_EQ(bar.GetMax(), 100);
    bar.SetMax(7);
    EXPECT_EQ(bar.GetMax(), 7);
    bar.SetMax(100);
    bar.SetPosition(-1);
    EXPECT_EQ(bar.GetPosition(), 0);
    bar.SetPosition(150); // no upper bound
    EXPECT_EQ(bar.GetPosition(), 150);
}

TEST_F(ThreadBaseTest, NormalBodyRunsAllThreeStepsInOrder)
{
    std::vector<int> order;
    ScriptedWorker w("顺序");
    w.init = [&] { order.push_back(1); };
    w.run = [&] { order.push_back(2); };
    w.cleanup = [&] { order.push_back(3); };
    EXPECT_FALSE(w.Finished);
    w.Resume();
    w.WaitFor();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(w.Finished);
    EXPECT_FALSE(w.Error);
    EXPECT_EQ(Count(ConsoleDb::LogText(), "线程["), 0);
}

TEST_F(ThreadBaseTest, FailingInitIsLoggedOnceSkipsRunAndStillCleansUp)
{
    ScriptedWorker w("初始化线程");
    w.init = [] { throw Exception("数据库异常!"); };
    w.Resume();
    w.WaitFor();
    EXPECT_FALSE(w.runRan);
    EXPECT_TRUE(w.cleanupRan);
    EXPECT_TRUE(w.Error);
    EXPECT_TRUE(w.Finished);
    const QString log = ConsoleDb::LogText();
    EXPECT_EQ(Count(log, "线程[初始化线程]初始化错误!Cause:数据库异常!"), 1) << log.toStdString();
    EXPECT_EQ(Count(log, "运行错误"), 0);
}

TEST_F(ThreadBaseTest, FailingRunIsLoggedWithTheMessage)
{
    ScriptedWorker named("运行线程");
    named.run = [] { throw std::runtime_error("socket closed"); };
    ScriptedWorker unnamed("");
    unnamed.run = [] { throw Exception("读取失败"); };
    named.Resume();
    unnamed.Resume();
    named.WaitFor();
    unnamed.WaitFor();
    EXPECT_TRUE(named.Error);
    EXPECT_TRUE(named.cleanupRan);
    EXPECT_TRUE(unnamed.Error);
    const QString log = ConsoleDb::LogText();
    EXPECT_EQ(Count(log, "线程[运行线程]运行错误!Cause:socket closed"), 1) << log.toStdString();
    EXPECT_EQ(Count(log, "线程[]运行错误!Cause:读取失败"), 1) << log.toStdString();
}

TEST_F(ThreadBaseTest, FailingCleanupSetsErrorWithoutALine)
{
    ScriptedWorker a("清理线程");
    a.cleanup = [] { throw Exception("x"); };
    ScriptedWorker b("清理线程2");
    b.cleanup = [] { throw 7; }; // anything at all
    a.Resume();
    b.Resume();
    a.WaitFor();
    b.WaitFor();
    EXPECT_TRUE(a.Error);
    EXPECT_TRUE(a.Finished);
    EXPECT_TRUE(b.Error);
    EXPECT_TRUE(b.Finished);
    EXPECT_EQ(Count(ConsoleDb::LogText(), "清理线程"), 0);
}

TEST_F(ThreadBaseTest, ThrownNonExceptionLeavesTheBodyButFinishes)
{
    ScriptedWorker w("抛值线程");
    w.run = [] { throw 42; };
    w.Resume();
    w.WaitFor();
    EXPECT_TRUE(w.runRan);
    EXPECT_FALSE(w.cleanupRan);
    EXPECT_FALSE(w.Error);
    EXPECT_TRUE(w.Finished);
    EXPECT_EQ(Count(ConsoleDb::LogText(), "抛值线程"), 0);

    ScriptedWorker v("抛值线程2");
    v.init = [] { throw QString("not an exception object"); };
    v.Resume();
    v.WaitFor();
    EXPECT_FALSE(v.runRan);
    EXPECT_FALSE(v.cleanupRan);
    EXPECT_TRUE(v.Finished);
}

TEST_F(ThreadBaseTest, StopBeforeRunIsSeenAtTheFirstPoll)
{
    ScriptedWorker w("停止线程");
    std::atomic<int> passes{0};
    w.run = [&] {
        while (!w.StopRequested && passes < 1000) {
            ++passes;
            QThread::msleep(1);
        }
    };
    w.Stop();
    EXPECT_TRUE(w.StopRequested);
    EXPECT_FALSE(w.Finished); // Stop neither starts nor ends anything
    w.Resume();
    w.WaitFor();
    EXPECT_EQ(passes, 0);
    EXPECT_TRUE(w.cleanupRan);
    EXPECT_TRUE(w.Finished);
}

TEST_F(ThreadBaseTest, SelfFreeingThreadDeletesItselfWhenItEnds)
{
    std::atomic<bool> destroyed{false};
    auto* w = new ScriptedWorker("自由线程", &destroyed);
    w->run = [] { QThread::msleep(20); };
    w->SetFreeOnTerminate(true);
    w->Resume();
    for (int i = 0; i < 500 && !destroyed; ++i)
        QThread::msleep(5);
    EXPECT_TRUE(destroyed);
}

TEST_F(ThreadBaseTest, WaitForReturnsAfterTheBodyAndANeverStartedThreadFreesAtOnce)
{
    std::atomic<bool> ended{false};
    ScriptedWorker w("等待线程");
    w.cleanup = [&] {
        QThread::msleep(50);
        ended = true;
    };
    w.Resume();
    w.Resume(); // resumed once only
    w.WaitFor();
    EXPECT_TRUE(ended);

    std::atomic<bool> destroyed{false};
    delete new ScriptedWorker("未启动", &destroyed);
    EXPECT_TRUE(destroyed);
}

} // namespace
