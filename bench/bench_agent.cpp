// Times the agent clients against a fake agent on 127.0.0.1: desktop pictures at the window's
// interval, one refresh of the detail window's three views, and the peak memory and longest
// main-thread stall for each hostile reply.
//   bench_agent [seconds of pictures=10] [detail refreshes=100]
// Needs the private database (eval "$(scripts/db.sh env .zol/devdb)"). The shipped 6000 ms waits apply.
#include "console/DevTestSupport.h"
#include "platform/Application.h"
#include "platform/GbkCodec.h"
#include "support/AgentTestSupport.h"
#include "terminal/ThreadGetAllFileName.h"
#include "terminal/ThreadGetLogFile.h"
#include "windows/FrmClientDetail.h"
#include "windows/FrmDevDesktop.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Notes when each picture arrives, as the desktop window would show it.
struct PictureClock : QObject, DesktopTarget {
    void ShowPicture(const QImage& picture, const QByteArray&) override
    {
        if (!picture.isNull())
            arrivals.push_back(clock.nsecsElapsed() / 1e6);
    }
    void CloseForm() override { closed = true; }
    QElapsedTimer clock;
    std::vector<double> arrivals;
    bool closed = false;
};

// Runs the message loop until cond holds or limitMs pass; false on the limit.
template <typename C>
bool Until(C cond, int limitMs)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

void Pictures(FakeAgent& agent, int seconds)
{
    PictureClock target;
    auto link = std::make_shared<DesktopLink>(&target, &target);
    target.clock.start();
    auto* thread = new ThreadDevDesktop(agent.Ip(), link, TFormDevDesktop::IntervalMs);
    thread->Resume();
    Until([&] { return target.closed || target.clock.elapsed() >= seconds * 1000; }, seconds * 1000 + 1000);
    link->Stop();
    Until([] { return ThreadDevDesktop::LiveCount() == 0; }, 30000);
    std::vector<double> gaps;
    for (size_t i = 1; i < target.arrivals.size(); ++i)
        gaps.push_back(target.arrivals[i] - target.arrivals[i - 1]);
    const double first = target.arrivals.empty() ? 0 : target.arrivals.front();
    std::printf("desktop pictures, %d x %d JPEG from the fake agent, interval %d ms, %d s:\n", 320, 240,
                TFormDevDesktop::IntervalMs, seconds);
    std::printf("  pictures: %zu (%.2f per second), first after %.1f ms\n", target.arrivals.size(),
                double(target.arrivals.size()) / seconds, first);
    std::printf("  between pictures: median %.1f ms, 95%% %.1f ms, max %.1f ms (target <= %d ms)\n",
                Percentile(gaps, 0.5), Percentile(gaps, 0.95), Percentile(gaps, 1.0),
                TFormDevDesktop::IntervalMs + 300);
}

