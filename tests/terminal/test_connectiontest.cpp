// The reachability check against loopback agent ports: report lines, state moves, time-outs,
// the three-probe limit and a stop in the middle.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "support/ConsoleDb.h"
#include "support/ReachabilityPeers.h"
#include "support/TestDb.h"
#include "terminal/ThreadConnectionTest.h"
#include "terminal/ThreadTelnet.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <mutex>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

constexpr int ShortTimeOutMs = 300;
constexpr int CheckDeadlineMs = 20000;

const char* const Reachable = ReachabilityPeers::ReachableIp;
const char* const Refusing = ReachabilityPeers::RefusingIp;
const char* const Silent = ReachabilityPeers::SilentIp;

bool WaitUntil(const std::function<bool()>& done, int limitMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() <= limitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return done();
}

bool NoProbeAlive() { return ThreadTelnet::LiveCount() == 0; }

// Runs a check as the wait window would: resume, follow Position until Finished, free it.
// Returns the positions seen, in order.
std::vector<int> RunCheck(const std::vector<int>& ids, const std::function<void(ThreadConnectionTest&)>& during = {})
{
    std::vector<int> positions{0};
    {
        ThreadConnectionTest check(ids, QStringLiteral("检测网络"));
        check.Resume();
        EXPECT_TRUE(WaitUntil([&] {
            if (during)
                during(check);
            if (positions.back() != check.GetPosition())
                positions.push_back(check.GetPosition());
            return bool(check.Finished);
        }, CheckDeadlineMs)) << "the check did not end";
        positions.push_back(check.GetPosition());
    }
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    return positions;
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

class ConnectionTestTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        peers_ = new ReachabilityPeers;
        MainForm->IniWriteInteger(QStringLiteral("SocketPort"), peers_->Port());
    }
    static void TearDownTestSuite() { delete peers_; }
    void SetUp() override
    {
        TestDb::Truncate();
        TimeOut = ShortTimeOutMs;
        LogLevel = Consts::LevelInfo;
        ConsoleDb::ClearLog();
    }
    void TearDown() override
    {
        EXPECT_TRUE(WaitUntil(NoProbeAlive, 5000)) << "a probe is still alive";
        ThreadTelnet::SetConnectForTest({});
    }

    static void AddTerminal(int id, const QString& name, const QString& ip, const QString& status)
    {
        TestDb::Exec(QStringLiteral("insert into zol_baseinfo (id, name, ip) values (%1, '%2', '%3');"
                                    "insert into zol_status (zol_id, status) values (%1, '%4');")
                         .arg(id)
                         .arg(name, ip, status));
    }
    // Terminals 1 to count named 终端<id>, all "up", then the tree rebuilt.
    static std::vector<int> AddTerminals(int count, const std::function<const char*(int)>& ip)
    {
        std::vector<int> ids;
        for (int id = 1; id <= count; ++id) {
            AddTerminal(id, QStringLiteral("终端%1").arg(id), ip(id), "up");
            ids.push_back(id);
        }
        MainForm->BuildDevTree();
        return ids;
    }

    static inline ReachabilityPeers* peers_ = nullptr;
};

} // namespace

// Every row of the report table: the console line and its level, and the tree group the state
// move leaves the terminal in; nothing is written to the database.
TEST_F(ConnectionTestTest, ReportsEachTerminalAsItsTableRowSays)
{
    const struct { const char* name; const char* ip; QString status, report, group; } rows[] = {
        {"甲", Reachable, "up", "信息 远程设备[甲:127.0.0.1]网络正常．", Consts::StatusUp},
        {"乙", Reachable, "error", "信息 远程设备[乙:127.0.0.1]网络正常．", Consts::StatusUp},
        {"丙", Reachable, "poweroff", "信息 远程设备[丙:127.0.0.1]关闭电源状态．", Consts::StatusPowerOff},
        {"丁", Reachable, "down", "信息 远程设备[丁:127.0.0.1]关机状态．", Consts::StatusDown},
        {"戊", Refusing, "up", "警告 远程设备[戊:127.0.0.2]网络异常．", Consts::StatusError},
        {"己", Silent, "up", "警告 远程设备[己:127.0.0.3]网络异常．", Consts::StatusError},
        {"庚", Refusing, "poweroff", "信息 远程设备[庚:127.0.0.2]关闭电源状态．", Consts::StatusPowerOff},
        {"辛", Silent, "down", "信息 远程设备[辛:127.0.0.3]关机状态．", Consts::StatusDown},
        {"壬", Refusing, "error", "", Consts::StatusError}, // no line, but moved with "error"
        {"癸", "localhost", "up", "警告 远程设备[癸:localhost]网络异常．", Consts::StatusError},
    };
    std::vector<int> ids;
    QStringList expected;
    for (const auto& r : rows) {
        ids.push_back(int(ids.size()) + 1);
        AddTerminal(ids.back(), r.name, r.ip, r.status);
        if (!r.report.isEmpty())
            expected << r.report;
    }
    MainForm->BuildDevTree();
    ASSERT_EQ(MainForm->GetDevNetState(2), Consts::StatusUp); // a stored "error" starts in group 1
    ids.push_back(99); // no such terminal: no line

    QElapsedTimer t;
    t.start();
    EXPECT_EQ(RunCheck(ids).back(), 11);
    EXPECT_GE(t.elapsed(), ShortTimeOutMs) << "a silent terminal must wait out the time-out";
    // A hanging probe ends soon after its time-out, not after the kernel's SYN retries.
    EXPECT_TRUE(WaitUntil(NoProbeAlive, 1500));
    expected.sort();
    EXPECT_EQ(Reports(), expected);
    for (int id = 1; id <= 10; ++id)
        EXPECT_EQ(MainForm->GetDevNetState(id), rows[id - 1].group) << id;
    EXPECT_EQ(TestDb::Rows("select zol_id, status from zol_status where zol_id in (1, 2, 5, 6) order by zol_id"),
              QStringList({"1\tup", "2\terror", "5\tup", "6\tup"}));

    // A terminal in the fault group that answers again moves back to the running group.
    TestDb::Exec("update zol_baseinfo set ip = '127.0.0.1' where id = 5");
    RunCheck({5});
    EXPECT_EQ(MainForm->GetDevNetState(5), Consts::StatusUp);
}

