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

#include <condition_variable>
#include <mutex>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

constexpr int ShortTimeOutMs = 300;
constexpr int CheckDeadlineMs = 20000;

const char* const Reachable = ReachabilityPeers::ReachableIp;
const char* const Refusing = ReachabilityPeers::RefusingIp;
const char* const Silent = ReachabilityPeers::SilentIp;

void Pump()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

bool WaitUntil(const std::function<bool()>& done, int limitMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

// Runs a check as the wait window would: resume, follow Position until Finished, free it.
// Returns the positions seen, in order.
std::vector<int> RunCheck(const std::vector<int>& ids, const std::function<void(ThreadConnectionTest&, qint64)>& during = {})
{
    auto* check = new ThreadConnectionTest(ids, QStringLiteral("检测网络"));
    std::vector<int> positions{check->GetPosition()};
    QElapsedTimer t;
    t.start();
    check->Resume();
    while (!check->Finished) {
        EXPECT_LT(t.elapsed(), CheckDeadlineMs) << "the check did not end";
        if (t.elapsed() > CheckDeadlineMs)
            break;
        if (during)
            during(*check, t.elapsed());
        if (positions.back() != check->GetPosition())
            positions.push_back(check->GetPosition());
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    positions.push_back(check->GetPosition());
    delete check;
    Pump();
    return positions;
}

class ConnectionTestTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        peers_ = new ReachabilityPeers;
        MainForm->IniWriteInteger(QStringLiteral("SocketPort"), peers_->Port());
    }
    static void TearDownTestSuite()
    {
        WaitUntil([] { return ThreadTelnet::LiveCount() == 0; }, 10000);
        delete peers_;
        peers_ = nullptr;
    }

    void SetUp() override
    {
        TestDb::Truncate();
        TimeOut = ShortTimeOutMs;
        LogLevel = Consts::LevelInfo;
        ThreadTelnet::SetConnectForTest({});
        ConsoleDb::ClearLog();
    }
    void TearDown() override
    {
        EXPECT_TRUE(WaitUntil([] { return ThreadTelnet::LiveCount() == 0; }, 5000))
            << "a probe is still alive";
        ThreadTelnet::SetConnectForTest({});
    }

    // Adds terminal id with its name, agent address and stored status, then rebuilds the tree.
    static void AddTerminal(int id, const QString& name, const QString& ip, const QString& status)
    {
        TestDb::Exec(QStringLiteral("insert into zol_baseinfo (id, name, ip) values (%1, '%2', '%3');"
                                    "insert into zol_status (zol_id, status) values (%1, '%4');")
                         .arg(id)
                         .arg(name, ip, status));
    }
    static void RebuildTree()
    {
        MainForm->BuildDevTree();
        Pump();
    }

    static QStringList ConsoleLines()
    {
        QStringList lines;
        for (const QString& line : ConsoleDb::LogText().split('\n'))
            if (line.contains(QStringLiteral("远程设备[")))
                lines << line;
        return lines;
    }
    static bool HasLine(const QString& tag, const QString& message)
    {
        for (const QString& line : ConsoleLines())
            if (line.startsWith(tag) && line.endsWith(QStringLiteral(" : ") + message))
                return true;
        return false;
    }

    static inline ReachabilityPeers* peers_ = nullptr;
};

const QString Info = QStringLiteral("  信息 ");
const QString Warning = QStringLiteral("  警告 ");

} // namespace

TEST(TryConnectTest, ConnectsOnlyToADottedAddressThatAccepts)
{
    ReachabilityPeers peers;
    using R = ThreadTelnet::ConnectResult;
    EXPECT_EQ(ThreadTelnet::TryConnect(Reachable, peers.Port(), 1000), R::Connected);
    EXPECT_EQ(ThreadTelnet::TryConnect(Refusing, peers.Port(), 1000), R::Failed);
    EXPECT_EQ(ThreadTelnet::TryConnect(QStringLiteral("localhost"), peers.Port(), 1000), R::Failed);
    EXPECT_EQ(ThreadTelnet::TryConnect(QString(), peers.Port(), 1000), R::Failed);
    EXPECT_EQ(ThreadTelnet::TryConnect(QStringLiteral("127.0.0.1 "), peers.Port(), 1000), R::Failed);

    QElapsedTimer t;
    t.start();
    EXPECT_EQ(ThreadTelnet::TryConnect(Silent, peers.Port(), 200), R::TimedOut);
    EXPECT_GE(t.elapsed(), 150);
    EXPECT_LT(t.elapsed(), 2000);
}

