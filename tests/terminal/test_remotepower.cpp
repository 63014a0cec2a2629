// Remote power commands under the wait window: per-terminal control threads, recording, status, stop.
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DevBean.h"
#include "support/ConsoleDb.h"
#include "support/FakeRelay.h"
#include "support/ScriptedAnswerer.h"
#include "support/TestDb.h"
#include "terminal/RemoteDeviceController.h"
#include "terminal/ThreadRemoteDeviceControlBatch.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace {

constexpr int Divisor = 20; // replies awaited 300 ms, the batch looks every 10 ms

struct BatchRun {
    std::vector<int> positions; // every value of Position seen, in order, without repeats
    qint64 ms = 0;
    void Saw(int p)
    {
        if (positions.empty() || positions.back() != p)
            positions.push_back(p);
    }
};

// Runs a batch as the wait window does, following its Position on the UI thread until it has
// finished; during is called at every look.
BatchRun RunBatch(std::vector<int> ids, char op, std::function<void(ThreadProcessBar&)> during = {})
{
    BatchRun run;
    ThreadRemoteDeviceControlBatch batch(std::move(ids), QStringLiteral("检测网络"), op);
    QElapsedTimer clock;
    clock.start();
    batch.Resume();
    for (; !batch.Finished; QThread::msleep(1)) {
        run.Saw(batch.GetPosition());
        if (during)
            during(batch);
        QCoreApplication::processEvents();
    }
    run.Saw(batch.GetPosition());
    run.ms = clock.elapsed();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(); // tree moves queued by the batch
    return run;
}

int AddTerminal(const QString& name, int relayPort)
{
    TestDb::Exec(QStringLiteral("insert into zol_baseinfo (name, ip, relayIp, port) values ('%1', '10.1.1.1', '127.0.0.1', %2)")
                     .arg(QString(name).replace("'", "''"))
                     .arg(relayPort));
    const int id = TestDb::Scalar("select max(id) from zol_baseinfo").toInt();
    TestDb::Exec(QStringLiteral("insert into zol_status (zol_id, status) values (%1, 'up')").arg(id));
    return id;
}

QString Stored(int id)
{
    return TestDb::Scalar(QStringLiteral("select status from zol_status where zol_id = %1").arg(id));
}

class RemotePowerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ConsoleDb::SetUp();
        RelayTimings::SetForTest(Divisor);
        static UserBean op;
        op.Id = 3;
        op.Name = QStringLiteral("值班员");
        CurrentUser = &op;
    }
    void SetUp() override { TestDb::Truncate(); }
};

// No terminals: the progress base shows 100 as maximum, yet the batch ends at once without a row.
TEST_F(RemotePowerTest, AnEmptyBatchEndsWithoutARow)
{
    ThreadRemoteDeviceControlBatch empty(nullptr, 0, "检测网络", OpPowerOff);
    EXPECT_EQ(empty.GetMax(), 100);
    empty.Resume();
    empty.WaitFor();
    EXPECT_TRUE(empty.Finished);
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_op_log"), "0");
}

// One terminal through every operation: Position 35 at once, then 1; one row each; shutdown and
// power-on store "down", power-off "poweroff", a start leaves the status alone.
TEST_F(RemotePowerTest, OneTerminalThroughEveryOperation)
{
    FakeRelay relay;
    relay.SetFault(FakeRelay::Fault::Delay); // long enough for the progress to be seen
    relay.SetDelayMs(60);
    ScriptedAnswerer boxes;
    const int id = AddTerminal("O'Neil 大厅", relay.Port());
    MainForm->BuildDevTree();
    const struct { char op; QString status; } steps[] = {
        {OpShutdown, Consts::StatusDown}, {OpPowerOff, Consts::StatusPowerOff},
        {OpStart, Consts::StatusPowerOff}, {OpPowerOn, Consts::StatusDown}};
    for (const auto& step : steps) {
        SCOPED_TRACE(int(step.op));
        std::vector<int> seen = RunBatch({id}, step.op).positions;
        if (!seen.empty() && seen.front() == 0)
            seen.erase(seen.begin()); // sampled before the batch began its loop
        EXPECT_EQ(seen, (std::vector<int>{35, 1}));
        EXPECT_EQ(Stored(id), step.status);
        EXPECT_EQ(MainForm->GetDevNetState(id), step.status);
    }
    EXPECT_TRUE(relay.Channel(PowerChannel));
    EXPECT_EQ(boxes.Count(), 0);
    const QString row = QStringLiteral("%1\t3\t值班员\t%2,设备ID为(%1),设备名称为(O'Neil 大厅).\t1\t").arg(id);
    EXPECT_EQ(TestDb::Rows("select zol_id, user_id, user_name, operation, status, memo from zol_op_log order by id"),
              QStringList({row.arg("关闭远程设备操作"), row.arg("关闭远程设备电源"), row.arg("启动远程设备操作"),
                           row.arg("打开远程设备电源")}));
}

