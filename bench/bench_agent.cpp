// Times the agent clients against a fake agent on 127.0.0.1: desktop pictures at the window's
// interval, one refresh of the detail window's three views, the peak memory and longest
// main-thread stall for each hostile reply, the detail window refreshing from replies just under the
// limit, the remote log window listing such replies, and the log viewer on big logs and long lines
// (plain, Chinese and rich text).
//   bench_agent [seconds of pictures=10] [detail refreshes=100] [seconds the viewer stays open=10]
//               [seconds of each big reply=10]
// A count of 0 leaves its part out.
// Needs the private database (eval "$(scripts/db.sh env .zol/devdb)"). The shipped 6000 ms waits apply.
#include "console/DevTestSupport.h"
#include "platform/Application.h"
#include "platform/GbkCodec.h"
#include "support/AgentTestSupport.h"
#include "terminal/ThreadGetAllFileName.h"
#include "terminal/ThreadGetLogFile.h"
#include "windows/FrmClientDetail.h"
#include "windows/FrmDevDesktop.h"
#include "windows/FrmGetLogFile.h"
#include "windows/FrmLogDev.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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

// The detail window refreshing its three views every 2 s while each process reply is just under the
// limit: the longest main-thread stall from its first reply on, the peak memory while it is open,
// and what the process still holds once it has closed.
void BigReplies(FakeAgent& agent, int seconds)
{
    using AgentTestSupport::LoopWatch;
    constexpr qint64 MiB = 1024 * 1024;
    const int id = DevTestSupport::AddTerminal(QStringLiteral("大回复"), QStringLiteral("up"), agent.Ip());
    std::printf("detail window, replies to \"process\" just under the limit, refreshed every %d ms for %d s:\n",
                TClientDetail::RefreshMs, seconds);
    const qint64 start = LoopWatch::Resident();
    for (const AgentTestSupport::BigReply& reply : AgentTestSupport::BigProcessReplies()) {
        agent.SetReply("process", reply.bytes);
        const qint64 before = LoopWatch::Resident();
        qint64 stall = 0;
        qint64 peak = 0;
        int rows = 0;
        {
            TClientDetail w(id);
            w.show();
            LoopWatch watch;
            Until([] { return false; }, seconds * 1000);
            stall = watch.LongestStallMs();
            peak = watch.GrowthMiB();
            rows = w.SetProcess.RecordCount();
            w.close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Until([] { return false; }, 200);
        // Memory that one case kept may be reused by the next: the whole is said too.
        std::printf("  %-30s %.2f MB, %5d rows: longest stall %4lld ms, peak %+4lld MiB, kept after closing %+4lld MiB"
                    " (since the first %+4lld MiB)\n",
                    reply.what, double(reply.bytes.size()) / 1e6, rows, stall, peak,
                    (LoopWatch::Resident() - before) / MiB, (LoopWatch::Resident() - start) / MiB);
    }
    agent.SetReply("process", {});
}

// The remote log window opened on a terminal whose list of logs is as full as a reply may be: the
// longest main-thread stall from the window's opening until the list shows (or its box has come),
// which holds the wait window's own pause of TFormWait::CloseDelayMs before it closes; the longest
// once the wait window has gone, while the list is shown; and the peak memory meanwhile.
void BigLists(FakeAgent& agent)
{
    using AgentTestSupport::LoopWatch;
    const int id = DevTestSupport::AddTerminal(QStringLiteral("大列表"), QStringLiteral("up"), agent.Ip());
    std::printf("remote log window, replies to \"listlogs\" just under the limit:\n");
    ScriptedAnswerer boxes; // the empty elements' list ends in its box
    for (const AgentTestSupport::BigReply& reply : AgentTestSupport::BigListReplies()) {
        agent.SetReply("listlogs", reply.bytes);
        const int seen = boxes.Count();
        qint64 stall = 0;
        qint64 shown = 0;
        qint64 peak = 0;
        int rows = 0;
        {
            TFrmLog w;
            w.LbDevIp->setText(w.SelectIpById(QString::number(id)));
            LoopWatch watch;
            AgentTestSupport::AfterWaitWindow after;
            w.show();
            const bool done = Until([&] { return w.SpeedButton1->isEnabled() || boxes.Count() > seen; }, 60000);
            Until([] { return false; }, 200); // the layout and painting that follow
            stall = watch.LongestStallMs();
            shown = after.LongestStallMs();
            peak = watch.GrowthMiB();
            rows = w.ClientDataSet.RecordCount();
            w.close();
            if (!done)
                std::printf("  %s: no list\n", reply.what);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Until([] { return false; }, 200);
        std::printf("  %-28s %.2f MB, %6d rows (of %6d): longest stall %4lld ms, after the wait window %4lld ms,"
                    " peak %+4lld MiB%s\n",
                    reply.what, double(reply.bytes.size()) / 1e6, rows, reply.rows, stall, shown, peak,
                    boxes.Count() > seen ? ", with its box" : "");
    }
    agent.SetReply("listlogs", {});
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
    // Replies that would keep the parser busy are timed by bench_replies.
}

// Processor time of the whole process, in milliseconds.
double CpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Writes a log of about megabytes MiB: head, then line, repeated.
void WriteLog(const QString& path, const QByteArray& line, qint64 megabytes, const QByteArray& head = {})
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(head);
    const QByteArray block = line.repeated(qMax<qsizetype>(1, (1024 * 1024) / line.size()));
    for (qint64 written = 0; written < megabytes * 1024 * 1024; written += block.size())
        file.write(block);
}

// The log viewer as the operator has it: fetching and showing the log; open with the caret
// blinking, first at the start, then at the end (Ctrl+End), idleSeconds in all; then paging up,
// to the right and back to the start. For each phase the longest main-thread stall; the
// processor time while open; the peak memory throughout.
void ViewLog(FakeAgent& agent, const char* what, const QString& name, qint64 size, int idleSeconds)
{
    constexpr int PageSteps = 20;
    using AgentTestSupport::LoopWatch;
    LoopWatch whole;
    LoopWatch load;
    std::unique_ptr<LoopWatch> idle;
    std::unique_ptr<LoopWatch> paging;
    qint64 loadMs = 0;
    qint64 loadStall = 0;
    qint64 idleStall = 0;
    double idleCpu = 0;
    double cpuAtIdle = 0;
    bool focused = false;
    QElapsedTimer clock;
    clock.start();
    TFormGetLogFile viewer(name, agent.Ip(), int(qMin<qint64>(size, INT_MAX)));
    FormGetLogFile = &viewer;
    QTextEdit* edit = viewer.RichEdit;
    const auto page = [&] {
        idleStall = idle->LongestStallMs();
        idleCpu = (CpuMs() - cpuAtIdle) / double(clock.elapsed());
        paging = std::make_unique<LoopWatch>();
        for (int i = 0; i < PageSteps; ++i) {
            QTest::keyClick(edit, Qt::Key_PageUp);
            QCoreApplication::processEvents();
        }
        edit->horizontalScrollBar()->setValue(edit->horizontalScrollBar()->maximum());
        QCoreApplication::processEvents();
        QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QTimer::singleShot(500, &viewer, [&] { viewer.close(); });
    };
    When([&] { return QApplication::activeModalWidget() == &viewer; }, [&] {
        loadMs = clock.elapsed();
        loadStall = load.LongestStallMs();
        idle = std::make_unique<LoopWatch>();
        cpuAtIdle = CpuMs();
        clock.restart();
        viewer.activateWindow();
        edit->setFocus();
        QTimer::singleShot(idleSeconds * 500, &viewer, [&] {
            focused = edit->hasFocus();
            QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
            QTimer::singleShot(idleSeconds * 500, &viewer, page);
        });
    }, &viewer);
    viewer.exec();
    FormGetLogFile = nullptr;
    std::printf("  %-34s shown after %5lld ms; longest stall: loading %5lld ms, open %5lld ms, paging %5lld ms;"
                " CPU while open %3.0f%%; peak +%4lld MiB%s\n",
                what, loadMs, loadStall, idleStall, paging ? paging->LongestStallMs() : -1, idleCpu * 100,
                whole.GrowthMiB(), focused ? "" : " (caret not focused)");
}

// The operator goes to the end (Ctrl+End) as soon as the viewer shows, before the text has been
// laid out in the background: how long that one key holds up the console.
qint64 EndAtOnce(FakeAgent& agent, const QString& name, qint64 size)
{
    TFormGetLogFile viewer(name, agent.Ip(), int(qMin<qint64>(size, INT_MAX)));
    FormGetLogFile = &viewer;
    qint64 ms = -1;
    When([&] { return QApplication::activeModalWidget() == &viewer; }, [&] {
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(viewer.RichEdit, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::processEvents();
        ms = clock.elapsed();
        viewer.close();
    }, &viewer);
    viewer.exec();
    FormGetLogFile = nullptr;
    return ms;
}

void Viewer(FakeAgent& agent, int idleSeconds)
{
    QTemporaryDir dir;
    agent.SetLogFolder(dir.path());
    agent.SetFault(FakeAgent::Fault::None);
    agent.SetEndRawReplies(true);
    const QByteArray line = Gbk::Encode(QStringLiteral("2026-01-01 08:00:00 终端服务 进程检查完成\r\n"));
    WriteLog(dir.filePath("normal.log"), line, 200);
    WriteLog(dir.filePath("oneline.log"), "0123456789abcdef", 200);
    WriteLog(dir.filePath("chinese.log"), Gbk::Encode(QStringLiteral("终端服务进程检查完成,")), 200);
    WriteLog(dir.filePath("rich.rtf"), "plain text \\b bold\\b0  \\cf1 coloured\\cf0 ", 200, // one paragraph
             "{\\rtf1\\ansi\\ansicpg936{\\colortbl ;\\red255\\green0\\blue0;}");
    {
        QFile file(dir.filePath("longline.log"));
        file.open(QIODevice::WriteOnly);
        file.write(line.repeated(100));
        file.write(QByteArray("x").repeated(1024 * 1024)); // the last line, still being written
    }
    std::printf("log viewer, open %d s after the log has come:\n", idleSeconds);
    const struct {
        const char* what;
        const char* name;
    } cases[] = {
        {"short lines, then one of 1 MB", "longline.log"},
        {"200 MB log without line breaks", "oneline.log"},
        {"the same in Chinese", "chinese.log"},
        {"rich text, 200 MB in one paragraph", "rich.rtf"},
        {"200 MB log of short lines", "normal.log"},
    };
    for (const auto& c : cases)
        ViewLog(agent, c.what, c.name, QFileInfo(dir.filePath(c.name)).size(), idleSeconds);
    std::printf("log viewer, Ctrl+End as soon as it shows:\n");
    for (const auto& c : cases)
        std::printf("  %-34s %5lld ms\n", c.what, EndAtOnce(agent, c.name, QFileInfo(dir.filePath(c.name)).size()));
    agent.SetEndRawReplies(false);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int seconds = argc > 1 ? std::max(0, std::atoi(argv[1])) : 10;
    const int rounds = argc > 2 ? std::max(0, std::atoi(argv[2])) : 100;
    const int viewerSeconds = argc > 3 ? std::max(0, std::atoi(argv[3])) : 10;
    const int bigSeconds = argc > 4 ? std::max(0, std::atoi(argv[4])) : 10;
    TApplication app(argc, argv);
    ConsoleDb::SetUp();
    TestDb::Truncate();
    ScriptedAnswerer boxes; // a failure would otherwise wait for the operator
    TimeOut = 10000;
    FakeAgent agent;
    AgentTestSupport::UseAgent(agent);
    if (seconds > 0)
        Pictures(agent, std::max(2, seconds));
    if (rounds > 0)
        DetailRefreshes(agent, rounds);
    if (bigSeconds > 0) {
        BigReplies(agent, bigSeconds);
        BigLists(agent);
    }
    if (seconds > 0) {
        std::printf("hostile replies (the shipped waits):\n");
        ScriptedAnswerer hostile;
        HostileDesktop(agent, hostile);
        HostileWorkers(agent, hostile);
    }
    if (viewerSeconds > 0)
        Viewer(agent, viewerSeconds);
    agent.SetFault(FakeAgent::Fault::None);
    for (const QString& box : AgentTestSupport::Boxes(boxes))
        std::printf("box: %s\n", qPrintable(box));
    return boxes.Count() == 0 ? 0 : 1;
}