// Every row of the report table: the status after the check, the console line and its level,
// and the tree group the state move leaves the terminal in.
TEST_F(ConnectionTestTest, ReportsEachTerminalAsItsTableRowSays)
{
    AddTerminal(1, "甲", Reachable, "up");        // reachable, up -> up, 网络正常
    AddTerminal(2, "乙", Reachable, "error");     // reachable, other word -> up, 网络正常
    AddTerminal(3, "丙", Reachable, "poweroff");  // reachable, poweroff stays
    AddTerminal(4, "丁", Reachable, "down");      // reachable, down stays
    AddTerminal(5, "戊", Refusing, "up");         // refused, up -> error, 网络异常
    AddTerminal(6, "己", Silent, "up");           // timed out, up -> error, 网络异常
    AddTerminal(7, "庚", Refusing, "poweroff");   // refused, poweroff stays
    AddTerminal(8, "辛", Silent, "down");         // timed out, down stays
    AddTerminal(9, "壬", Refusing, "error");      // refused, other word: no line
    AddTerminal(10, "癸", "localhost", "up");     // a host name is not an address: refused
    RebuildTree();
    ASSERT_EQ(MainForm->GetDevNetState(2), Consts::StatusUp); // a stored "error" starts in group 1

    QElapsedTimer t;
    t.start();
    const std::vector<int> positions = RunCheck({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 99});
    EXPECT_GE(t.elapsed(), ShortTimeOutMs) << "a silent terminal must wait out the time-out";
    EXPECT_EQ(positions.back(), 11);

    EXPECT_TRUE(HasLine(Info, "远程设备[甲:127.0.0.1]网络正常．"));
    EXPECT_TRUE(HasLine(Info, "远程设备[乙:127.0.0.1]网络正常．"));
    EXPECT_TRUE(HasLine(Info, "远程设备[丙:127.0.0.1]关闭电源状态．"));
    EXPECT_TRUE(HasLine(Info, "远程设备[丁:127.0.0.1]关机状态．"));
    EXPECT_TRUE(HasLine(Warning, "远程设备[戊:127.0.0.2]网络异常．"));
    EXPECT_TRUE(HasLine(Warning, "远程设备[己:127.0.0.3]网络异常．"));
    EXPECT_TRUE(HasLine(Info, "远程设备[庚:127.0.0.2]关闭电源状态．"));
    EXPECT_TRUE(HasLine(Info, "远程设备[辛:127.0.0.3]关机状态．"));
    EXPECT_TRUE(HasLine(Warning, "远程设备[癸:localhost]网络异常．"));
    EXPECT_EQ(ConsoleLines().size(), 9) << ConsoleLines().join('\n').toStdString();

    EXPECT_EQ(MainForm->GetDevNetState(1), Consts::StatusUp);
    EXPECT_EQ(MainForm->GetDevNetState(2), Consts::StatusUp);
    EXPECT_EQ(MainForm->GetDevNetState(3), Consts::StatusPowerOff);
    EXPECT_EQ(MainForm->GetDevNetState(4), Consts::StatusDown);
    EXPECT_EQ(MainForm->GetDevNetState(5), Consts::StatusError);
    EXPECT_EQ(MainForm->GetDevNetState(6), Consts::StatusError);
    EXPECT_EQ(MainForm->GetDevNetState(7), Consts::StatusPowerOff);
    EXPECT_EQ(MainForm->GetDevNetState(8), Consts::StatusDown);
    EXPECT_EQ(MainForm->GetDevNetState(9), Consts::StatusError); // no line, but moved with "error"
    EXPECT_EQ(MainForm->GetDevNetState(10), Consts::StatusError);

    // The check changes states in memory only.
    EXPECT_EQ(TestDb::Rows("select zol_id, status from zol_status where zol_id in (1, 2, 5, 6) order by zol_id"),
              QStringList({"1\tup", "2\terror", "5\tup", "6\tup"}));
}

// A terminal that went to "error" comes back when it answers again.
TEST_F(ConnectionTestTest, AnErrorTerminalThatAnswersAgainMovesBackToRunning)
{
    AddTerminal(1, "甲", Refusing, "up");
    RebuildTree();
    RunCheck({1});
    ASSERT_EQ(MainForm->GetDevNetState(1), Consts::StatusError);

    TestDb::Exec("update zol_baseinfo set ip = '127.0.0.1' where id = 1");
    RunCheck({1});
    EXPECT_EQ(MainForm->GetDevNetState(1), Consts::StatusUp);
    EXPECT_TRUE(HasLine(Info, "远程设备[甲:127.0.0.1]网络正常．"));
}