TEST_F(RemotePowerTest, FailuresAreWarnedAndLoggedWithTheirCode)
{
    FakeRelay relay;
    relay.SetFault(FakeRelay::Fault::Refuse);
    ScriptedAnswerer boxes;
    const int unreachable = AddTerminal("一号机", relay.Port());
    const int noPort = AddTerminal("二号机", 0);

    RunBatch({unreachable, noPort}, OpPowerOff);

    QStringList boxTexts;
    for (const auto& r : boxes.Requests())
        boxTexts << QStringLiteral("%1|%2|%3").arg(r.caption, r.text).arg(int(r.icon));
    const QString box = QStringLiteral("警告|无法连接到远程设备的关联网络控制器[127.0.0.1]的端口 [%1]|%2");
    boxTexts.sort(); // the two results may arrive in either order
    EXPECT_EQ(boxTexts, QStringList({box.arg(0).arg(int(MsgIcon::Warning)),
                                     box.arg(relay.Port()).arg(int(MsgIcon::Warning))}));
    EXPECT_EQ(TestDb::Rows("select zol_id, status, memo from zol_op_log order by zol_id"),
              QStringList({QStringLiteral("%1\t0\tFail Code(0x10000100)").arg(unreachable),
                           QStringLiteral("%1\t0\tFail Code(0x10000002)").arg(noPort)}));
    EXPECT_EQ(Stored(unreachable), Consts::StatusUp);
    EXPECT_EQ(Stored(noPort), Consts::StatusUp);
    EXPECT_EQ(relay.Connections(), 0);
}

TEST_F(RemotePowerTest, ResultsArrivingAtDifferentPassesAreEachRecordedOnce)
{
    FakeRelay fast, slow, slowest;
    for (auto [r, delay] : {std::pair{&fast, 0}, {&slow, 60}, {&slowest, 150}}) {
        r->SetFault(FakeRelay::Fault::Delay);
        r->SetDelayMs(delay);
        r->SetChannel(PowerChannel, true);
    }
    const int a = AddTerminal("甲", slowest.Port());
    const int b = AddTerminal("乙", fast.Port());
    const int c = AddTerminal("丙", slow.Port());

    BatchRun run = RunBatch({a, b, c}, OpPowerOff);

    EXPECT_EQ(run.positions, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_GE(run.ms, 2 * 150); // the batch ends only after the last terminal
    EXPECT_EQ(TestDb::Rows("select zol_id from zol_op_log order by id"),
              QStringList({QString::number(b), QString::number(c), QString::number(a)}));
    for (int id : {a, b, c})
        EXPECT_EQ(Stored(id), Consts::StatusPowerOff);
}

TEST_F(RemotePowerTest, StopLeavesRunningControlThreadsUnrecorded)
{
    FakeRelay fast, silent1, silent2;
    fast.SetChannel(PowerChannel, true);
    silent1.SetFault(FakeRelay::Fault::Silent);
    silent2.SetFault(FakeRelay::Fault::Silent);
    ScriptedAnswerer boxes;
    const int a = AddTerminal("甲", fast.Port());
    const int b = AddTerminal("乙", silent1.Port());
    const int c = AddTerminal("丙", silent2.Port());

    qint64 stoppedAt = -1;
    QElapsedTimer clock;
    clock.start();
    BatchRun run = RunBatch({a, b, c}, OpPowerOff, [&](ThreadProcessBar& batch) {
        if (stoppedAt < 0 && batch.GetPosition() == 1) {
            stoppedAt = clock.elapsed();
            batch.Stop();
        }
    });
    ASSERT_GE(stoppedAt, 0);
    // The batch left its loop within a pass; the silent relays still had most of their tries ahead.
    EXPECT_LT(run.ms - stoppedAt, 4 * RelayTimings::ReplyWaitMs / Divisor);

    // The control threads run on after the batch has been freed, and are never recorded.
    EXPECT_TRUE(silent1.WaitFrames(4, 5000));
    EXPECT_TRUE(silent2.WaitFrames(4, 5000));
    for (int i = 0; i < 100 && silent1.OpenConnections() + silent2.OpenConnections() > 0; ++i)
        QThread::msleep(10);
    EXPECT_EQ(silent1.OpenConnections() + silent2.OpenConnections(), 0);
    EXPECT_EQ(TestDb::Rows("select zol_id, status from zol_op_log"), QStringList({QStringLiteral("%1\t1").arg(a)}));
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_EQ(Stored(b), Consts::StatusUp);
}

} // namespace
