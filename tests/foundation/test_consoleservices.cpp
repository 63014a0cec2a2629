// The main window as the workers reach it: the end of the window waits for a call under way, and
// what comes after the end has begun reaches the quiet stand-in.
#include "foundation/ConsoleServices.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <thread>

namespace {

constexpr int WaitLimitMs = 20000;
constexpr int NegativeWaitMs = 300; // how long the end is given to return too early

// Counts the calls that reach it; its LogInfo lasts until the test releases it.
struct Window : QuietServices {
    int IniReadInteger(const QString&, int) override
    {
        ++reached;
        return 7;
    }
    void LogInfo(const QString&) override
    {
        ++reached;
        inside = true;
        while (!released)
            std::this_thread::yield();
    }
    void ShowWarning(const QString&) override { ++reached; }
    void UpdateDevNetState(int, const QString&) override { ++reached; }

    std::atomic<int> reached{0};
    std::atomic<bool> inside{false};
    std::atomic<bool> released{false};
};

TEST(MainFormHandleTest, TheEndWaitsForTheCallUnderWayAndLaterCallsReachTheStandIn)
{
    Window window;
    Services::MainForm.Open(&window);
    EXPECT_EQ(MainForm->IniReadInteger("TimeOut", 1000), 7);
    std::thread worker([] { MainForm->LogInfo("正在写"); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.inside.load(); }, WaitLimitMs));

    std::atomic<bool> ended{false};
    std::thread end([&] {
        EXPECT_TRUE(Services::MainForm.BeginClose(&window));
        EXPECT_TRUE(Services::MainForm.WaitForCalls(WaitLimitMs));
        ended = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([] { return !MainForm; }, WaitLimitMs));
    EXPECT_EQ(MainForm->IniReadInteger("TimeOut", 1000), 1000);
    MainForm->ShowWarning("不应显示");
    MainForm->UpdateDevNetState(1, "up");
    EXPECT_FALSE(QTest::qWaitFor([&] { return ended.load(); }, NegativeWaitMs)) << "ended during a call";

    window.released = true;
    worker.join();
    end.join();
    EXPECT_EQ(window.reached, 2) << "the read before the end and the call under way";
}

// A call that does not return holds the end back for the wait given, no longer; the handle still
// counts it, and it is counted out when it returns at last.
TEST(MainFormHandleTest, TheEndGivesUpOnACallThatDoesNotReturn)
{
    constexpr int BoundMs = 200;
    Window window;
    Services::MainForm.Open(&window);
    std::thread worker([] { MainForm->LogInfo("不返回"); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.inside.load(); }, WaitLimitMs));
    ASSERT_TRUE(Services::MainForm.BeginClose(&window));

    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(Services::MainForm.WaitForCalls(BoundMs));
    EXPECT_GE(waited.elapsed(), BoundMs);
    EXPECT_LT(waited.elapsed(), WaitLimitMs);
    EXPECT_EQ(Services::MainForm.CallsUnderWay(), 1);

    window.released = true;
    worker.join();
    EXPECT_EQ(Services::MainForm.CallsUnderWay(), 0);
    EXPECT_TRUE(Services::MainForm.WaitForCalls(0));
}

} // namespace
