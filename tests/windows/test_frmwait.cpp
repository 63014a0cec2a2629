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

// A worker that ends at once, throws, or is held until released; it records its own end.
struct Worker : ThreadProcessBar {
    enum class Mode { Hold, EndAtOnce, Throw };
    Worker(std::atomic<bool>* destroyed, Mode mode) : ThreadProcessBar("等待测试"), destroyed(destroyed), mode(mode) {}
    ~Worker() override { *destroyed = true; }
    void Run() override
    {
        if (mode == Mode::Throw)
            throw 1;
        for (; mode == Mode::Hold && !release; QThread::msleep(1))
            sawStop = sawStop || StopRequested;
    }
    std::atomic<bool>* destroyed;
    const Mode mode;
    std::atomic<bool> release{false}, sawStop{false};
};

class FormWaitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    // Shows the window modally with a new held worker, running each step at its time (ms after show).
    void Show(const std::vector<std::pair<int, std::function<void()>>>& steps, int max = 100)
    {
        worker = new Worker(&destroyed, Worker::Mode::Hold);
        worker->SetMax(max);
        window.SetThread(worker);
        for (const auto& [at, f] : steps)
            QTimer::singleShot(at, &window, f);
        window.ShowModal();
    }
    Worker* worker = nullptr;
    std::atomic<bool> destroyed{false};
    TFormWait window;
};

// Ended before the first timer step, or by a thrown value: the step run on show still closes it.
TEST_F(FormWaitTest, WorkerThatEndsAtOnceOrThrowsStillClosesTheWindow)
{
    for (auto mode : {Worker::Mode::EndAtOnce, Worker::Mode::Throw}) {
        destroyed = false;
        TFormWait w;
        w.SetThread(new Worker(&destroyed, mode));
        QElapsedTimer clock;
        clock.start();
        w.ShowModal();
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_TRUE(destroyed);
        EXPECT_FALSE(w.isVisible());
    }
}

// The bar follows a changed Max and a Position that goes down; above Max it stays full. After a
// stop the bar and button are gone and the label shows; the window stays, whatever Escape or the
// window system asks, until the worker ends.
TEST_F(FormWaitTest, BarFollowsTheWorkerAndAStopShowsTheLabelUntilItEnds)
{
    std::vector<int> seen; // maximum or value at each step
    bool openWhileOver = false, stopShown = false, sawStop = false, stillOpen = false;
    Show({{60, [&] { seen.push_back(window.PBar->maximum()); worker->SetMax(10); worker->SetPosition(25); }},
          {200, [&] {
               seen.insert(seen.end(), {window.PBar->maximum(), window.PBar->value()});
               openWhileOver = window.isVisible() && !destroyed;
               worker->SetPosition(2);
           }},
          {330, [&] {
               seen.push_back(window.PBar->value());
               QTest::mouseClick(window.BtnStop, Qt::LeftButton);
               stopShown = window.PBar->isHidden() && !window.BtnStop->isVisible() && !window.BtnStop->isEnabled()
                           && window.Label1->isVisible();
               window.BtnStopClick(); // a second press changes nothing
           }},
          {470, [&] {
               sawStop = worker->sawStop;
               QTest::keyClick(&window, Qt::Key_Escape);
               window.close();
               stillOpen = window.isVisible();
               worker->release = true;
           }}},
         40);
    EXPECT_EQ(seen, (std::vector<int>{40, 10, 10, 2}));
    EXPECT_TRUE(openWhileOver);
    EXPECT_TRUE(stopShown);
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(destroyed);
}

} // namespace
