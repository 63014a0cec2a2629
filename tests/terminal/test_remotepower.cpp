// Remote power commands under the wait window: per-terminal control threads, recording, status, stop.
#include "console/DevTestSupport.h"
#include "peers/FakeRelay.h"
#include "support/ScriptedAnswerer.h"
#include "terminal/RemoteDeviceController.h"
#include "terminal/ThreadRemoteDeviceControlBatch.h"

#include <QTest>

#include <mutex>

namespace {

constexpr int Divisor = 20; // replies awaited 300 ms, the batch looks every 10 ms
constexpr int WaitMs = 20000; // upper bound of every wait for the batch
using Positions = std::vector<int>;

// Runs a batch as the wait window does, calling during at every look; every Position seen, without repeats.
Positions RunBatch(std::vector<int> ids, char op, const std::function<void(ThreadProcessBar&)>& during = [](auto&) {})
{
    Positions seen;
    ThreadRemoteDeviceControlBatch batch(std::move(ids), QStringLiteral("检测网络"), op);
    batch.Resume();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const bool done = batch.Finished;
        if (seen.empty() || seen.back() != batch.GetPosition())
            seen.push_back(batch.GetPosition());
        during(batch);
        return done;
    }, WaitMs));
    DevTestSupport::Pump(); // tree moves queued by the batch
    return seen;
}

int AddTerminal(const QString& name, int relayPort)
{
    return TestDb::Scalar(QStringLiteral("insert into zol_baseinfo (name, ip, relayIp, port) values ('%1', '10.1.1.1', "
                                         "'127.0.0.1', %2); insert into zol_status (zol_id, status) values "
                                         "(last_insert_id(), 'up'); select max(id) from zol_baseinfo")
                              .arg(QString(name).replace("'", "''")).arg(relayPort)).toInt();
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
    ScriptedAnswerer boxes;
    QElapsedTimer clock;
};

// One terminal through every operation: Position 35 at once, then 1; one row each; shutdown and
// power-on store "down", power-off "poweroff", a start leaves the status alone.
TEST_F(RemotePowerTest, OneTerminalThroughEveryOperation)
{
    FakeRelay relay;
    relay.SetFault(FakeRelay::Fault::Delay);
    relay.SetDelayMs(60); // long enough for the progress to be seen
    const int id = AddTerminal("O'Neil 大厅", relay.Port());
    MainForm->BuildDevTree();
    const std::pair<char, QString> steps[] = {{OpShutdown, Consts::StatusDown}, {OpPowerOff, Consts::StatusPowerOff},
                                              {OpStart, Consts::StatusPowerOff}, {OpPowerOn, Consts::StatusDown}};
    for (const auto& [op, status] : steps) {
        SCOPED_TRACE(int(op));
        const Positions seen = RunBatch({id}, op); // a 0 first when sampled before the batch began its loop
        EXPECT_EQ(Positions(seen.begin() + (seen.front() == 0), seen.end()), (Positions{35, 1}));
        EXPECT_EQ(TestDb::Scalar("select status from zol_status"), status);
        EXPECT_EQ(MainForm->GetDevNetState(id), status);
    }
    EXPECT_TRUE(relay.Channel(PowerChannel));
    EXPECT_EQ(boxes.Count(), 0);
    const QString row = QStringLiteral("%1\t3\t值班员\t%2,设备ID为(%1),设备名称为(O'Neil 大厅).\t1\t").arg(id);
    EXPECT_EQ(TestDb::Rows("select zol_id, user_id, user_name, operation, status, memo from zol_op_log order by id"),
              QStringList({row.arg("关闭远程设备操作"), row.arg("关闭远程设备电源"), row.arg("启动远程设备操作"),
                           row.arg("打开远程设备电源")}));
}

// Contact times edited by hand below what a relay needs: the operations use the defaults.
TEST_F(RemotePowerTest, HandEditedContactTimesBelowTheLeastReadAsDefaults)
{
    MainForm->IniWriteString(Consts::KeyRemoteCtrlStartInterval, "499");
    MainForm->IniWriteString(Consts::KeyRemoteCtrlShutdownInterval, "-2000");
    DevBean device;
    const RemoteDeviceController relay(&device);
    EXPECT_EQ(std::pair(relay.StartInterval, relay.ShutdownInterval), std::pair(1000, 2000));
    QFile::remove(MainForm->GetConfIni()->FileName());
}

// An empty batch ends at once; each failure is warned and logged with its code.
TEST_F(RemotePowerTest, FailuresAreWarnedAndLoggedWithTheirCode)
{
    EXPECT_EQ(RunBatch({}, OpPowerOff), Positions{0});
    FakeRelay relay;
    relay.SetFault(FakeRelay::Fault::Refuse);
    const int unreachable = AddTerminal("一号机", relay.Port());
    const int noPort = AddTerminal("二号机", 0);
    RunBatch({unreachable, noPort}, OpPowerOff);

    QStringList texts;
    for (const auto& r : boxes.Requests())
        texts << Describe(r);
    texts.sort(); // the two results may arrive in either order
    const QString box = QStringLiteral("警告|无法连接到远程设备的关联网络控制器[127.0.0.1]的端口 [%1]|2|0");
    EXPECT_EQ(texts, QStringList({box.arg(0), box.arg(relay.Port())}));
    EXPECT_EQ(TestDb::Rows("select zol_id, status, memo from zol_op_log order by zol_id"),
              QStringList({QStringLiteral("%1\t0\tFail Code(0x10000100)").arg(unreachable),
                           QStringLiteral("%1\t0\tFail Code(0x10000002)").arg(noPort)}));
    EXPECT_EQ(TestDb::Rows("select status from zol_status"), QStringList({"up", "up"}));
    EXPECT_EQ(relay.Connections(), 0);
}

