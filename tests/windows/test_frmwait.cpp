// The wait window: start on show, following the progress, the stop button, freeing the worker and closing.
#include "foundation/ThreadBase.h"
#include "support/ConsoleDb.h"
#include "windows/FrmWait.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <functional>

namespace {

// A worker held by the test: it runs until released and records its own end.
class HeldWorker : public ThreadProcessBar {
public:
    explicit HeldWorker(std::atomic<bool>* destroyed) : ThreadProcessBar("等待测试"), destroyed_(destroyed) {}
    ~HeldWorker() override { *destroyed_ = true; }

    std::atomic<bool> release{false};
    std::atomic<bool> finishAtOnce{false};
    std::atomic<bool> throwValue{false};
    std::atomic<bool> sawStop{false};

protected:
    void Run() override
    {
        if (finishAtOnce)
            return;
        if (throwValue)
            throw 1;
        while (!release) {
            if (StopRequested)
                sawStop = true;
            QThread::msleep(1);
        }
    }

private:
    std::atomic<bool>* destroyed_;
};

// Runs checks at the given times (ms after show) while the window is shown modally.
struct Script {
    std::vector<std::pair<int, std::function<void()>>> steps;
};

int ShowWith(TFormWait& w, const Script& s)
{
    for (const auto& [at, f] : s.steps)
        QTimer::singleShot(at, &w, f);
    return w.ShowModal();
}

class FormWaitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
};

TEST_F(FormWaitTest, LayoutAndStartingState)
{
    TFormWait w;
    EXPECT_EQ(w.size(), QSize(235, 21));
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.Label1->text(), QString("正在停止,请稍侯..."));
    EXPECT_EQ(w.Timer1->interval(), 50);
    EXPECT_EQ(w.PBar->minimum(), 0);
    EXPECT_EQ(w.PBar->maximum(), 100);
    EXPECT_EQ(w.PBar->value(), 0);
    EXPECT_EQ(w.findChild<QToolButton*>("BtnStop"), w.BtnStop);
}

TEST_F(FormWaitTest, WorkerThatEndsAtOnceStillClosesTheWindow)
{
    std::atomic<bool> destroyed{false};
    auto* t = new HeldWorker(&destroyed);
    t->finishAtOnce = true;
    TFormWait w;
    w.SetThread(t);
    QElapsedTimer clock;
    clock.start();
    ShowWith(w, {});
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(w.isVisible());
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST_F(FormWaitTest, BarFollowsMaxAndPositionAndClosesOnlyOnFinished)
{
    std::atomic<bool> destroyed{false};
    auto* t = new HeldWorker(&destroyed);
    t->SetMax(40);
    TFormWait w;
    w.SetThread(t);
    int maxOnShow = 0, maxLater = 0, full = -1, low = -1, mid = -1;
    bool openWhileOver = false;
    Script s;
    s.steps.push_back({20, [&] {
        maxOnShow = w.PBar->maximum();
        t->SetMax(10); // e.g. a file size became known
        t->SetPosition(6);
    }});
    s.steps.push_back({150, [&] {
        maxLater = w.PBar->maximum();
        mid = w.PBar->value();
        t->SetPosition(2); // a position that went down is followed at once
    }});
    s.steps.push_back({280, [&] {
        low = w.PBar->value();
        t->SetPosition(25); // above Max
    }});
    s.steps.push_back({420, [&] {
        full = w.PBar->value();
        openWhileOver = w.isVisible() && !destroyed;
        t->release = true;
    }});
    ShowWith(w, s);
    EXPECT_EQ(maxOnShow, 40);
    EXPECT_EQ(maxLater, 10);
    EXPECT_EQ(mid, 6);
    EXPECT_EQ(low, 2);
    EXPECT_EQ(full, 10);
    EXPECT_TRUE(openWhileOver);
    EXPECT_TRUE(destroyed);
}

TEST_F(FormWaitTest, StopButtonShowsTheLabelUntilTheWorkerEnds)
{
    std::atomic<bool> destroyed{false};
    auto* t = new HeldWorker(&destroyed);
    TFormWait w;
    w.SetThread(t);
    bool barHidden = false, btnHidden = false, btnDisabled = false, labelShown = false;
    bool stillOpen = false, sawStop = false;
    Script s;
    s.steps.push_back({60, [&] {
        QTest::mouseClick(w.BtnStop, Qt::LeftButton);
        barHidden = w.PBar->isHidden();
        btnHidden = !w.BtnStop->isVisible();
        btnDisabled = !w.BtnStop->isEnabled();
        labelShown = w.Label1->isVisible();
        w.BtnStopClick(); // a second press changes nothing
    }});
    s.steps.push_back({200, [&] {
        // The worker has seen the stop but not ended: the window stays, and Escape or a close
        // request from the window system cannot take it away.
        sawStop = t->sawStop;
        QTest::keyClick(&w, Qt::Key_Escape);
        w.close();
        stillOpen = w.isVisible();
        t->release = true;
    }});
    ShowWith(w, s);
    EXPECT_TRUE(barHidden);
    EXPECT_TRUE(btnHidden);
    EXPECT_TRUE(btnDisabled);
    EXPECT_TRUE(labelShown);
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(destroyed);
}

TEST_F(FormWaitTest, WorkerEndedByAThrownValueStillClosesTheWindow)
{
    std::atomic<bool> destroyed{false};
    auto* t = new HeldWorker(&destroyed);
    t->throwValue = true;
    TFormWait w;
    w.SetThread(t);
    ShowWith(w, {});
    EXPECT_TRUE(destroyed);
}

TEST_F(FormWaitTest, NeverShownWindowFreesItsWorker)
{
    std::atomic<bool> destroyed{false};
    {
        TFormWait w;
        w.SetThread(new HeldWorker(&destroyed));
    }
    EXPECT_TRUE(destroyed);
}

} // namespace
