// The worker-thread framework: body order, error lines and flags, stop requests, self-freeing, progress.
#include "foundation/ThreadBase.h"
#include "platform/Exception.h"
#include "support/ConsoleDb.h"

#include <gtest/gtest.h>

#include <QThread>
#include <functional>
#include <stdexcept>

namespace {

// A worker whose three steps are supplied by the test; it records the order they ran in.
class ScriptedWorker : public ThreadBase {
public:
    explicit ScriptedWorker(const QString& name, std::atomic<bool>* destroyed = nullptr)
        : ThreadBase(name), destroyed_(destroyed) {}
    ~ScriptedWorker() override
    {
        if (destroyed_)
            *destroyed_ = true;
    }
    std::function<void()> init = [] {}, run = [] {}, cleanup = [] {};
    QString ran; // "i", "r", "c" in the order the steps ran

protected:
    void Init() override { ran += 'i'; init(); }
    void Run() override { ran += 'r'; run(); }
    void Cleanup() override { ran += 'c'; cleanup(); }

private:
    std::atomic<bool>* destroyed_;
};

class ThreadBaseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    void SetUp() override { ConsoleDb::ClearLog(); }
};

TEST_F(ThreadBaseTest, EachFailingStepHasItsOwnOutcome)
{
    struct Case {
        QString name;
        char step; // which step throws: 'i', 'r' or 'c'
        std::function<void()> fail;
        QString outcome; // steps run, Error, Finished
        QString line;    // the one console line expected, or none
    };
    const Case cases[] = {
        {"正常", 'r', [] {}, "irc 0 1", ""},
        {"初始化线程", 'i', [] { throw Exception("数据库异常!"); }, "ic 1 1",
         "线程[初始化线程]初始化错误!Cause:数据库异常!"},
        {"运行线程", 'r', [] { throw std::runtime_error("socket closed"); }, "irc 1 1",
         "线程[运行线程]运行错误!Cause:socket closed"},
        {"", 'r', [] { throw Exception("读取失败"); }, "irc 1 1", "线程[]运行错误!Cause:读取失败"},
        {"清理线程", 'c', [] { throw Exception("x"); }, "irc 1 1", ""},
        {"清理线程2", 'c', [] { throw 7; }, "irc 1 1", ""},
        // Anything else thrown from Init or Run leaves the body at once, without a line or Error.
        {"抛值线程", 'r', [] { throw 42; }, "ir 0 1", ""},
        {"抛值线程2", 'i', [] { throw QString("x"); }, "i 0 1", ""},
    };
    for (const Case& c : cases) {
        ConsoleDb::ClearLog();
        ScriptedWorker w(c.name);
        (c.step == 'i' ? w.init : c.step == 'r' ? w.run : w.cleanup) = c.fail;
        EXPECT_FALSE(w.Finished);
        w.Resume();
        w.WaitFor();
        EXPECT_EQ(QString("%1 %2 %3").arg(w.ran).arg(w.Error).arg(w.Finished), c.outcome) << c.name.toStdString();
        const QString log = ConsoleDb::LogText();
        EXPECT_EQ(log.count("线程["), c.line.isEmpty() ? 0 : 1) << log.toStdString();
        EXPECT_TRUE(log.contains(c.line)) << log.toStdString();
    }
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
    EXPECT_FALSE(w.Finished); // Stop neither starts nor ends anything
    w.Resume();
    w.Resume(); // started once only
    w.WaitFor();
    EXPECT_EQ(passes, 0);
    EXPECT_EQ(w.ran, "irc");
}

TEST_F(ThreadBaseTest, SelfFreeingAndNeverStartedThreadsAreDeleted)
{
    std::atomic<bool> destroyed{false};
    auto* freed = new ScriptedWorker("自由线程", &destroyed);
    freed->SetFreeOnTerminate(true);
    freed->Resume();
    for (int i = 0; i < 500 && !destroyed; ++i)
        QThread::msleep(5);
    EXPECT_TRUE(destroyed);

    destroyed = false;
    delete new ScriptedWorker("未启动", &destroyed); // must not wait for a body that never ran
    EXPECT_TRUE(destroyed);
}

TEST(ThreadProcessBarTest, MaxBelowOneIsAHundredAndPositionHasOnlyALowerBound)
{
    struct IdleBar : ThreadProcessBar {
        IdleBar() : ThreadProcessBar("p") {}
        void Run() override {}
    } bar;
    bar.SetMax(0);
    bar.SetPosition(-1);
    EXPECT_EQ(QString("%1 %2").arg(bar.GetMax()).arg(bar.GetPosition()), "100 0");
    bar.SetMax(7);
    bar.SetPosition(150);
    EXPECT_EQ(QString("%1 %2").arg(bar.GetMax()).arg(bar.GetPosition()), "7 150");
}

} // namespace
