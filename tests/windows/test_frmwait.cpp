// The wait window: start on show, following the progress, the stop button, freeing the worker and closing.
#include "foundation/ThreadBase.h"
#include "support/AgentTestSupport.h"
#include "windows/FrmWait.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QToolButton>

using AgentTestSupport::Patience;
using AgentTestSupport::WhenReady;

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

class FormWaitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ConsoleDb::SetUp(); }
    std::atomic<bool> destroyed{false};
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
    TFormWait window;
    auto* worker = new Worker(&destroyed, Worker::Mode::Hold);
    worker->SetMax(40);
    window.SetThread(worker);
    // Should a step never come, its failure is reported and the worker let go, so the window closes.
    QTimer::singleShot(2 * Patience, &window, [&] { worker->release = true; });
    const auto bar = [&](int max, int value) {
        return window.PBar->maximum() == max && window.PBar->value() == value;
    };
    bool stopShown = false;
    bool stillOpen = false;
    WhenReady([&] { return window.isVisible() && bar(40, 0); }, [&] {
        worker->SetMax(10);
        worker->SetPosition(25);
        WhenReady([&] { return bar(10, 10); }, [&] { // above the maximum: full, and the window stays
            worker->SetPosition(2);
            WhenReady([&] { return bar(10, 2); }, [&] {
                QTest::mouseClick(window.BtnStop, Qt::LeftButton);
                stopShown = window.PBar->isHidden() && !window.BtnStop->isVisible() && !window.BtnStop->isEnabled() &&
                            window.Label1->isVisible();
                window.BtnStopClick(); // a second press changes nothing
                WhenReady([&] { return worker->sawStop.load(); }, [&] {
                    QTest::keyClick(&window, Qt::Key_Escape);
                    window.close();
                    stillOpen = window.isVisible() && !destroyed;
                    worker->release = true;
                });
            });
        });
    });
    window.ShowModal();
    EXPECT_TRUE(stopShown);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(window.isVisible());
}

} // namespace