// A connection attempt that hangs is bounded: the probe is gone soon after the time-out
// instead of sitting in connect() for the kernel's SYN retries (minutes).
TEST_F(ConnectionTestTest, AHangingProbeEndsSoonAfterTheTimeOut)
{
    AddTerminal(1, "己", Silent, "up");
    RebuildTree();
    RunCheck({1});
    EXPECT_TRUE(WaitUntil([] { return ThreadTelnet::LiveCount() == 0; }, ShortTimeOutMs + 1500));
    EXPECT_TRUE(HasLine(Warning, "远程设备[己:127.0.0.3]网络异常．"));
}

// Ten terminals: never more than three probes at a time, Position counting the reported
// terminals up to ten, every terminal reported once.
TEST_F(ConnectionTestTest, TenTerminalsNeverMoreThanThreeProbesAtATime)
{
    std::vector<int> ids;
    for (int id = 1; id <= 10; ++id) {
        AddTerminal(id, QStringLiteral("终端%1").arg(id), Reachable, "up");
        ids.push_back(id);
    }
    RebuildTree();

    std::mutex lock;
    int running = 0;
    int peak = 0;
    int calls = 0;
    ThreadTelnet::SetConnectForTest([&](const QString& ip, int port, int limitMs) {
        {
            std::lock_guard<std::mutex> guard(lock);
            ++calls;
            peak = std::max(peak, ++running);
        }
        QThread::msleep(60);
        const auto result = ThreadTelnet::TryConnect(ip, port, limitMs);
        std::lock_guard<std::mutex> guard(lock);
        --running;
        return result;
    });
    TimeOut = 1000;
    const std::vector<int> positions = RunCheck(ids);

    EXPECT_EQ(calls, 10);
    EXPECT_EQ(peak, 3);
    EXPECT_EQ(positions.front(), 0);
    EXPECT_EQ(positions.back(), 10);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(ConsoleLines().size(), 10);
    for (int id = 1; id <= 10; ++id)
        EXPECT_TRUE(HasLine(Info, QStringLiteral("远程设备[终端%1:127.0.0.1]网络正常．").arg(id))) << id;
}

// A stop in the middle: the check ends within a pass, reports nothing more, and the probes
// still in their attempt finish later without touching what the check has freed.
TEST_F(ConnectionTestTest, AStopInTheMiddleReportsNothingMore)
{
    std::vector<int> ids;
    for (int id = 1; id <= 6; ++id) {
        AddTerminal(id, QStringLiteral("终端%1").arg(id), id == 1 ? Reachable : Refusing, "up");
        ids.push_back(id);
    }
    RebuildTree();

    // The first terminal answers at once; the others hang until released.
    std::mutex lock;
    std::condition_variable released;
    bool release = false;
    ThreadTelnet::SetConnectForTest([&](const QString& ip, int port, int limitMs) {
        if (ip != QLatin1String(Reachable)) {
            std::unique_lock<std::mutex> guard(lock);
            released.wait(guard, [&] { return release; });
        }
        return ThreadTelnet::TryConnect(ip, port, limitMs);
    });
    TimeOut = 10000;

    bool stopped = false;
    qint64 stoppedAt = 0;
    QElapsedTimer t;
    t.start();
    const std::vector<int> positions = RunCheck(ids, [&](ThreadConnectionTest& check, qint64 elapsed) {
        if (!stopped && check.GetPosition() == 1 && elapsed > 250) {
            check.Stop();
            stopped = true;
            stoppedAt = t.elapsed();
        }
    });
    ASSERT_TRUE(stopped);
    EXPECT_LT(t.elapsed() - stoppedAt, 1000) << "the check must leave its loop within a pass";
    EXPECT_EQ(positions.back(), 1);
    EXPECT_EQ(ThreadTelnet::LiveCount(), 3) << "three probes were still in their attempt";

    // Released after the check has freed its records: the probes see their stop and end.
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
    }
    released.notify_all();
    EXPECT_TRUE(WaitUntil([] { return ThreadTelnet::LiveCount() == 0; }, 3000));
    Pump();
    EXPECT_EQ(ConsoleLines().size(), 1);
    EXPECT_TRUE(HasLine(Info, "远程设备[终端1:127.0.0.1]网络正常．"));
    for (int id = 2; id <= 6; ++id)
        EXPECT_EQ(MainForm->GetDevNetState(id), Consts::StatusUp) << id;
}