// Ten terminals: never more than three probes at a time, Position counting the reported
// terminals up to ten, every terminal reported once.
TEST_F(ConnectionTestTest, TenTerminalsNeverMoreThanThreeProbesAtATime)
{
    const std::vector<int> ids = AddTerminals(10, [](int) { return Reachable; });
    std::mutex lock;
    int running = 0, peak = 0, calls = 0;
    ThreadTelnet::SetConnectForTest([&](const QString& ip, int port, int limitMs) {
        std::unique_lock<std::mutex> guard(lock);
        ++calls;
        peak = std::max(peak, ++running);
        guard.unlock();
        QThread::msleep(60); // long enough for the check to start more probes if it would
        const auto result = ThreadTelnet::TryConnect(ip, port, limitMs);
        guard.lock();
        --running;
        return result;
    });
    TimeOut = 1000;
    const std::vector<int> positions = RunCheck(ids);

    EXPECT_EQ(calls, 10);
    EXPECT_EQ(peak, 3);
    EXPECT_EQ(positions.back(), 10);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    QStringList expected;
    for (int id = 1; id <= 10; ++id)
        expected << QStringLiteral("信息 远程设备[终端%1:127.0.0.1]网络正常．").arg(id);
    expected.sort();
    EXPECT_EQ(Reports(), expected);
}

// A stop in the middle: the check ends within a pass, reports nothing more, and the probes
// still in their attempt finish later without touching what the check has freed.
TEST_F(ConnectionTestTest, AStopInTheMiddleReportsNothingMore)
{
    const std::vector<int> ids = AddTerminals(6, [](int id) { return id == 1 ? Reachable : Refusing; });
    // The first terminal answers at once; the others hang until released.
    std::atomic<bool> release{false};
    ThreadTelnet::SetConnectForTest([&](const QString& ip, int port, int limitMs) {
        while (ip != QLatin1String(Reachable) && !release)
            QThread::msleep(1);
        return ThreadTelnet::TryConnect(ip, port, limitMs);
    });
    TimeOut = 10000;

    QElapsedTimer t;
    t.start();
    qint64 stoppedAt = -1;
    const std::vector<int> positions = RunCheck(ids, [&](ThreadConnectionTest& check) {
        if (stoppedAt < 0 && check.GetPosition() == 1 && t.elapsed() > 250) {
            check.Stop();
            stoppedAt = t.elapsed();
        }
    });
    ASSERT_GE(stoppedAt, 0);
    EXPECT_LT(t.elapsed() - stoppedAt, 1000) << "the check must leave its loop within a pass";
    EXPECT_EQ(positions.back(), 1);
    EXPECT_EQ(ThreadTelnet::LiveCount(), 3) << "three probes were still in their attempt";

    // Released after the check has freed its records: the probes see their stop and end.
    release = true;
    EXPECT_TRUE(WaitUntil(NoProbeAlive, 3000));
    EXPECT_EQ(Reports(), QStringList("信息 远程设备[终端1:127.0.0.1]网络正常．"));
    for (int id = 2; id <= 6; ++id)
        EXPECT_EQ(MainForm->GetDevNetState(id), Consts::StatusUp) << id;
}
