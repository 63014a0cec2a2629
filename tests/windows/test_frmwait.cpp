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
        while (mode == Mode::Hold && !release) {
            sawStop = sawStop || StopRequested;
            QThread::msleep(1);
        }
    }
    std::atomic<bool>* destroyed;
    const Mode mode;
    std::atomic<bool> release{false};
    std::atomic<bool> sawStop{false};
};

// One step of a script run inside the window's modal loop: when its condition holds, its action runs.
struct Step {
    std::function<bool()> ready;
    std::function<void()> action;
};

class FormWaitTest : public ::testing::Test {
protected:
    static constexpr int LookMs = 5;          // how often the script looks at the window
    static constexpr int ScriptLimitMs = 20000; // a step that never becomes ready fails the test

    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    // Shows the window modally with a new held worker and runs the steps in order, each as soon as
    // its condition holds. A step that does not become ready in time is reported and the worker
    // released, so the window still closes.
    void Show(std::vector<Step> steps, int max = 100)
    {
        worker = new Worker(&destroyed, Worker::Mode::Hold);
        worker->SetMax(max);
        window.SetThread(worker);
        size_t next = 0;
        QElapsedTimer clock;
        clock.start();
        QTimer look;
        look.setInterval(LookMs);
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (next == steps.size())
                return;
            if (steps[next].ready()) {
                steps[next].action();
                ++next;
            } else if (clock.elapsed() > ScriptLimitMs) {
                ADD_FAILURE() << "step " << next << " never became ready";
                next = steps.size();
                worker->release = true;
            }
        });
        look.start();
        window.ShowModal();
        EXPECT_EQ(next, steps.size());
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
        EXPECT_LT(clock.elapsed(), 10000); // closes by itself, never waits for the operator
        EXPECT_TRUE(destroyed);
        EXPECT_FALSE(w.isVisible());
    }
}

// The bar follows a changed Max and a Position that goes down; above Max it stays full. After a
// stop the bar and button are gone and the label shows; the window stays, whatever Escape or the
// window system asks, until the worker ends.
TEST_F(FormWaitTest, BarFollowsTheWorkerAndAStopShowsTheLabelUntilItEnds)
{
    const auto bar = [&](int max, int value) {
        return window.PBar->maximum() == max && window.PBar->value() == value;
    };
    bool stopShown = false;
    bool stillOpen = false;
    Show({{[&] { return window.isVisible() && bar(40, 0); },
           [&] {
               worker->SetMax(10);
               worker->SetPosition(25);
           }},
          {[&] { return bar(10, 10); }, // above the maximum: full, and the window stays
           [&] { worker->SetPosition(2); }},
          {[&] { return bar(10, 2); },
           [&] {
               QTest::mouseClick(window.BtnStop, Qt::LeftButton);
               stopShown = window.PBar->isHidden() && !window.BtnStop->isVisible() &&
                           !window.BtnStop->isEnabled() && window.Label1->isVisible();
               window.BtnStopClick(); // a second press changes nothing
           }},
          {[&] { return worker->sawStop.load(); },
           [&] {
               QTest::keyClick(&window, Qt::Key_Escape);
               window.close();
               stillOpen = window.isVisible() && !destroyed;
               worker->release = true;
           }}},
         40);
    EXPECT_TRUE(stopShown);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(window.isVisible());
}

} // namespace
