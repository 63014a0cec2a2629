// The reachability check against loopback agent ports: report lines, state moves, time-outs,
// the three-probe limit and a stop in the middle.
#include "console/DevTestSupport.h"
#include "support/ReachabilityPeers.h"
#include "terminal/ThreadConnectionTest.h"
#include "terminal/ThreadTelnet.h"

#include <QTest>
#include <atomic>

namespace {

constexpr int ShortTimeOutMs = 300;
constexpr int WaitMs = 20000; // upper bound of every wait for the check and its probes
const char* const Reachable = ReachabilityPeers::ReachableIp;
const char* const Refusing = ReachabilityPeers::RefusingIp;
const char* const Silent = ReachabilityPeers::SilentIp;

bool NoProbeAlive() { return ThreadTelnet::LiveCount() == 0; }

// Runs a check as the wait window would, calling during at every look, and frees it; the Positions seen.
std::vector<int> RunCheck(const std::vector<int>& ids,
                          const std::function<void(ThreadConnectionTest&)>& during = [](auto&) {})
{
    std::vector<int> seen{0};
    auto check = std::make_unique<ThreadConnectionTest>(ids, QStringLiteral("检测网络"));
    check->Resume();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const bool done = check->Finished;
        during(*check);
        if (seen.back() != check->GetPosition())
            seen.push_back(check->GetPosition());
        return done;
    }, WaitMs)) << "the check did not end";
    check.reset();
    DevTestSupport::Pump();
    return seen;
}

// The check's console lines as "<level> <message>", sorted.
QStringList Reports()
{
    QStringList out;
    for (const QString& line : ConsoleDb::LogText().split('\n'))
        if (line.contains(QStringLiteral("远程设备[")))
            out << line.trimmed().section(' ', 0, 0) + ' ' + line.section(QStringLiteral(" : "), 1);
    out.sort();
    return out;
}

// A running terminal named 终端<n>; its id. The caller builds the tree.
int AddTerminal(int n, const char* ip)
{
    return DevTestSupport::AddTerminal(QStringLiteral("终端%1").arg(n), QStringLiteral("up"), ip);
}

class ConnectionTestTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        LogLevel = Consts::LevelInfo;
        static ReachabilityPeers peers;
        MainForm->IniWriteInteger(QStringLiteral("SocketPort"), peers.Port());
    }
    void SetUp() override
    {
        TestDb::Truncate();
        TimeOut = ShortTimeOutMs;
        ConsoleDb::ClearLog();
    }
    void TearDown() override
    {
        EXPECT_TRUE(QTest::qWaitFor(NoProbeAlive, WaitMs)) << "a probe is still alive";
        ThreadTelnet::SetConnectForTest({});
    }
    QElapsedTimer clock;
};

} // namespace

// The rows of the report table that the window's check of the listed terminals and the operator's
// day leave out: the console line and its level, and the tree group the state move leaves the
// terminal in; nothing is written to the database.
TEST_F(ConnectionTestTest, ReportsEachTerminalAsItsTableRowSays)
{
    const struct { const char* name; const char* ip; QString status, report, group; } rows[] = {
        {"乙", Reachable, "error", "信息 远程设备[乙:127.0.0.1]网络正常．", Consts::StatusUp}, // built into group 1
        {"丁", Reachable, "down", "信息 远程设备[丁:127.0.0.1]关机状态．", Consts::StatusDown},
        {"己", Silent, "up", "警告 远程设备[己:127.0.0.3]网络异常．", Consts::StatusError},
        {"壬", Refusing, "error", "", Consts::StatusError}, // no line, but moved with "error"
        {"癸", "localhost", "up", "警告 远程设备[癸:localhost]网络异常．", Consts::StatusError},
    };
    std::vector<int> ids;
    QStringList stored;
    QStringList expected;
    for (const auto& r : rows) {
        ids.push_back(DevTestSupport::AddTerminal(r.name, r.status, r.ip));
        stored << r.status;
        expected << r.report;
    }
    expected.removeAll("");
    expected.sort();
    MainForm->BuildDevTree();
    ids.push_back(99); // no such terminal: no line

    EXPECT_EQ(RunCheck(ids).back(), 6);
    // A hanging probe ends soon after its time-out, not after the kernel's SYN retries.
    EXPECT_TRUE(QTest::qWaitFor(NoProbeAlive, WaitMs)); // the kernel would retry for minutes
    EXPECT_EQ(Reports(), expected);
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(MainForm->GetDevNetState(ids[i]), rows[i].group) << i;
    EXPECT_EQ(TestDb::Rows("select status from zol_status order by zol_id"), stored);
}