void DetailRefreshes(FakeAgent& agent, int rounds)
{
    const int id = DevTestSupport::AddTerminal(QStringLiteral("基准"), QStringLiteral("up"), agent.Ip());
    std::vector<FakeAgent::Process> processes;
    for (int i = 0; i < 60; ++i)
        processes.push_back({QString::number(1000 + i), QStringLiteral("进程%1.exe").arg(i), "1"});
    agent.SetProcesses(processes);
    TClientDetail w(id);
    w.show();
    if (!Until([&] { return w.BtnUpsRefresh->isEnabled() && w.SetProcess.RecordCount() == 60; }, 10000)) {
        std::printf("detail window: no first replies\n");
        return;
    }
    for (QCheckBox* box : {w.CbxProcRefresh, w.CbxNetRefresh, w.CbxUpsRefresh})
        box->click(); // manual refreshes only
    std::vector<double> times;
    for (int r = 1; r <= rounds; ++r) {
        const QString mark = QString::number(r);
        processes.front().name = mark;
        agent.SetProcesses(processes);
        agent.SetNet({mark, "1", "2", "3", "4"});
        agent.SetUps({{"Temperature", mark}, {"I/P voltage", "220"}});
        QElapsedTimer t;
        t.start();
        w.BtnProcRefresh->click();
        w.BtnNetRefresh->click();
        w.BtnUpsRefresh->click();
        const bool done = Until([&] {
            return w.LblUpdateTime->text() == mark && w.LblTemperature->text() == mark + " C" &&
                   w.SetProcess.Cell(0, 1) == mark;
        }, 5000);
        if (!done) {
            std::printf("detail window: round %d did not complete\n", r);
            break;
        }
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    w.close();
    std::printf("detail window, one refresh of processes (60 rows), network and UPS, %zu rounds:\n", times.size());
    std::printf("  median %.2f ms, 95%% %.2f ms, max %.2f ms (target < 50 ms)\n", Percentile(times, 0.5),
                Percentile(times, 0.95), Percentile(times, 1.0));
}

// One hostile reply's figures: the peak memory above what the process held before, and the
// longest stall of the main thread, while it runs.
void Report(const char* what, const AgentTestSupport::LoopWatch& watch, qint64 ms, const QString& outcome)
{
    std::printf("  %-44s peak +%4lld MiB, longest stall %5lld ms, %6lld ms, %s\n", what, watch.GrowthMiB(),
                watch.LongestStallMs(), ms, qPrintable(outcome));
}

// The box that the last case brought, when it brought one.
QString LastBox(const ScriptedAnswerer& boxes)
{
    static int seen = 0;
    const QStringList all = AgentTestSupport::Boxes(boxes);
    const QString box = all.size() > seen ? all.last() : QStringLiteral("no box");
    seen = int(all.size());
    return box;
}

void HostileDesktop(FakeAgent& agent, const ScriptedAnswerer& boxes)
{
    using F = FakeAgent::Fault;
    using S = FakeAgent::Scope;
    const int id = DevTestSupport::AddTerminal(QStringLiteral("敌意"), QStringLiteral("up"), agent.Ip());
    const struct {
        const char* what;
        F fault;
        S scope;
    } cases[] = {
        {"desktop: header claims 60000 x 60000", F::HugePicture, S::All},
        {"desktop: picture without end", F::Endless, S::CommandsOnly},
        {"desktop: authentication reply without end", F::Endless, S::All},
        {"desktop: reset in the middle of the picture", F::ResetMidTransfer, S::CommandsOnly},
    };
    for (const auto& c : cases) {
        agent.SetFault(c.fault, c.scope);
        AgentTestSupport::LoopWatch watch;
        QElapsedTimer clock;
        clock.start();
        {
            TFormDevDesktop window(id);
            window.show();
            Until([&] { return !window.isVisible(); }, 60000);
        }
        Until([] { return ThreadDevDesktop::LiveCount() == 0; }, 60000);
        Report(c.what, watch, clock.elapsed(), LastBox(boxes));
    }
}

// Runs a worker to its end, pressing stop after stopAfterMs (-1: never); the time from the
// stop (or the start) to its end.
qint64 RunWorker(ThreadProcessBar* worker, int stopAfterMs)
{
    std::unique_ptr<ThreadProcessBar> owned(worker);
    QElapsedTimer clock;
    clock.start();
    owned->Resume();
    if (stopAfterMs >= 0) {
        Until([] { return false; }, stopAfterMs);
        owned->Stop();
        clock.restart();
    }
    Until([&] { return bool(owned->Finished); }, 600000);
    return clock.elapsed();
}

void HostileWorkers(FakeAgent& agent, const ScriptedAnswerer& boxes)
{
    using AgentTestSupport::WriteFiles;
    using F = FakeAgent::Fault;
    QTemporaryDir dir;
    agent.SetLogFolder(dir.path());
    {
        QFile big(dir.filePath("big.log"));
        big.open(QIODevice::WriteOnly);
        const QByteArray line = QByteArray("2026-01-01 00:00:00 a line of a log that has grown for months\r\n");
        const QByteArray block = line.repeated(1024 * 1024 / line.size());
        for (qint64 i = 0; i < 200; ++i)
            big.write(block);
    }
    WriteFiles(dir, {{"small.log", "a line\r\n"}});
    agent.SetEndRawReplies(true);

    agent.SetFault(F::Endless, FakeAgent::Scope::CommandsOnly);
    {
        AgentTestSupport::LoopWatch watch;
        const qint64 ms = RunWorker(new ThreadGetAllFileName(agent.Ip()), -1);
        ThreadGetAllFileName::ClearResult();
        Report("log list without end", watch, ms, LastBox(boxes));
    }
    agent.SetFault(F::Trickle);
    agent.SetSplitPauseMs(5000);
    {
        AgentTestSupport::LoopWatch watch;
        const qint64 ms = RunWorker(new ThreadGetAllFileName(agent.Ip()), -1);
        ThreadGetAllFileName::ClearResult();
        Report("authentication, a byte every 5 s", watch, ms, LastBox(boxes));
    }
    {
        AgentTestSupport::LoopWatch watch;
        const qint64 ms = RunWorker(new ThreadGetAllFileName(agent.Ip()), 1000);
        ThreadGetAllFileName::ClearResult();
        Report("authentication, a byte every 5 s, stopped", watch, ms, QStringLiteral("from the stop"));
    }
    agent.SetFault(F::Endless, FakeAgent::Scope::CommandsOnly);
    {
        AgentTestSupport::LoopWatch watch;
        const qint64 ms = RunWorker(new ThreadGetLogFile(agent.Ip(), "small.log", nullptr, 0), 100);
        Report("log without end, stopped after 0.1 s", watch, ms, QStringLiteral("from the stop"));
    }
    {
        AgentTestSupport::LoopWatch watch;
        const qint64 ms = RunWorker(new ThreadGetLogFile(agent.Ip(), "small.log", nullptr, 0), -1);
        Report("log without end, to its limit", watch, ms, QStringLiteral("cut at 256 MiB"));
    }
    agent.SetFault(F::None);
    {
        AgentTestSupport::LoopWatch watch;
        const qint64 ms = RunWorker(new ThreadGetLogFile(agent.Ip(), "big.log", nullptr, 200 << 20), -1);
        Report("200 MB log fetched (not shown)", watch, ms, QStringLiteral("the fake agent holds 200 MB of it"));
    }
    agent.SetEndRawReplies(false);

    const QString deep = Gbk::Decode(FakeAgent::Document("process", QStringLiteral("<a>").repeated(FakeAgent::DeepLevels) +
                                                                        QStringLiteral("</a>").repeated(FakeAgent::DeepLevels)));
    AgentTestSupport::LoopWatch watch;
    QElapsedTimer clock;
    clock.start();
    QString outcome = QStringLiteral("parsed");
    try {
        AgentProtocol::ParseReply(deep);
    } catch (const Exception& e) {
        outcome = e.Message;
    }
    const qint64 ms = clock.elapsed();
    QCoreApplication::processEvents();
    Report("reply nested 100000 levels, on the main thread", watch, ms, outcome);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    TApplication app(argc, argv);
    ConsoleDb::SetUp();
    TestDb::Truncate();
    ScriptedAnswerer boxes; // a failure would otherwise wait for the operator
    TimeOut = 10000;
    FakeAgent agent;
    AgentTestSupport::UseAgent(agent);
    Pictures(agent, seconds);
    DetailRefreshes(agent, rounds);
    std::printf("hostile replies (the shipped waits):\n");
    ScriptedAnswerer hostile;
    HostileDesktop(agent, hostile);
    HostileWorkers(agent, hostile);
    agent.SetFault(FakeAgent::Fault::None);
    for (const QString& box : AgentTestSupport::Boxes(boxes))
        std::printf("box: %s\n", qPrintable(box));
    return boxes.Count() == 0 ? 0 : 1;
}