// Three relays that answer one after the other, each only when the one before has been recorded:
// every result is recorded once, at the pass that sees it, and the position counts them one by one.
TEST_F(RemotePowerTest, ResultsArrivingAtDifferentPassesAreEachRecordedOnce)
{
    FakeRelay fast;
    FakeRelay held;
    FakeRelay heldLonger;
    for (FakeRelay* r : {&fast, &held, &heldLonger})
        r->SetChannel(PowerChannel, true);
    held.SetFault(FakeRelay::Fault::Hold);
    heldLonger.SetFault(FakeRelay::Fault::Hold);
    const int a = AddTerminal("甲", heldLonger.Port());
    const int b = AddTerminal("乙", fast.Port());
    const int c = AddTerminal("丙", held.Port());
    const auto recorded = [] { return TestDb::Rows("select zol_id from zol_op_log order by id"); };
    // Shipped timing here: a held relay must not run out of its reply wait before it is released.
    RelayTimings::SetForTest(1);
    const std::shared_ptr<void> restore(nullptr, [](void*) { RelayTimings::SetForTest(Divisor); });

    ThreadRemoteDeviceControlBatch batch({a, b, c}, QStringLiteral("关闭电源"), OpPowerOff);
    batch.Resume();
    EXPECT_TRUE(QTest::qWaitFor([&] { return batch.GetPosition() == 1; }, WaitMs));
    EXPECT_EQ(recorded(), QStringList({QString::number(b)}));
    held.Release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return batch.GetPosition() == 2; }, WaitMs));
    EXPECT_EQ(recorded(), QStringList({QString::number(b), QString::number(c)}));
    EXPECT_FALSE(batch.Finished); // the batch ends only after the last terminal
    heldLonger.Release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return batch.Finished.load(); }, WaitMs));
    EXPECT_EQ(batch.GetPosition(), 3);
    DevTestSupport::Pump(); // tree moves queued by the batch
    EXPECT_EQ(recorded(), QStringList({QString::number(b), QString::number(c), QString::number(a)}));
    EXPECT_EQ(TestDb::Rows("select status from zol_status"), QStringList(3, Consts::StatusPowerOff));
}

// The database is lost while the relay switches: the operator learns in a box that the operation was
// carried out but could not be recorded; the batch ends as usual.
TEST_F(RemotePowerTest, SwitchedButUnrecordedIsToldInABox)
{
    FakeRelay relay;
    relay.SetChannel(PowerChannel, true);
    const int id = AddTerminal("甲", relay.Port());
    MainForm->BuildDevTree();
    TFormDbMod lost; // a connection of its own, which the outage takes
    FormDbMod.Open(&lost);
    const std::shared_ptr<void> restore(nullptr, [](void*) { FormDbMod.Open(ConsoleDb::Module()); });
    std::once_flag outage;
    relay.OnSwitched([&](int, bool) { std::call_once(outage, [&] { lost.DropConnectionForTest(); }); });

    RunBatch({id}, OpPowerOff);
    EXPECT_FALSE(relay.Channel(PowerChannel));
    EXPECT_EQ(boxes.Count(), 1);
    EXPECT_EQ(Describe(boxes.Last()), "警告|远程设备[甲]的操作已执行,但无法记录到数据库!|2|0");
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_op_log"), "0");
    EXPECT_EQ(TestDb::Scalar("select status from zol_status"), "up");
}

TEST_F(RemotePowerTest, StopLeavesRunningControlThreadsUnrecorded)
{
    FakeRelay fast;
    FakeRelay silent;
    fast.SetChannel(PowerChannel, true);
    silent.SetFault(FakeRelay::Fault::Silent);
    const int a = AddTerminal("甲", fast.Port());
    const int b = AddTerminal("乙", silent.Port());
    const int c = AddTerminal("丙", silent.Port());

    // Long reply waits here, so that "within a pass" stands far apart from "after the silent relay's
    // tries" even on a loaded machine.
    constexpr int SlowDivisor = 4;
    RelayTimings::SetForTest(SlowDivisor);
    const std::shared_ptr<void> restore(nullptr, [](void*) { RelayTimings::SetForTest(Divisor); });
    qint64 stoppedAt = -1;
    clock.start();
    RunBatch({a, b, c}, OpPowerOff, [&](ThreadProcessBar& batch) {
        if (stoppedAt < 0 && batch.GetPosition() == 1) {
            stoppedAt = clock.elapsed();
            batch.Stop();
        }
    });
    ASSERT_GE(stoppedAt, 0);
    // The batch left its loop within a pass; the silent relay still had most of its tries ahead.
    EXPECT_LT(clock.elapsed() - stoppedAt, RelayTimings::StepAttempts * RelayTimings::ReplyWaitMs / SlowDivisor);

    // The control threads run on after the batch has been freed, and are never recorded.
    EXPECT_TRUE(silent.WaitFrames(8, WaitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return silent.OpenConnections() == 0; }, WaitMs));
    EXPECT_EQ(TestDb::Rows("select zol_id, status from zol_op_log"), QStringList({QStringLiteral("%1\t1").arg(a)}));
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_EQ(TestDb::Rows("select status from zol_status order by zol_id"), QStringList({"poweroff", "up", "up"}));
}

} // namespace