// Ten terminals: never more than three probes at a time, Position counting the reported
// terminals up to ten, every terminal reported once.
TEST_F(ConnectionTestTest, TenTerminalsNeverMoreThanThreeProbesAtATime)
{
    std::vector<int> ids;
    QStringList expected;
    for (int id = 1; id <= 10; ++id) {
        ids.push_back(AddTerminal(id, Reachable));
        expected << QStringLiteral("信息 远程设备[终端%1:127.0.0.1]网络正常．").arg(id);
    }
    MainForm->BuildDevTree();
    std::atomic<int> running{0};
    std::atomic<int> peak{0};
    ThreadTelnet::SetConnectForTest([&](const QString& ip, int port, int limitMs) {
        const int now = ++running;
        int was = peak;
        while (now > was && !peak.compare_exchange_weak(was, now)) {
        }
        // The first probes hold until three run at once, however slowly the machine starts them,
        // so that a fourth would have its chance to start beside them.
        QElapsedTimer held;
        held.start();
        while (peak < 3 && held.elapsed() < WaitMs)
            QThread::msleep(1);
        QThread::msleep(20);
        const auto result = ThreadTelnet::TryConnect(ip, port, limitMs);
        --running;
        return result;
    });
    TimeOut = 1000;
    const std::vector<int> positions = RunCheck(ids);

    EXPECT_EQ(peak, 3);
    EXPECT_EQ(positions.back(), 10);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    expected.sort();
    EXPECT_EQ(Reports(), expected);
}

// A stop in the middle: the check ends within a pass, reports nothing more, and the probes
// still in their attempt finish later without touching what the check has freed.
TEST_F(ConnectionTestTest, AStopInTheMiddleReportsNothingMore)
{
    std::vector<int> ids;
    for (int id = 1; id <= 6; ++id)
        ids.push_back(AddTerminal(id, id == 1 ? Reachable : Refusing));
    MainForm->BuildDevTree();
    std::atomic<bool> release{false}; // the first terminal answers at once; the others hang until released
    ThreadTelnet::SetConnectForTest([&](const QString& ip, int port, int limitMs) {
        while (ip != QLatin1String(Reachable) && !release)
            QThread::msleep(1);
        return ThreadTelnet::TryConnect(ip, port, limitMs);
    });
    TimeOut = 10000;

    clock.start();
    qint64 stoppedAt = -1;
    const std::vector<int> positions = RunCheck(ids, [&](ThreadConnectionTest& check) {
        // Stopped once the first terminal is reported and three hanging probes are under way.
        if (stoppedAt < 0 && check.GetPosition() == 1 && ThreadTelnet::LiveCount() == 3) {
            check.Stop();
            stoppedAt = clock.elapsed();
        }
    });
    ASSERT_GE(stoppedAt, 0);
    // Well before the hanging probes' time-out, which a check that waited for them would wait out.
    EXPECT_LT(clock.elapsed() - stoppedAt, TimeOut / 2) << "the check must leave its loop within a pass";
    EXPECT_EQ(positions.back(), 1);
    EXPECT_EQ(ThreadTelnet::LiveCount(), 3) << "three probes were still in their attempt";

    // Released after the check has freed its records: the probes see their stop and end.
    release = true;
    EXPECT_TRUE(QTest::qWaitFor(NoProbeAlive, WaitMs));
    EXPECT_EQ(Reports(), QStringList("信息 远程设备[终端1:127.0.0.1]网络正常．"));
    for (int id = 2; id <= 6; ++id)
        EXPECT_EQ(MainForm->GetDevNetState(id), Consts::StatusUp) << id;
}
