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

// A worker held by the test until released (or ending at once, or by a thrown value); it records
// its own end.
class HeldWorker : public ThreadProcessBar {
public:
    enum class Mode { Hold, EndAtOnce, Throw };
    HeldWorker(std::atomic<bool>* destroyed, Mode mode = Mode::Hold)
        : ThreadProcessBar("等待测试"), destroyed_(destroyed), mode_(mode) {}
    ~HeldWorker() override { *destroyed_ = true; }
    std::atomic<bool> release{false}, sawStop{false};

protected:
    void Run() override
    {
        if (mode_ == Mode::Throw)
            throw 1;
        for (; mode_ == Mode::Hold && !release; QThread::msleep(1))
            sawStop = sawStop || StopRequested;
    }

private:
    std::atomic<bool>* destroyed_;
    Mode mode_;
};

// Shows the window modally, running each step at its time (ms after show).
void ShowWith(TFormWait& w, const std::vector<std::pair<int, std::function<void()>>>& steps = {})
{
    for (const auto& [at, f] : steps)
        QTimer::singleShot(at, &w, f);
    w.ShowModal();
}

class FormWaitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    std::atomic<bool> destroyed{false};
};

TEST_F(FormWaitTest, LayoutAndStartingState)
{
    TFormWait w;
    EXPECT_EQ(w.size(), QSize(235, 21));
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.Label1->text(), QString("正在停止,请稍侯..."));
    EXPECT_EQ(w.Timer1->interval(), 50);
    EXPECT_EQ(std::tuple(w.PBar->minimum(), w.PBar->maximum(), w.PBar->value()), std::tuple(0, 100, 0));
    EXPECT_EQ(w.findChild<QToolButton*>("BtnStop"), w.BtnStop);
}

TEST_F(FormWaitTest, WorkerThatEndsAtOnceOrThrowsStillClosesTheWindow)
{
    for (auto mode : {HeldWorker::Mode::EndAtOnce, HeldWorker::Mode::Throw}) {
        destroyed = false;
        TFormWait w;
        w.SetThread(new HeldWorker(&destroyed, mode));
        QElapsedTimer clock;
        clock.start();
        ShowWith(w);
        EXPECT_TRUE(destroyed);
        EXPECT_FALSE(w.isVisible());
        EXPECT_LT(clock.elapsed(), 2000);
    }
}

// The bar follows a changed Max and a Position that goes down; above Max it stays full, and the
// window closes only on Finished.
TEST_F(FormWaitTest, BarFollowsMaxAndPositionAndClosesOnlyOnFinished)
{
    auto* t = new HeldWorker(&destroyed);
    t->SetMax(40);
    TFormWait w;
    w.SetThread(t);
    std::vector<int> seen; // maximum or value at each step
    bool openWhileOver = false;
    ShowWith(w, {{20, [&] { seen.push_back(w.PBar->maximum()); t->SetMax(10); t->SetPosition(6); }},
                 {150, [&] { seen.push_back(w.PBar->maximum()); seen.push_back(w.PBar->value()); t->SetPosition(2); }},
                 {280, [&] { seen.push_back(w.PBar->value()); t->SetPosition(25); }},
                 {420, [&] {
                      seen.push_back(w.PBar->value());
                      openWhileOver = w.isVisible() && !destroyed;
                      t->release = true;
                  }}});
    EXPECT_EQ(seen, (std::vector<int>{40, 10, 6, 2, 10}));
    EXPECT_TRUE(openWhileOver);
    EXPECT_TRUE(destroyed);
}

// After a stop the bar and button are gone and the label shows; the window stays, whatever
// Escape or the window system asks, until the worker ends.
TEST_F(FormWaitTest, StopButtonShowsTheLabelUntilTheWorkerEnds)
{
    auto* t = new HeldWorker(&destroyed);
    TFormWait w;
    w.SetThread(t);
    bool stopShown = false, sawStop = false, stillOpen = false;
    ShowWith(w, {{60, [&] {
                      QTest::mouseClick(w.BtnStop, Qt::LeftButton);
                      stopShown = w.PBar->isHidden() && !w.BtnStop->isVisible() && !w.BtnStop->isEnabled()
                                  && w.Label1->isVisible();
                      w.BtnStopClick(); // a second press changes nothing
                  }},
                 {200, [&] {
                      sawStop = t->sawStop;
                      QTest::keyClick(&w, Qt::Key_Escape);
                      w.close();
                      stillOpen = w.isVisible();
                      t->release = true;
                  }}});
    EXPECT_TRUE(stopShown);
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(destroyed);
}

TEST_F(FormWaitTest, NeverShownWindowFreesItsWorker)
{
    {
        TFormWait w;
        w.SetThread(new HeldWorker(&destroyed));
    }
    EXPECT_TRUE(destroyed);
}

} // namespace
